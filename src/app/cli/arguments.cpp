#include "app/cli/arguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "scan/scan_driver.h"
#include "source/source_name.h"
#include "text/code_page.h"
#include "text/locale_code_page.h"

namespace quillon {

namespace {

enum Command : unsigned { kScan = 1, kSave = 2, kShow = 4, kEvery = kScan | kSave | kShow };

struct OptionRule {
  std::string_view name;
  unsigned commands;
};

constexpr std::array<OptionRule, 16> kOptions = {{
    {"--help", kEvery},
    {"--start-sector", kEvery},
    {"--sectors", kEvery},
    {"--strict", kEvery},
    {"--hash", kEvery},
    {"--codepage", kEvery},
    {"--threads", kEvery},
    {"--json", kScan},
    {"--find", kScan},
    {"--in", kScan},
    {"--out", kSave},
    {"--format", kSave},
    {"--skip-duplicates", kSave},
    {"--report", kSave},
    {"--index", kShow},
    {"--txt", kShow},
}};

unsigned CommandBit(std::string_view command) {
  if (command == "scan") return kScan;
  if (command == "save") return kSave;
  if (command == "show") return kShow;
  return 0;
}

std::string CommandsOf(unsigned commands) {
  std::string names;
  for (const std::string_view command : {"scan", "save", "show"}) {
    if ((commands & CommandBit(command)) == 0) continue;
    if (!names.empty()) names += " and ";
    names += command;
  }
  return names;
}

const OptionRule* FindOption(std::string_view word) {
  for (const OptionRule& rule : kOptions)
    if (rule.name == word) return &rule;
  return nullptr;
}

bool ParseNumber(const std::string& text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && !text.empty();
}

// "subject,content" into the field flags; false for an empty list or an unknown field.
bool ParseFindFields(std::string_view list, FindSettings& settings, std::string& error) {
  settings.subject = settings.sender = settings.recipients = settings.content = false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::string_view field = list.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (field == "subject") {
      settings.subject = true;
    } else if (field == "sender") {
      settings.sender = true;
    } else if (field == "recipients") {
      settings.recipients = true;
    } else if (field == "content") {
      settings.content = true;
    } else {
      error = "--in takes subject, sender, recipients and content, separated by commas; '" +
              std::string(field) + "' is none of them";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& words, Arguments& arguments,
                    std::string& error) {
  if (words.empty()) {
    error = "no command given";
    return false;
  }
  arguments.command = words[0];
  const unsigned command = CommandBit(arguments.command);
  if (command == 0) {
    error = "unknown command '" + arguments.command + "'";
    return false;
  }
  std::optional<std::string> fields;  // --in, read once --find is known
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= words.size()) {
        error = word + " needs a value";
        return false;
      }
      out = words[++i];
      return true;
    };
    auto number = [&](std::optional<std::uint64_t>& out) {
      std::string text;
      if (!value(text)) return false;
      std::uint64_t parsed = 0;
      if (!ParseNumber(text, parsed)) {
        error = word + " needs a number, not '" + text + "'";
        return false;
      }
      out = parsed;
      return true;
    };

    if (word == "-h") {
      arguments.help = true;
      continue;
    }
    if (word.size() > 1 && word[0] == '-') {
      const OptionRule* rule = FindOption(word);
      if (!rule) {
        error = "unknown option '" + word + "'";
        return false;
      }
      if ((rule->commands & command) == 0) {
        error = word + " is an option of " + CommandsOf(rule->commands) + ", not of " +
                arguments.command;
        return false;
      }
    }

    if (word == "--help") {
      arguments.help = true;
    } else if (word == "--json") {
      arguments.json = true;
    } else if (word == "--txt") {
      arguments.txt = true;
    } else if (word == "--strict") {
      arguments.strict = true;
    } else if (word == "--hash") {
      arguments.hash = true;
    } else if (word == "--skip-duplicates") {
      arguments.skipDuplicates = true;
    } else if (word == "--report") {
      arguments.report = true;
    } else if (word == "--start-sector") {
      if (!number(arguments.startSector)) return false;
    } else if (word == "--sectors") {
      if (!number(arguments.sectors)) return false;
      if (*arguments.sectors == 0) {
        error = "--sectors needs a number from 1 on: 0 sectors hold no mail";
        return false;
      }
    } else if (word == "--index") {
      if (!number(arguments.index)) return false;
    } else if (word == "--codepage") {
      std::optional<std::uint64_t> page;
      if (!number(page)) return false;
      if (*page == 0 || *page > 65535) {
        error = "--codepage needs a code page number between 1 and 65535";
        return false;
      }
      if (!IsCodePageAvailable(static_cast<int>(*page))) {
        error = "--codepage " + std::to_string(*page) +
                ": no converter on this machine supports that code page";
        return false;
      }
      arguments.codePage = static_cast<int>(*page);
    } else if (word == "--threads") {
      std::optional<std::uint64_t> threads;
      if (!number(threads)) return false;
      if (*threads == 0 || *threads > kMostScanThreads) {
        error =
            "--threads needs a number of threads between 1 and " + std::to_string(kMostScanThreads);
        return false;
      }
      arguments.threads = static_cast<unsigned>(*threads);
    } else if (word == "--out") {
      if (!value(arguments.outputFolder)) return false;
    } else if (word == "--format") {
      if (!value(arguments.format)) return false;
      if (arguments.format != "eml" && arguments.format != "txt" && arguments.format != "mbox") {
        error = "--format takes eml, txt or mbox";
        return false;
      }
    } else if (word == "--find") {
      std::string text;
      if (!value(text)) return false;
      if (text.empty()) {
        error = "--find needs a text to look for, not an empty one";
        return false;
      }
      if (!arguments.find) arguments.find.emplace();
      arguments.find->text = Utf8ToUtf16(text);
    } else if (word == "--in") {
      std::string list;
      if (!value(list)) return false;
      fields = std::move(list);
    } else if (word == "-") {
      error =
          "a source cannot be read from standard input ('-'): its size cannot be known; copy "
          "the stream into an image file first";
      return false;
    } else if (arguments.source.empty()) {
      arguments.source = word;
    } else {
      error = "more than one source given ('" + arguments.source + "' and '" + word + "')";
      return false;
    }
  }
  if (arguments.help) return true;
  if (fields) {
    if (!arguments.find) {
      error = "--in needs --find: it names the fields --find searches";
      return false;
    }
    if (!ParseFindFields(*fields, *arguments.find, error)) return false;
  }
  if (arguments.source.empty()) {
    error = "no source given";
    return false;
  }
  arguments.source = ResolveSourceName(arguments.source);
  return true;
}

std::string QuotedCommandLine(const std::vector<std::string>& words) {
  static constexpr std::string_view kPlain = "-_./:=,+@%";
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             kPlain.find(c) != kPlain.npos;
    });
    if (plain) {
      line += word;
      continue;
    }
    line += '\'';
    for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

unsigned ScanThreadsOf(const Arguments& arguments) {
  return arguments.threads.value_or(DefaultScanThreads());
}

int AnsiCodePageOf(const Arguments& arguments) {
  return arguments.codePage.value_or(AnsiCodePageFromEnvironment());
}

}  // namespace quillon
