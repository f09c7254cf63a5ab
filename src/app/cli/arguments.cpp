#include "app/cli/arguments.h"

#include <charconv>
#include <filesystem>

namespace quillon {

namespace {

bool ParseNumber(const std::string& text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && !text.empty();
}

}  // namespace

std::string ResolveSourceName(const std::string& name) {
  // A bare name means a device under /dev to the data source; a user who types the name of a
  // file in the current folder means that file.
  if (name.find('/') != std::string::npos) return name;
  std::error_code error;
  if (std::filesystem::is_regular_file(name, error)) return "./" + name;
  return name;
}

bool ParseArguments(const std::vector<std::string>& words, Arguments& arguments,
                    std::string& error) {
  if (words.empty()) {
    error = "no command given";
    return false;
  }
  arguments.command = words[0];
  if (arguments.command != "scan" && arguments.command != "save" && arguments.command != "show") {
    error = "unknown command '" + arguments.command + "'";
    return false;
  }
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
    if (word == "--json") {
      arguments.json = true;
    } else if (word == "--txt") {
      arguments.txt = true;
    } else if (word == "--strict") {
      arguments.strict = true;
    } else if (word == "--hash") {
      arguments.hash = true;
    } else if (word == "--skip-duplicates") {
      arguments.skipDuplicates = true;
    } else if (word == "--start-sector") {
      if (!number(arguments.startSector)) return false;
    } else if (word == "--sectors") {
      if (!number(arguments.sectors)) return false;
    } else if (word == "--index") {
      if (!number(arguments.index)) return false;
    } else if (word == "--codepage") {
      std::optional<std::uint64_t> page;
      if (!number(page)) return false;
      if (*page == 0 || *page > 65535) {
        error = "--codepage needs a code page number between 1 and 65535";
        return false;
      }
      arguments.codePage = static_cast<int>(*page);
    } else if (word == "--out") {
      if (!value(arguments.outputFolder)) return false;
    } else if (word == "--format") {
      if (!value(arguments.format)) return false;
      if (arguments.format != "eml" && arguments.format != "txt") {
        error = "--format takes eml or txt";
        return false;
      }
    } else if (word.size() > 1 && word[0] == '-' && word != "-") {
      error = "unknown option '" + word + "'";
      return false;
    } else if (arguments.source.empty()) {
      arguments.source = word;
    } else {
      error = "more than one source given ('" + arguments.source + "' and '" + word + "')";
      return false;
    }
  }
  if (arguments.source.empty()) {
    error = "no source given";
    return false;
  }
  arguments.source = ResolveSourceName(arguments.source);
  return true;
}

}  // namespace quillon
