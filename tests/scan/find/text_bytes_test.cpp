// Where a mail's text stops being text: which bytes stop the search, at every place a vector
// step can put them, and that the vector search agrees with the byte-at-a-time one on real mails
// and on arbitrary bytes.
#include "scan/find/text_bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/paths.h"

namespace quillon {
namespace {

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

struct StopRow {
  const char* name;
  std::string text;
  std::size_t at;
  std::size_t limit;
  std::size_t expected;
};

class NonTextByteTest : public testing::TestWithParam<StopRow> {};

// Every width of steps this processor has (narrower ones stand in for those it lacks).
constexpr TextSteps kEverySteps[] = {TextSteps::Bytes, TextSteps::Sse2, TextSteps::Avx2};

TEST_P(NonTextByteTest, StopsAtTheFirstControlByte) {
  const StopRow& row = GetParam();
  for (const TextSteps steps : kEverySteps)
    EXPECT_EQ(FindNonTextByte(Bytes(row.text), row.at, row.limit, steps), row.expected)
        << "steps " << static_cast<int>(steps);
  EXPECT_EQ(FindNonTextBytePlain(Bytes(row.text), row.at, row.limit), row.expected) << "plain";
}

const std::string kProse = std::string(100, 'x');

std::string With(std::size_t at, char byte) {
  std::string text = kProse;
  text[at] = byte;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NonTextByteTest,
    testing::Values(
        StopRow{"AllTextRunsToTheLimit", kProse, 0, 100, 100},
        StopRow{"LineBreaksAndTabsAreText",
                std::string(40, '\t') + std::string(40, '\r') + std::string(20, '\n'), 0, 100, 100},
        StopRow{"DeleteAndEightBitBytesAreText", std::string(50, '\x7F') + std::string(50, '\xE9'),
                0, 100, 100},
        StopRow{"NulInTheFirstVector", With(3, '\0'), 0, 100, 3},
        StopRow{"NulInTheSecondVector", With(20, '\0'), 0, 100, 20},
        StopRow{"NulInTheSecondWideVector", With(45, '\0'), 0, 100, 45},
        StopRow{"NulBehindTheFirstWideStep", With(66, '\0'), 0, 100, 66},
        StopRow{"ByteBelowTheLowestStopper", With(31, '\x1F'), 0, 100, 31},
        StopRow{"VerticalTabStops", With(40, '\v'), 0, 100, 40},
        StopRow{"FormFeedStops", With(33, '\f'), 0, 100, 33},
        StopRow{"EscapeStops", With(70, '\x1B'), 0, 100, 70},
        StopRow{"StopInTheTailBehindTheVectors", With(97, '\x01'), 0, 100, 97},
        StopRow{"TheEarlierOfTwoStops", With(50, '\x02').replace(10, 1, 1, '\x03'), 0, 100, 10},
        StopRow{"StopBeforeTheStartIsNotSeen", With(5, '\0'), 6, 100, 100},
        StopRow{"StopAtTheLimitIsNotSeen", With(64, '\0'), 0, 64, 64},
        StopRow{"StartAtTheLimit", With(10, '\0'), 100, 100, 100},
        StopRow{"StopAtAnOddStart", With(77, '\x04'), 13, 100, 77}),
    [](const testing::TestParamInfo<StopRow>& row) { return std::string(row.param.name); });

TEST(NonTextByteAgreement, EveryByteValueAtEveryPlaceOfAStep) {
  for (int value = 0; value < 256; ++value) {
    // Two 64-byte steps and the tail behind them.
    for (std::size_t place = 0; place < 140; ++place) {
      std::string text(150, 'x');
      text[place] = static_cast<char>(value);
      for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{17}}) {
        for (const TextSteps steps : kEverySteps)
          ASSERT_EQ(FindNonTextByte(Bytes(text), at, text.size(), steps),
                    FindNonTextBytePlain(Bytes(text), at, text.size()))
              << "byte " << value << " at " << place << " from " << at << " steps "
              << static_cast<int>(steps);
      }
    }
  }
}

TEST(NonTextByteAgreement, RandomBytesWithRareControls) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 2000; ++round) {
    std::string text(1 + random() % 300, ' ');
    for (char& c : text)
      c = static_cast<char>(random() % 50 == 0 ? random() % 32 : 32 + random() % 224);
    const std::size_t at = random() % text.size();
    for (const TextSteps steps : kEverySteps)
      ASSERT_EQ(FindNonTextByte(Bytes(text), at, text.size(), steps),
                FindNonTextBytePlain(Bytes(text), at, text.size()))
          << "round " << round << " steps " << static_cast<int>(steps);
  }
}

TEST(NonTextByteAgreement, CorpusMails) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  for (const auto& file : files) {
    const std::string text = test::ReadFileBytes(file);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t stop = FindNonTextByte(Bytes(text), at, text.size());
      ASSERT_EQ(stop, FindNonTextBytePlain(Bytes(text), at, text.size())) << file;
      at = stop + 1;
    }
  }
}

}  // namespace
}  // namespace quillon
