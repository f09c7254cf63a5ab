#include "app/cli/command_line.h"

#include <cstdio>
#include <cstring>

namespace quillon {

namespace {
constexpr const char* kUsage =
    "Usage: quillon <command> [options]\n"
    "\n"
    "Finds lost, deleted or damaged e-mails on a drive, a disk, a disk image or a mail-store\n"
    "file, and saves them again. The source is only ever read.\n"
    "\n"
    "Commands:\n"
    "  quillon --help       show this text\n"
    "  quillon --version    show the version\n";
}  // namespace

int RunCommandLine(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Quillon V%s\n", QUILLON_VERSION);
    return 0;
  }
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace quillon
