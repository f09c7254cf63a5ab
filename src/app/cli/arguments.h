// The command line's arguments: a command word, one positional source, and the options that
// belong to that command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/mail_search.h"

namespace quillon {

struct Arguments {
  std::string command;  // "scan", "save", "show"
  std::string source;
  bool help = false;  // --help after the command: print the usage and do nothing else
  bool json = false;
  bool txt = false;
  bool strict = false;
  bool skipDuplicates = false;
  bool report = false;      // save: also write report.xml and report.csv into --out
  std::string commandLine;  // as given, for the report (see QuotedCommandLine)
  bool hash = false;        // digest every byte read and check an image's stored hashes
  std::optional<std::uint64_t> startSector;
  std::optional<std::uint64_t> sectors;
  std::optional<int> codePage;
  std::optional<unsigned> threads;  // --threads: how many threads carve
  std::optional<std::uint64_t> index;
  std::string outputFolder;
  std::string format = "eml";
  // scan --find TEXT [--in FIELDS]: only the mails that hold TEXT are listed. Every field is
  // searched unless --in names some.
  std::optional<FindSettings> find;
};

// The words joined by blanks, each word that holds anything but letters, digits and "-_./:=,+@%"
// in single quotes as a POSIX shell reads them back.
std::string QuotedCommandLine(const std::vector<std::string>& words);

// Parses argv[1..]. On a usage error returns false with `error` naming the problem: an unknown
// command or option, an option of another command, a missing or malformed value, --sectors 0,
// a code page no converter on this machine supports, --threads 0 or more than kMostScanThreads,
// standard input ("-") as the source, an empty --find text, a field --in does not know, --in
// without --find. The source name is resolved as ResolveSourceName does.
[[nodiscard]] bool ParseArguments(const std::vector<std::string>& words, Arguments& arguments,
                                  std::string& error);

// How many threads carve: --threads, else one per core.
unsigned ScanThreadsOf(const Arguments& arguments);

// The code page of 8-bit text without a charset: --codepage, else the environment's.
int AnsiCodePageOf(const Arguments& arguments);

}  // namespace quillon
