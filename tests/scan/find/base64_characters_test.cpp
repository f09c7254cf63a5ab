// The vector count of base64 characters must agree with the table look for every byte value at
// every place of a vector and of the tail behind it, and count what RFC 2045 6.8 lists.
#include "scan/find/base64_characters.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace quillon {
namespace {

struct CountRow {
  const char* name;
  std::string line;
  std::int64_t expected;
};

class Base64CharactersTest : public testing::TestWithParam<CountRow> {};

TEST_P(Base64CharactersTest, CountsTheAlphabetOnly) {
  EXPECT_EQ(CountBase64Characters(GetParam().line), GetParam().expected);
  EXPECT_EQ(CountBase64CharactersPlain(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64CharactersTest,
    testing::Values(
        CountRow{"Empty", "", 0},
        // RFC 2045 6.8, Table 1: the 64 characters, and the pad, which is none of them.
        CountRow{"WholeAlphabet",
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", 64},
        CountRow{"PaddedLine", "TWFu\x20TWE=TQ==", 9},
        CountRow{"NeighboursOfTheRanges", "@[`{/:,-.*", 1},
        CountRow{"HighBytes",
                 std::string(40, '\xC1') + "\x80\xFF"
                                           "AZaz",
                 4},
        CountRow{"FullAttachmentLine", std::string(76, 'Q'), 76},
        // Longer than 255 vectors: the byte-wide counters are summed before they overflow.
        CountRow{"LongerThanTheCounters", std::string(16 * 300 + 7, '/'), 16 * 300 + 7}),
    [](const testing::TestParamInfo<CountRow>& row) { return std::string(row.param.name); });

TEST(Base64CharactersSweep, EveryByteValueAtEveryPlace) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t place = 0; place < 37; ++place) {
      std::string line(37, 'x');
      line[(place + 5) % line.size()] = '=';
      line[place] = static_cast<char>(value);
      for (const std::size_t length : {place + 1, line.size()}) {
        const std::string_view view(line.data(), length);
        ASSERT_EQ(CountBase64Characters(view), CountBase64CharactersPlain(view))
            << value << " at " << place << " of " << length;
      }
    }
  }
}

TEST(Base64CharactersSweep, RandomLines) {
  std::mt19937 random(13);
  for (int round = 0; round < 2000; ++round) {
    std::string line(random() % 120, ' ');
    for (char& c : line) c = static_cast<char>(random());
    ASSERT_EQ(CountBase64Characters(line), CountBase64CharactersPlain(line)) << round;
  }
}

}  // namespace
}  // namespace quillon
