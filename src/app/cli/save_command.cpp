#include "app/cli/save_command.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/progress_reporter.h"
#include "app/cli/scan_command.h"
#include "output/save_run.h"
#include "scan/found_mails.h"
#include "text/code_page.h"

namespace quillon {

namespace {

// Ctrl-C during the save asks the run to stop after the mail in progress.
std::atomic<bool>* interruptFlag = nullptr;

extern "C" void OnSaveInterrupt(int) {
  if (interruptFlag) interruptFlag->store(true);
}

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
  explicit CommandLineSaveObserver(ProgressReporter& progress) : progress_(progress) {}

  void OnProgressRange(std::size_t mailCount) override { total_ = mailCount; }
  void OnProgressPosition(std::size_t index) override { position_ = index; }
  void OnStatusText(const std::u16string& text) override {
    progress_.ShowSaving(position_, total_, text);
  }
  void OnMessage(const std::u16string& text) override { messages_.push_back(text); }

  const std::vector<std::u16string>& Messages() const { return messages_; }

 private:
  ProgressReporter& progress_;
  std::size_t total_ = 0;
  std::size_t position_ = 0;
  std::vector<std::u16string> messages_;
};

}  // namespace

int RunSaveCommand(const Arguments& arguments) {
  if (arguments.outputFolder.empty()) {
    std::fputs("quillon: save needs --out DIR\nTry 'quillon --help'.\n", stderr);
    return 2;
  }
  // A folder named on the command line is made with its parents; only the "Mail Box" level is
  // the run's own.
  const std::filesystem::path target(arguments.outputFolder);
  std::error_code error;
  std::filesystem::create_directories(target, error);
  if (!std::filesystem::is_directory(target, error)) {
    std::fprintf(stderr, "quillon: cannot create %s: %s\n", arguments.outputFolder.c_str(),
                 error ? error.message().c_str() : "not a folder");
    return 1;
  }

  ScanStatus status;
  FoundMails mails;
  if (!ScanForCommand(arguments, status, mails)) return 1;
  if (status.stopRequested) {
    std::fputs("quillon: interrupted; nothing was saved\n", stderr);
    return 130;
  }

  SaveRunRequest request;
  request.format = arguments.format == "txt" ? SaveFormat::Txt : SaveFormat::Eml;
  request.mails = mails.Snapshot();
  request.targetFolder = target;
  request.skipDuplicates = arguments.skipDuplicates;

  ProgressReporter progress(::isatty(STDERR_FILENO) == 1);
  CommandLineSaveObserver observer(progress);
  interruptFlag = &status.stopRequested;
  struct sigaction action = {};
  action.sa_handler = OnSaveInterrupt;
  struct sigaction previous = {};
  sigaction(SIGINT, &action, &previous);
  const SaveRunResult result = RunSave(request, status, observer);
  sigaction(SIGINT, &previous, nullptr);
  interruptFlag = nullptr;
  progress.Clear();

  // The final count goes to stdout; every other message is a warning or an error.
  const std::u16string savedPrefix = u"Saved ";
  for (const std::u16string& message : observer.Messages()) {
    const bool count = message.rfind(savedPrefix, 0) == 0;
    std::fprintf(count ? stdout : stderr, "%s\n", TerminalText(message).c_str());
  }
  if (request.mails.empty()) std::puts("Saved 0 mails!");
  std::fflush(stdout);

  if (!result.folderCreated && !request.mails.empty()) return 1;
  if (result.stopped) return 130;
  return result.failed > 0 ? 1 : 0;
}

}  // namespace quillon
