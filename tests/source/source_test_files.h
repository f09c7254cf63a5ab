// Image files for the source tests: bytes that differ from sector to sector, so that a read from
// the wrong place cannot pass for the right one. Header-only: only *_test.cpp files are built.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon::test {

inline std::uint8_t PatternByte(std::uint64_t position) {
  return static_cast<std::uint8_t>(position * 7 + position / 512 * 13 + 1);
}

inline std::vector<std::uint8_t> PatternBytes(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = PatternByte(i);
  return bytes;
}

inline void WriteImageFile(const std::filesystem::path& path,
                           const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Names each row of a parameterised test after its `label`, so that a failure says which row.
struct RowLabel {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& row) const {
    return row.param.label;
  }
};

}  // namespace quillon::test
