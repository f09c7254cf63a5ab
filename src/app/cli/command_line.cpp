#include "app/cli/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/arguments.h"
#include "app/cli/save_command.h"
#include "app/cli/scan_command.h"
#include "app/cli/show_command.h"
#include "text/code_page.h"

namespace quillon {

namespace {

constexpr const char* kUsage =
    "Usage: quillon <command> SOURCE [options]\n"
    "\n"
    "Finds lost, deleted or damaged e-mails on a drive, a disk, a disk image or a mail-store\n"
    "file (.dbx, .box), and saves them again. The source is only ever read.\n"
    "\n"
    "SOURCE is an image or mail-store path, a whole disk HD0..HD7, or a device name such as sda1.\n"
    "Raw images, E01 (name the first segment), split raw (NAME.001, NAMEaa), VMDK and VHD\n"
    "images are read as the disk they hold.\n"
    "\n"
    "Commands:\n"
    "  scan SOURCE [--json]                 list the mails found in SOURCE\n"
    "  save SOURCE --out DIR [--format eml|txt] [--skip-duplicates]\n"
    "                                       save every found mail into DIR/Mail Box/\n"
    "  show SOURCE --index N [--txt]        print mail N (1-based, found order)\n"
    "\n"
    "Options for every command:\n"
    "  --start-sector N   scan from sector N (positions stay absolute)\n"
    "  --sectors N        scan N sectors only\n"
    "  --strict           recognise mails by their \"Received: \" trace line only\n"
    "  --hash             print the SHA-256 and MD5 of every byte read (unreadable sectors as\n"
    "                     zeros) and check the hashes an E01 image stored\n"
    "  --codepage N       code page of 8-bit text without a charset (default: from the locale)\n"
    "  --help, --version\n";

int RunCommand(const Arguments& arguments) {
  if (arguments.codePage) SetAnsiCodePage(*arguments.codePage);
  if (arguments.command == "scan") return RunScanCommand(arguments);
  if (arguments.command == "save") return RunSaveCommand(arguments);
  if (arguments.command == "show") return RunShowCommand(arguments);
  std::fprintf(stderr, "quillon: unknown command %s\n", arguments.command.c_str());
  return 2;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && words[0] == "--version") {
    std::printf("Quillon %s\n", QUILLON_FULL_VERSION);
    return 0;
  }
  if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::fputs(kUsage, words.empty() ? stderr : stdout);
    return words.empty() ? 2 : 0;
  }
  Arguments arguments;
  std::string error;
  if (!ParseArguments(words, arguments, error)) {
    std::fprintf(stderr, "quillon: %s\nTry 'quillon --help'.\n", error.c_str());
    return 2;
  }
  return RunCommand(arguments);
}

}  // namespace quillon
