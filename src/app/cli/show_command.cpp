#include "app/cli/show_command.h"

#include <cstdio>
#include <string>

#include "app/cli/scan_command.h"
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
  FoundMails mails;
  if (!ScanForCommand(arguments, status, mails)) return 1;
  if (status.stopRequested) {
    std::fputs("quillon: interrupted\n", stderr);
    return 130;
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
  if (text.empty()) {
    std::fprintf(stderr, "quillon: mail %llu cannot be read back from %s\n",
                 static_cast<unsigned long long>(index), record->sourceName.c_str());
    return 1;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    std::fputs("quillon: cannot write to standard output\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace quillon
