// Which of the main window's commands can be used at each stage of a scan and a save run. The
// window applies these flags to its buttons; the transitions live here so that they can be
// checked without a window.
#pragma once

namespace quillon {

struct CommandFlags {
  bool data = true;
  bool save = false;
  bool stop = false;
  bool find = false;
  bool operator==(const CommandFlags&) const = default;
};

// What the window is busy with. Only one worker runs at a time: a scan and a save run share the
// stop flag and the progress bar.
enum class Activity { Idle, Scanning, ChoosingSaveFolder, Saving };

class CommandStates {
 public:
  const CommandFlags& Flags() const { return flags_; }
  Activity CurrentActivity() const { return activity_; }
  bool Busy() const { return activity_ != Activity::Idle; }

  // "Data" pressed: off while the question and the source dialog are up.
  void DataFlowStarted();
  // Back on unless the flow started a scan.
  void DataFlowEnded();

  // Set by the window as it starts the scan thread, so that no second scan or save run can be
  // started before the thread reports that its source opened.
  void ScanStarting();
  void ViewsReset();
  void MailRowAdded();
  // `listHasRows`: what the folder selection made of "Save" after the scan relisted its folder.
  void ScanFinished(bool listHasRows);
  void StopConfirmed();

  // A folder was selected in the tree; "Save" follows the list unless a worker runs.
  void FolderSelected(bool listHasRows);

  void SaveRunChoosingFolder();
  // The folder choice was cancelled or the run could not start.
  void SaveRunAbandoned();
  void SaveRunWriting();
  void SaveRunFinished();

 private:
  CommandFlags flags_;
  Activity activity_ = Activity::Idle;
};

}  // namespace quillon
