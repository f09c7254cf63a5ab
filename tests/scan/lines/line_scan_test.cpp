// The eight-bytes-at-a-time looks must agree with a plain byte-by-byte look, for every byte
// value at every place in a word.
#include "scan/lines/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillon {
namespace {

std::size_t PlainLineEnd(const std::vector<std::uint8_t>& data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (data[i] == '\r' || data[i] == '\n' || data[i] == 0) return i;
  }
  return length;
}

bool PlainNonText(const std::vector<std::uint8_t>& data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return true;
  }
  return false;
}

TEST(LineScanTest, EveryByteValueAtEveryPlace) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t place = 0; place < 19; ++place) {
      // Plain text around one byte of the value, high bytes included.
      std::vector<std::uint8_t> data(19, 'a');
      data[(place + 3) % 19] = 0xE9;
      data[place] = static_cast<std::uint8_t>(value);
      for (std::size_t length : {place, place + 1, std::size_t{19}}) {
        EXPECT_EQ(FindLineEndOrNul(data.data(), length), PlainLineEnd(data, length))
            << value << " at " << place << " of " << length;
        EXPECT_EQ(MayHoldNonText(data.data(), length), PlainNonText(data, length))
            << value << " at " << place << " of " << length;
      }
    }
  }
}

TEST(LineScanTest, RandomLines) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> data(random() % 200);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(0x20 + random() % 0xE0);
    if (!data.empty() && round % 2 == 0)
      data[random() % data.size()] = static_cast<std::uint8_t>(random() % 0x20);
    EXPECT_EQ(FindLineEndOrNul(data.data(), data.size()), PlainLineEnd(data, data.size()));
    EXPECT_EQ(MayHoldNonText(data.data(), data.size()), PlainNonText(data, data.size()));
  }
}

}  // namespace
}  // namespace quillon
