// The command line's arguments: a command word, one positional source, and options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct Arguments {
  std::string command;  // "scan", "save", "show"
  std::string source;
  bool json = false;
  bool txt = false;
  bool strict = false;
  bool skipDuplicates = false;
  bool hash = false;  // digest every byte read and check an image's stored hashes
  std::optional<std::uint64_t> startSector;
  std::optional<std::uint64_t> sectors;
  std::optional<int> codePage;
  std::optional<std::uint64_t> index;
  std::string outputFolder;
  std::string format = "eml";
};

// A bare file name in the current folder becomes "./name"; every other name stays as given.
std::string ResolveSourceName(const std::string& name);

// Parses argv[1..]. On a usage error returns false with `error` set.
[[nodiscard]] bool ParseArguments(const std::vector<std::string>& words, Arguments& arguments,
                                  std::string& error);

}  // namespace quillon
