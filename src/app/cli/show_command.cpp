#include "app/cli/show_command.h"

#include <cstdio>
#include <string>

#include "app/cli/progress_reporter.h"
#include "app/cli/scan_command.h"
#include "app/cli/standard_output.h"
#include "app/cli/stop_signals.h"
#include "output/mail_rendering.h"
#include "scan/found_mails.h"
#include "scan/scan_status.h"

namespace quillon {

int RunShowCommand(const Arguments& arguments) {
  if (!arguments.index) {
    std::fputs("quillon: show needs --index N\nTry 'quillon --help'.\n", stderr);
    return 2;
  }
  ScanStatus status;
  StopSignals signals(status.stopRequested);
  StandardOutput output;
  FoundMails mails;
  ProgressReporter progress(ProgressReporter::StderrIsTerminal());
  if (const int failed = ScanForCommand(arguments, status, mails, progress)) return failed;
  if (const int signal = signals.Caught()) {
    ReportStoppedScan(signal, mails.Count(), progress, "; nothing was shown");
    return ExitStatusForSignal(signal);
  }

  const std::uint64_t index = *arguments.index;
  const std::size_t count = mails.Count();
  if (index == 0 || index > count) {
    std::fprintf(stderr, "quillon: there is no mail %llu; %zu mails were found\n",
                 static_cast<unsigned long long>(index), count);
    return 1;
  }
  const MailRecordPtr record = mails.At(static_cast<std::size_t>(index - 1));
  const std::string text =
      arguments.txt ? RenderTxt(*record) : RenderEml(*record, nullptr, &status.stopRequested);
  // A stop while the mail was read back may have cut it anywhere: print nothing rather than a
  // part.
  if (const int signal = signals.Caught()) {
    std::fprintf(stderr, "quillon: stopped by %s; nothing was shown\n", SignalName(signal));
    return ExitStatusForSignal(signal);
  }
  if (text.empty()) {
    std::fprintf(stderr, "quillon: mail %llu cannot be read back from %s\n",
                 static_cast<unsigned long long>(index), record->SourceName().c_str());
    return 1;
  }
  output.Write(text);
  return output.Finish() ? 0 : output.ReportFailure();
}

}  // namespace quillon
