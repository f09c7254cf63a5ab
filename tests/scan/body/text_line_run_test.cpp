// The run of text lines taken in one pass must be the run the line-by-line reference takes:
// where it stops, how many lines, over lines shorter and longer than one look, stop bytes in
// every place a look can hold them, and the bytes the limit cuts.
#include "scan/body/text_line_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/paths.h"

namespace quillon {
namespace {

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

// Each set of steps the processor has; those it lacks fall back to narrower ones.
constexpr TextLineSteps kAllSteps[] = {TextLineSteps::Bytes, TextLineSteps::Avx2,
                                       TextLineSteps::Avx512};

const char* StepsName(TextLineSteps steps) {
  return steps == TextLineSteps::Avx512 ? "AVX-512"
         : steps == TextLineSteps::Avx2 ? "AVX2"
                                        : "bytes";
}

struct OnePassRow {
  const char* name;
  std::string text;
  std::size_t begin;
  std::size_t maxLine;
  std::string notFirst;
  std::size_t end;  // expected
  std::size_t lines;
};

class TextLineRunTest : public testing::TestWithParam<OnePassRow> {};

TEST_P(TextLineRunTest, TakesWhatTheReferenceTakes) {
  const OnePassRow& row = GetParam();
  for (const TextLineSteps steps : kAllSteps) {
    const LineRun fast = TakeTextLineRun(Bytes(row.text), row.text.size(), row.begin, row.maxLine,
                                         row.notFirst, steps);
    EXPECT_EQ(fast.end, row.end) << StepsName(steps);
    EXPECT_EQ(fast.lines, row.lines) << StepsName(steps);
  }
  const LineRun plain =
      TakeTextLinesPlain(Bytes(row.text), row.text.size(), row.begin, row.maxLine, 0, row.notFirst);
  EXPECT_EQ(plain.end, row.end);
  EXPECT_EQ(plain.lines, row.lines);
}

const std::string kShort = "Hi,\r\n";                     // 5: many in one look
const std::string kLong = std::string(70, 'w') + "\r\n";  // 72: a line end in the third look

INSTANTIATE_TEST_SUITE_P(
    Rows, TextLineRunTest,
    testing::Values(
        OnePassRow{"ShortLinesInOneLook", kShort + kShort + kShort + "\r\n", 0, 100, "-Rr", 15, 3},
        OnePassRow{"LongLinesOverLooks", kLong + kLong + "--b\r\n", 0, 100, "-Rr", 144, 2},
        OnePassRow{"ShortAfterLong", kLong + kShort + kLong + kShort + "\x01\r\n", 0, 100, "", 154,
                   4},
        OnePassRow{"StopInTheSameLookAsALineEnd", kShort + "ab\x0B" + "c\r\n" + kLong, 0, 100, "",
                   5, 1},
        OnePassRow{"StopInALaterLook", kLong + std::string(40, 'x') + "\x7F\r\n", 0, 100, "", 72,
                   1},
        OnePassRow{"EmptyLineInTheLookStops", kShort + "\r\n" + kShort, 0, 100, "", 5, 1},
        OnePassRow{"BarredStartAfterAShortLine", kShort + "Received: x\r\n", 0, 100, "-Rr", 5, 1},
        OnePassRow{"LineEndOnTheLastByteOfTheLimit", kLong + std::string(30, 'y') + "\r", 0, 100,
                   "", 72, 1},
        OnePassRow{"TailShorterThanALook", kLong + "abc\r\n", 0, 100, "", 77, 2},
        OnePassRow{"LongestLineStops", kShort + std::string(99, 'z') + "\r\n", 0, 99, "", 5, 1},
        OnePassRow{"JustUnderTheLongest", std::string(98, 'z') + "\r\n" + kShort, 0, 99, "", 105,
                   2},
        OnePassRow{"FromALaterStart", kLong + kShort + kShort, 72, 100, "", 82, 2},
        OnePassRow{"BeginAtTheLimit", kShort, 5, 100, "", 5, 0}),
    [](const testing::TestParamInfo<OnePassRow>& row) { return std::string(row.param.name); });

// Lines of few kinds of bytes, stop bytes among them, cut at every limit: the one pass and the
// reference agree wherever the walk could ask.
TEST(TextLineRunAgreement, RandomLinesAtEveryLimit) {
  std::mt19937 random(41);
  const std::string alphabet = std::string("ab R-\r\n\t\x7F\x01\xE9", 11);
  std::size_t taken = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t lines = random() % 12;
    for (std::size_t line = 0; line < lines; ++line) {
      const std::size_t length = random() % 90;
      for (std::size_t i = 0; i < length; ++i) {
        // Mostly plain letters, so that runs get long enough to cross looks.
        const std::size_t pick = random() % 64;
        text += pick < alphabet.size() ? alphabet[pick] : 'a';
      }
      text += "\r\n";
    }
    for (std::size_t limit = 0; limit <= text.size(); ++limit) {
      // Longest lines under a look and over it.
      for (const std::size_t maxLine : {60, 64, 1000}) {
        for (const std::string notFirst : {"", "-Rr"}) {
          const LineRun plain = TakeTextLinesPlain(Bytes(text), limit, 0, maxLine, 0, notFirst);
          for (const TextLineSteps steps : kAllSteps) {
            const LineRun fast = TakeTextLineRun(Bytes(text), limit, 0, maxLine, notFirst, steps);
            ASSERT_EQ(fast.end, plain.end)
                << StepsName(steps) << " round " << round << " limit " << limit;
            ASSERT_EQ(fast.lines, plain.lines)
                << StepsName(steps) << " round " << round << " limit " << limit;
            taken += fast.lines;
          }
        }
      }
    }
  }
  EXPECT_GT(taken, 0u);
}

TEST(TextLineRunAgreement, CorpusMails) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t taken = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t start = 0; start < text.size();) {
      const LineRun fast = TakeTextLineRun(Bytes(text), text.size(), start, 1000, "-Rr");
      const LineRun plain = TakeTextLinesPlain(Bytes(text), text.size(), start, 1000, 0, "-Rr");
      ASSERT_EQ(fast.end, plain.end) << file << " at " << start;
      ASSERT_EQ(fast.lines, plain.lines) << file << " at " << start;
      const LineRun avx2 =
          TakeTextLineRun(Bytes(text), text.size(), start, 1000, "-Rr", TextLineSteps::Avx2);
      ASSERT_EQ(avx2.end, plain.end) << file << " at " << start;
      ASSERT_EQ(avx2.lines, plain.lines) << file << " at " << start;
      taken += fast.lines;
      const std::size_t lineFeed = text.find('\n', start);
      start = fast.lines > 0                  ? fast.end
              : lineFeed == std::string::npos ? text.size()
                                              : lineFeed + 1;
    }
  }
  EXPECT_GT(taken, 0u);
}

}  // namespace
}  // namespace quillon
