#include "app/cli/save_command.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/progress_reporter.h"
#include "app/cli/scan_command.h"
#include "app/cli/standard_output.h"
#include "app/cli/stop_signals.h"
#include "output/folder_making.h"
#include "output/save_run.h"
#include "scan/found_mails.h"
#include "text/code_page.h"

namespace quillon {

namespace {

// Message texts use CR LF between their lines, as a message box does; a terminal wants LF.
std::string TerminalText(const std::u16string& text) {
  std::string out = Utf16ToUtf8(text);
  std::string clean;
  clean.reserve(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
    clean += out[i];
  }
  return clean;
}

class CommandLineSaveObserver final : public SaveRunObserver {
 public:
  CommandLineSaveObserver(ProgressReporter& progress, const StopSignals& signals,
                          ScanStatus& status)
      : progress_(progress), signals_(signals), status_(status) {}

  void OnProgressRange(std::size_t mailCount) override {
    total_ = mailCount;
    // The run clears the stop flag as it starts; a signal that came before must still count.
    if (signals_.Caught() != 0) status_.stopRequested = true;
  }
  void OnProgressPosition(std::size_t index) override { position_ = index; }
  void OnStatusText(const std::u16string& text) override {
    progress_.ShowSaving(position_, total_, text);
  }
  void OnMessage(const std::u16string& text) override { messages_.push_back(text); }

  const std::vector<std::u16string>& Messages() const { return messages_; }

 private:
  ProgressReporter& progress_;
  const StopSignals& signals_;
  ScanStatus& status_;
  std::size_t total_ = 0;
  std::size_t position_ = 0;
  std::vector<std::u16string> messages_;
};

void ReportFolderFailure(const std::filesystem::path& folder, std::error_code error) {
  std::fprintf(stderr, "quillon: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
}

}  // namespace

int RunSaveCommand(const Arguments& arguments) {
  if (arguments.outputFolder.empty()) {
    std::fputs("quillon: save needs --out DIR\nTry 'quillon --help'.\n", stderr);
    return 2;
  }
  ScanStatus status;
  StopSignals signals(status.stopRequested);
  StandardOutput output;
  FoundMails mails;
  ProgressReporter progress(ProgressReporter::StderrIsTerminal());
  if (const int failed = ScanForCommand(arguments, status, mails, progress)) return failed;
  if (const int signal = signals.Caught()) {
    ReportStoppedScan(signal, mails.Count(), progress, "; nothing was saved");
    return ExitStatusForSignal(signal);
  }

  // A folder named on the command line is made with its parents, only now that there is
  // something to put into it; only the "Mail Box" level is the run's own.
  const std::filesystem::path target(arguments.outputFolder);
  std::vector<std::filesystem::path> madeFolders;
  if (const std::error_code error = MakeFolders(target, madeFolders)) {
    ReportFolderFailure(target, error);
    return 1;
  }

  SaveRunRequest request;
  request.format = arguments.format == "txt" ? SaveFormat::Txt : SaveFormat::Eml;
  request.mails = mails.Snapshot();
  request.targetFolder = target;
  request.skipDuplicates = arguments.skipDuplicates;
  request.render.ansiCodePage = AnsiCodePageOf(arguments);

  CommandLineSaveObserver observer(progress, signals, status);
  const SaveRunResult result = RunSave(request, status, observer);
  progress.Clear();
  if (result.written == 0) RemoveEmptyMadeFolders(madeFolders);

  if (!result.folderCreated && !request.mails.empty()) {
    // The window's message names no reason; a terminal user wants the system's.
    ReportFolderFailure(result.folder, result.folderError);
    return 1;
  }
  // The final count goes to stdout; every other message is a warning or an error.
  const std::u16string savedPrefix = u"Saved ";
  for (const std::u16string& message : observer.Messages()) {
    if (message.rfind(savedPrefix, 0) == 0) {
      output.Write(TerminalText(message) + "\n");
    } else {
      std::fprintf(stderr, "%s\n", TerminalText(message).c_str());
    }
  }
  if (request.mails.empty()) output.Write("Saved 0 mails!\n");
  const bool written = output.Finish();

  if (const int signal = signals.Caught()) {
    std::fprintf(stderr, "quillon: stopped by %s after saving %zu of %zu mails\n",
                 SignalName(signal), result.written + result.alreadyThere, request.mails.size());
    if (!written) (void)output.ReportFailure();
    return ExitStatusForSignal(signal);
  }
  if (!written) return output.ReportFailure();
  return result.failed > 0 ? 1 : 0;
}

}  // namespace quillon
