// Disk images made at test time with the system's imaging tools (ewfacquire, qemu-img), from
// bytes that never repeat, so that a read from the wrong place cannot pass for the right one.
// Header-only: only *_test.cpp files are built.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace quillon::test {

inline std::vector<std::uint8_t> RandomBytes(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 generator(seed);
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; i += 8) {
    const std::uint64_t word = generator();
    for (std::size_t j = 0; j < 8 && i + j < count; ++j)
      bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  return bytes;
}

// True when `tool` is on the PATH.
inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command with its output kept out of the test's; true when it succeeded.
inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) == 0;
}

inline std::string ToolMissing(const std::string& tool, const std::string& package) {
  return tool + " not found (Debian package " + package +
         ", installed by scripts/install-deps.sh); skipping";
}

inline std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace quillon::test
