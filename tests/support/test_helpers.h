// Small helpers the test programs share.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/code_page.h"

namespace quillon::test {

// Names a parameterised test's row after the row's `name` field.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

// A 16-byte mail-store block header: own offset `low`, a 0x200-byte data area (bytes 5..7 read
// 02 00 00), `used` bytes of it used, the next block at `next`.
inline std::string BlockHeader(std::uint32_t low = 0x11223344, std::uint32_t next = 0x00001040,
                               std::uint32_t used = 0x1FF) {
  std::string header(16, '\0');
  auto put = [&header](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(0, low);
  put(4, 0x200);
  put(8, used);
  put(12, next);
  return header;
}

// A whole store block: its header (own offset `self`, `used` bytes used, the next block at
// `next`) and `data` padded with zeros to the 512 bytes of its data area.
inline std::string StoreBlock(std::uint32_t self, std::uint32_t used, std::uint32_t next,
                              std::string_view data) {
  std::string padded(data);
  padded.resize(0x200, '\0');
  return BlockHeader(self, next, used) + padded;
}

}  // namespace quillon::test
