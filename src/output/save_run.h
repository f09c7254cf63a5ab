// A save run: writes every mail of a folder into a folder on disk, one file per mail, on a worker
// thread of its own, polling the stop flag before each mail.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/save_format.h"
#include "scan/mail_record.h"
#include "scan/scan_status.h"

namespace quillon {

// What a save run tells its front end. Calls arrive on the run's thread.
class SaveRunObserver {
 public:
  virtual ~SaveRunObserver() = default;
  // Writing starts: "Data" and "Save" stay off, "Stop" goes on.
  virtual void OnWritingStarted() {}
  virtual void OnProgressRange(std::size_t mailCount) { (void)mailCount; }
  virtual void OnProgressPosition(std::size_t index) { (void)index; }
  virtual void OnStatusText(const std::u16string& text) { (void)text; }
  // A message for the user (a message box with OK): "Create directory unsuccessfully!\r\n%s",
  // "Saved %d mails!", and the reports of failures.
  virtual void OnMessage(const std::u16string& text) { (void)text; }
  // Sent at the end of every run.
  virtual void OnRunFinished() {}
};

struct SaveRunRequest {
  SaveFormat format = SaveFormat::Eml;
  std::u16string folderName = u"Mail Box";  // the subfolder written into targetFolder
  std::vector<MailRecordPtr> mails;         // in found order
  std::filesystem::path targetFolder;       // the folder the user chose
  bool skipDuplicates = false;              // save each message once
};

struct SaveRunResult {
  bool folderCreated = false;
  bool sourceOpened = false;     // false: EML content fell back to the TXT rendering
  std::size_t written = 0;       // files written whole
  std::size_t failed = 0;        // files that could not be created or written
  std::string firstFailure;      // path and reason of the first failure
  bool stopped = false;
  std::filesystem::path folder;  // targetFolder / folderName
};

// Runs on the calling thread. Clears status.stopRequested at its start and
// status.unsavedMails when writing starts.
SaveRunResult RunSave(const SaveRunRequest& request, ScanStatus& status, SaveRunObserver& observer);

std::thread StartSaveRun(SaveRunRequest request, ScanStatus& status, SaveRunObserver& observer);

}  // namespace quillon
