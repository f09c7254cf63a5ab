#include "app/cli/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/arguments.h"
#include "app/cli/save_command.h"
#include "app/cli/scan_command.h"
#include "app/cli/show_command.h"
#include "app/cli/standard_output.h"

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
    "It must be a file or a disk: a pipe, standard input (-) or a character device such as\n"
    "/dev/zero has no size to scan up to and is refused; copy such a stream into a file first.\n"
    "\n"
    "Commands:\n"
    "  scan SOURCE [--json] [--find TEXT [--in FIELDS]]\n"
    "                                       list the mails found in SOURCE; with --find only\n"
    "                                       those that hold TEXT in any letter case, in the\n"
    "                                       FIELDS given (subject,sender,recipients,content;\n"
    "                                       all of them by default)\n"
    "  save SOURCE --out DIR [--format eml|txt|mbox] [--skip-duplicates] [--report]\n"
    "                                       save every found mail into DIR/Mail Box/ (with\n"
    "                                       mbox: into the mailbox DIR/Mail Box.mbox); files\n"
    "                                       there are never replaced, and a mail already there\n"
    "                                       is not written again; --report also writes\n"
    "                                       DIR/report.xml (DFXML) and DIR/report.csv\n"
    "  show SOURCE --index N [--txt]        print mail N (1-based, found order)\n"
    "\n"
    "Options for every command:\n"
    "  --start-sector N   scan from sector N (positions stay absolute)\n"
    "  --sectors N        scan N sectors only (1 or more)\n"
    "  --strict           recognise mails by their \"Received: \" trace line only\n"
    "  --hash             print the SHA-256 and MD5 of every byte read (unreadable sectors as\n"
    "                     zeros) and check the hashes an E01 image stored\n"
    "  --codepage N       code page of 8-bit text without a charset (default: from the locale)\n"
    "  --threads N        carve on up to N threads (default: one per core); the mails found\n"
    "                     are the same for every N\n"
    "  --help, --version\n"
    "\n"
    "Ctrl-C (SIGINT), SIGTERM and SIGHUP stop a run cleanly: what was found is still printed,\n"
    "a file being saved is finished, and the exit status says the run was stopped.\n"
    "\n"
    "Exit status:\n"
    "  0    done\n"
    "  1    the work failed: a source or folder that cannot be opened or made, a file or\n"
    "       standard output that cannot be written, a mail that is not there\n"
    "  2    usage error\n"
    "  129, 130, 143  stopped by SIGHUP, SIGINT (Ctrl-C) or SIGTERM\n"
    "  141  the reader of standard output went away (as `| head` does)\n";

int RunCommand(const Arguments& arguments) {
  if (arguments.command == "scan") RunScanCommand(arguments);
  if (arguments.command == "save") return RunSaveCommand(arguments);
  if (arguments.command == "show") return RunShowCommand(arguments);
  std::fprintf(stderr, "quillon: unknown command %s\n", arguments.command.c_str());
  return 2;
}

int Print(std::string_view text) {
  StandardOutput output;
  output.Write(text);
  return output.Finish() ? 0 : output.ReportFailure();
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && words[0] == "--version")
    return Print(std::string("Quillon ") + QUILLON_FULL_VERSION + "\n");
  if (words.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") return Print(kUsage);
  Arguments arguments;
  std::string error;
  if (!ParseArguments(words, arguments, error)) {
    std::fprintf(stderr, "quillon: %s\nTry 'quillon --help'.\n", error.c_str());
    return 2;
  }
  if (arguments.help) return Print(kUsage);
  arguments.commandLine = QuotedCommandLine({argv, argv + argc});
  return RunCommand(arguments);
}

}  // namespace quillon
