#include "app/cli/save_command.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/progress_reporter.h"
#include "app/cli/save_notice_text.h"
#include "app/cli/scan_command.h"
#include "app/cli/standard_output.h"
#include "app/cli/stop_signals.h"
#include "output/folder_making.h"
#include "output/save_run.h"
#include "scan/found_mails.h"
#include "text/code_page.h"

namespace quillon {

namespace {

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
  void OnSavingMail(const std::u16string& baseName) override {
    progress_.ShowSaving(position_, total_, SavingMailText(baseName));
  }
  void OnNotice(const SaveNotice& notice) override { notices_.push_back(notice); }

  const std::vector<SaveNotice>& Notices() const { return notices_; }

 private:
  ProgressReporter& progress_;
  const StopSignals& signals_;
  ScanStatus& status_;
  std::size_t total_ = 0;
  std::size_t position_ = 0;
  std::vector<SaveNotice> notices_;
};

// Now in ISO 8601, UTC.
std::string StartTime() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

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
  ReportCreator creator;
  creator.version = QUILLON_FULL_VERSION;
  creator.commandLine = arguments.commandLine;
  creator.startTime = StartTime();
  const std::time_t scanTime = std::time(nullptr);
  ReportedSource source;
  if (const int failed = ScanForCommand(arguments, status, mails, progress, &source)) return failed;
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
  request.format = arguments.format == "txt"    ? SaveFormat::Txt
                   : arguments.format == "mbox" ? SaveFormat::Mbox
                                                : SaveFormat::Eml;
  request.mails = mails.Snapshot();
  request.targetFolder = target;
  request.skipDuplicates = arguments.skipDuplicates;
  request.report = arguments.report;
  request.scanTime = scanTime;
  request.creator = creator;
  request.source = source;
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
  // The final count goes to stdout; every other notice is a warning or an error.
  for (const SaveNotice& notice : observer.Notices()) {
    if (notice.kind == SaveNoticeKind::Saved)
      output.Write(SaveNoticeText(notice) + "\n");
    else
      std::fprintf(stderr, "%s\n", SaveNoticeText(notice).c_str());
  }
  if (request.mails.empty()) output.Write("Saved 0 mails!\n");
  if (!result.mailbox.empty())
    std::fprintf(stderr, "quillon: mailbox written: %s\n", result.mailbox.c_str());
  if (!result.reportFiles.empty()) {
    std::string names;
    for (const std::filesystem::path& file : result.reportFiles)
      names += (names.empty() ? "" : ", ") + file.string();
    std::fprintf(stderr, "quillon: report written: %s\n", names.c_str());
  }
  const bool written = output.Finish();

  if (const int signal = signals.Caught()) {
    std::fprintf(stderr, "quillon: stopped by %s after saving %zu of %zu mails\n",
                 SignalName(signal), result.written + result.alreadyThere, request.mails.size());
    if (!written) (void)output.ReportFailure();
    return ExitStatusForSignal(signal);
  }
  if (!written) return output.ReportFailure();
  return result.failed > 0 || !result.reportFailure.empty() ? 1 : 0;
}

}  // namespace quillon
