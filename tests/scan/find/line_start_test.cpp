// Where the look back for a line's start stops: which bytes stop it (the line readers' own
// notion of text), at every place a vector step can put them, and that the vector look agrees
// with the byte-at-a-time one on arbitrary bytes.
#include "scan/find/line_start.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scan/lines/line_reader.h"

namespace quillon {
namespace {

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

struct LookBackRow {
  const char* name;
  std::string text;
  std::size_t floor;
  std::size_t end;
  std::size_t expected;
};

class LineLookBackTest : public testing::TestWithParam<LookBackRow> {};

TEST_P(LineLookBackTest, StopsAtTheLastLineFeedOrNonTextByte) {
  const LookBackRow& row = GetParam();
  EXPECT_EQ(LastLineStop(Bytes(row.text), row.floor, row.end), row.expected) << "steps";
  EXPECT_EQ(LastLineStopPlain(Bytes(row.text), row.floor, row.end), row.expected) << "plain";
}

const std::string kLine = std::string(100, 'x');

std::string With(std::size_t at, char byte, std::string text = kLine) {
  text[at] = byte;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineLookBackTest,
    testing::Values(
        LookBackRow{"NoStopRunsToTheFloor", kLine, 0, 100, kNoLineStop},
        LookBackRow{"TextControlsDoNotStop",
                    std::string(20, '\t') + std::string(20, '\r') + std::string(20, '\f') +
                        std::string(20, '\x1B') + std::string(10, '\x0E') + std::string(10, '\x0F'),
                    0, 100, kNoLineStop},
        LookBackRow{"EightBitBytesDoNotStop", std::string(100, '\xE9'), 0, 100, kNoLineStop},
        LookBackRow{"LineFeedInTheLastVector", With(95, '\n'), 0, 100, 95},
        LookBackRow{"LineFeedInAnEarlierVector", With(40, '\n'), 0, 100, 40},
        LookBackRow{"LineFeedInTheHeadBeforeTheVectors", With(2, '\n'), 0, 100, 2},
        LookBackRow{"NulStops", With(70, '\0'), 0, 100, 70},
        LookBackRow{"DeleteStops", With(81, '\x7F'), 0, 100, 81},
        LookBackRow{"VerticalTabStops", With(66, '\v'), 0, 100, 66},
        LookBackRow{"TheLaterOfTwoStops", With(30, '\n', With(60, '\x01')), 0, 100, 60},
        LookBackRow{"CrLfEndOfTheLineAbove", With(49, '\r', With(50, '\n')), 0, 100, 50},
        LookBackRow{"TabBehindTheLineFeed", With(20, '\n', With(21, '\t')), 0, 100, 20},
        LookBackRow{"StopAtTheEndIsNotSeen", With(64, '\n'), 0, 64, kNoLineStop},
        LookBackRow{"StopBeforeTheFloorIsNotSeen", With(9, '\n'), 10, 100, kNoLineStop},
        LookBackRow{"StopAtTheFloor", With(10, '\n'), 10, 100, 10},
        LookBackRow{"EmptyRange", With(10, '\n'), 50, 50, kNoLineStop}),
    [](const testing::TestParamInfo<LookBackRow>& row) { return std::string(row.param.name); });

TEST(LineLookBack, StopsWhereTheLineReadersTextEnds) {
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    EXPECT_EQ(StopsALineLookBack(byte), byte == '\n' || !IsTextByte(byte)) << value;
  }
}

TEST(LineLookBack, EveryByteValueAtEveryPlaceAgreesWithThePlainLook) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t place = 0; place < 70; ++place) {
      const std::string text = With(place, static_cast<char>(value), std::string(70, 'x'));
      for (const std::size_t floor : {std::size_t{0}, std::size_t{3}, std::size_t{17}}) {
        for (const std::size_t end : {std::size_t{70}, std::size_t{51}, std::size_t{33}}) {
          EXPECT_EQ(LastLineStop(Bytes(text), floor, end),
                    LastLineStopPlain(Bytes(text), floor, end))
              << value << " at " << place << " in [" << floor << ", " << end << ")";
        }
      }
    }
  }
}

TEST(LineLookBack, ArbitraryBytesAgreeWithThePlainLook) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    std::string text(1 + random() % 300, 'a');
    // Mostly text with a few controls, as header lines and old bytes hold them.
    for (char& c : text) {
      const unsigned draw = random() % 64;
      c = draw == 0 ? static_cast<char>(random() % 256) : draw == 1 ? '\n' : 'a';
    }
    const std::size_t end = random() % (text.size() + 1);
    const std::size_t floor = end == 0 ? 0 : random() % (end + 1);
    ASSERT_EQ(LastLineStop(Bytes(text), floor, end), LastLineStopPlain(Bytes(text), floor, end))
        << "round " << round;
  }
}

}  // namespace
}  // namespace quillon
