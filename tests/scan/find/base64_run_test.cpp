// Where a stretch of base64 text stops, at every width of steps: the first byte outside the
// alphabet wherever it lies against the steps, every byte value judged as the alphabet says, and
// the vector steps agreeing with the byte-at-a-time reference on attachments of real mails.
#include "scan/find/base64_run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/paths.h"

namespace quillon {
namespace {

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

constexpr Base64Steps kEverySteps[] = {Base64Steps::Bytes, Base64Steps::Sse2, Base64Steps::Avx2,
                                       Base64Steps::Avx512};

const char* NameOf(Base64Steps steps) {
  switch (steps) {
    case Base64Steps::Bytes:
      return "bytes";
    case Base64Steps::Sse2:
      return "sse2";
    case Base64Steps::Avx2:
      return "avx2";
    case Base64Steps::Avx512:
      return "avx512";
  }
  return "?";
}

const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct StopRow {
  const char* name;
  std::string text;
  std::size_t from;
  std::size_t to;  // std::string::npos: the text's end
  std::size_t expected;
};

void PrintTo(const StopRow& row, std::ostream* out) {
  *out << row.name;
}

class Base64StopTest : public testing::TestWithParam<StopRow> {};

TEST_P(Base64StopTest, StopsAtTheFirstByteOutsideTheAlphabet) {
  const StopRow& row = GetParam();
  const std::size_t to = row.to == std::string::npos ? row.text.size() : row.to;
  EXPECT_EQ(FindNonBase64Plain(Bytes(row.text), row.from, to), row.expected) << "plain";
  for (const Base64Steps steps : kEverySteps)
    EXPECT_EQ(FindNonBase64(Bytes(row.text), row.from, to, steps), row.expected) << NameOf(steps);
}

std::string Repeat(std::size_t count) {
  std::string text;
  while (text.size() < count) text += kAlphabet;
  return text.substr(0, count);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64StopTest,
    testing::Values(
        StopRow{"WholeAlphabetToTheEnd", kAlphabet + kAlphabet, 0, std::string::npos, 128},
        StopRow{"LineEndOfAnAttachmentLine", Repeat(76) + "\r\n" + Repeat(76), 0, std::string::npos,
                76},
        StopRow{"PaddingStops", Repeat(40) + "==\r\n", 0, std::string::npos, 40},
        StopRow{"DashOfABoundaryStops", "--" + Repeat(70), 0, std::string::npos, 0},
        StopRow{"FromAfterTheStop", Repeat(10) + "." + Repeat(90), 11, std::string::npos, 101},
        // The bytes next to the alphabet's ranges in the code table.
        StopRow{"ByteBeforeCapitalA", Repeat(33) + "@", 0, std::string::npos, 33},
        StopRow{"ByteAfterCapitalZ", Repeat(33) + "[", 0, std::string::npos, 33},
        StopRow{"BacktickBeforeSmallA", Repeat(65) + "`", 0, std::string::npos, 65},
        StopRow{"BraceAfterSmallZ", Repeat(65) + "{", 0, std::string::npos, 65},
        StopRow{"CommaBetweenPlusAndSlash", Repeat(31) + ",", 0, std::string::npos, 31},
        StopRow{"ColonAfterNine", Repeat(32) + ":", 0, std::string::npos, 32},
        StopRow{"HighByteWithALetterLowHalf", Repeat(47) + "\xC1", 0, std::string::npos, 47},
        StopRow{"HighByteWithTheSlashLowHalf", Repeat(47) + "\xAF", 0, std::string::npos, 47},
        StopRow{"NulStops", Repeat(20) + std::string(1, '\0') + "AB", 0, std::string::npos, 20},
        // A byte outside the alphabet behind `to` is not looked at: `to` comes back.
        StopRow{"StopBehindTheEndIsNotSeen", Repeat(50) + "\r\n", 0, 50, 50},
        StopRow{"ShortStretchBelowOneStep", Repeat(5) + "!", 0, std::string::npos, 5},
        StopRow{"EmptyStretch", Repeat(8), 8, 8, 8}),
    [](const testing::TestParamInfo<StopRow>& row) { return std::string(row.param.name); });

// Each byte value at each offset of two whole steps of the widest width (and behind them, where
// the plain tail looks): the widths agree with the alphabet itself.
TEST(Base64Stop, EveryByteValueAtEveryOffset) {
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    for (std::size_t at = 0; at < 70; ++at) {
      std::string text = Repeat(72);
      text[at] = static_cast<char>(byte);
      const std::size_t expected = IsBase64Byte(byte) ? text.size() : at;
      ASSERT_EQ(FindNonBase64Plain(Bytes(text), 0, text.size()), expected) << value << " @" << at;
      for (const Base64Steps steps : kEverySteps)
        ASSERT_EQ(FindNonBase64(Bytes(text), 0, text.size(), steps), expected)
            << NameOf(steps) << " " << value << " @" << at;
    }
  }
}

TEST(Base64Stop, AlphabetIsSixtyFourCharacters) {
  int count = 0;
  for (int value = 0; value < 256; ++value) count += IsBase64Byte(static_cast<std::uint8_t>(value));
  EXPECT_EQ(count, 64);
  for (const char c : kAlphabet) EXPECT_TRUE(IsBase64Byte(static_cast<std::uint8_t>(c))) << c;
}

// Along every corpus mail, from every line start: each width stops where the plain look does.
TEST(Base64Stop, CorpusMailsAgreeWithThePlainLook) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t longStretches = 0;
  for (const auto& file : files) {
    const std::string text = test::ReadFileBytes(file);
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t plain = FindNonBase64Plain(Bytes(text), start, text.size());
      for (const Base64Steps steps : kEverySteps)
        ASSERT_EQ(FindNonBase64(Bytes(text), start, text.size(), steps), plain)
            << file << " at " << start << " " << NameOf(steps);
      longStretches += plain - start >= 64;
      const std::size_t lineFeed = text.find('\n', start);
      start = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
    }
  }
  // The corpus holds base64 attachments: some stretches run over two AVX2 steps.
  EXPECT_GT(longStretches, 0u);
}

TEST(Base64Stop, RandomStretchesAgreeWithThePlainLook) {
  std::mt19937 random(41);
  for (int round = 0; round < 20000; ++round) {
    std::string text = Repeat(random() % 200);
    for (char& c : text)
      if (random() % 60 == 0) c = static_cast<char>(random() % 256);
    const std::size_t to = random() % (text.size() + 1);
    const std::size_t from = random() % (to + 1);
    const std::size_t plain = FindNonBase64Plain(Bytes(text), from, to);
    for (const Base64Steps steps : kEverySteps)
      ASSERT_EQ(FindNonBase64(Bytes(text), from, to, steps), plain) << round << NameOf(steps);
  }
}

// Whole lines taken a 64-byte step at a time: where the steps stop against the lines, and that
// without AVX2 they leave every line to the caller.
const std::string kLine = std::string(76, 'Q') + "\r\n";  // 78 bytes

struct StepsRow {
  const char* name;
  std::string text;
  std::size_t begin;
  std::size_t maxLine;
  std::size_t end;  // expected with AVX2
  std::size_t lines;
};

void PrintTo(const StepsRow& row, std::ostream* out) {
  *out << row.name;
}

class Base64StepsTest : public testing::TestWithParam<StepsRow> {};

TEST_P(Base64StepsTest, TakesWholeLinesOfCleanSteps) {
  const StepsRow& row = GetParam();
  const Base64Lines none = TakeBase64LinesInSteps(Bytes(row.text), row.text.size(), row.begin,
                                                  row.maxLine, Base64Steps::Sse2);
  EXPECT_EQ(none.end, row.begin);
  EXPECT_EQ(none.lines, 0u);
  if (WidestBase64Steps() < Base64Steps::Avx2) GTEST_SKIP() << "no AVX2 on this processor";
  // Each width the processor has takes the same lines.
  for (const Base64Steps steps : {Base64Steps::Avx2, Base64Steps::Avx512}) {
    if (steps > WidestBase64Steps()) continue;
    const Base64Lines run =
        TakeBase64LinesInSteps(Bytes(row.text), row.text.size(), row.begin, row.maxLine, steps);
    EXPECT_EQ(run.end, row.end) << NameOf(steps);
    EXPECT_EQ(run.lines, row.lines) << NameOf(steps);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64StepsTest,
    testing::Values(
        // The boundary's dash lies in the step from 384: the lines ended before it are taken.
        StepsRow{"UpToTheStepWithABoundary",
                 kLine + kLine + kLine + kLine + kLine + "--b--\r\n" + Repeat(64), 0, 100, 312, 4},
        StepsRow{"ReturnEndsAStepItsFeedBeginsTheNext",
                 Repeat(63) + "\r\n" + Repeat(62) + "\r\n" + Repeat(200), 0, 100, 129, 2},
        // A step with a fault in it takes none of its lines: the caller reads them.
        StepsRow{"BareLineFeedStopsItsStep", kLine + Repeat(10) + "\n" + kLine + kLine, 0, 100, 0,
                 0},
        StepsRow{"BareReturnStopsItsStep", kLine + kLine + Repeat(10) + "\r" + kLine + kLine, 0,
                 100, 78, 1},
        StepsRow{"PaddingStopsItsStep", kLine + kLine + kLine + "QQ==\r\n" + kLine, 0, 100, 156, 2},
        StepsRow{"EmptyLineStops", kLine + "\r\n" + kLine + kLine + kLine, 0, 100, 78, 1},
        StepsRow{"LineAtTheLongestStops",
                 Repeat(40) + "\r\n" + Repeat(40) + "\r\n" + Repeat(50) + "\r\n" + Repeat(100), 0,
                 50, 84, 2},
        StepsRow{"LineJustUnderTheLongest", Repeat(49) + "\r\n" + Repeat(100), 0, 50, 51, 1},
        StepsRow{"FewerThanAStepTakesNone", "QUJD\r\n" + Repeat(20), 0, 100, 0, 0},
        // Several lines end in one step: counted at once, up to the first empty one.
        StepsRow{"ShortLinesUpToAnEmptyOne",
                 "QUJD\r\nQUJD\r\nQUJD\r\nQUJD\r\nQUJD\r\n\r\n" + Repeat(100), 0, 100, 30, 5},
        StepsRow{"EmptyLineAtAStepsLastByte", Repeat(61) + "\r\n\r\n" + Repeat(100), 0, 100, 63, 1},
        StepsRow{"LineLongerThanAStep", Repeat(150) + "\r\n" + Repeat(100), 0, 200, 152, 1},
        // Lines within a step are counted at once only where none can reach the longest.
        StepsRow{"StepLongLineUnderTheLongest", Repeat(64) + "\r\n" + Repeat(100), 0, 65, 66, 1},
        StepsRow{"StepLongLineAtTheLongest", Repeat(64) + "\r\n" + Repeat(100), 0, 64, 0, 0},
        StepsRow{"FromALaterLineStart", "head\r\n" + kLine + kLine + kLine + Repeat(64), 6, 100,
                 240, 3}),
    [](const testing::TestParamInfo<StepsRow>& row) { return std::string(row.param.name); });

// What the steps take is always the start of what a line-by-line look takes.
void ExpectAStartOfThePlainRun(const std::string& text, std::size_t begin, std::size_t limit,
                               std::size_t maxLine, const std::string& where) {
  const Base64Lines steps = TakeBase64LinesInSteps(Bytes(text), limit, begin, maxLine);
  std::size_t end = begin;
  std::size_t lines = 0;
  while (lines < steps.lines) {
    const std::size_t stop = FindNonBase64Plain(Bytes(text), end, limit);
    ASSERT_TRUE(stop > end && stop - end < maxLine && stop + 1 < limit && text[stop] == '\r' &&
                text[stop + 1] == '\n')
        << where << ": line " << lines << " at " << end << " taken but not whole";
    end = stop + 2;
    ++lines;
  }
  ASSERT_EQ(steps.end, end) << where;
}

TEST(Base64LineSteps, CorpusMailsTakeOnlyWholeLines) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t taken = 0;
  for (const auto& file : files) {
    const std::string text = test::ReadFileBytes(file);
    for (std::size_t start = 0; start < text.size();) {
      // As the walk asks: from where the last run stopped, else from the next line.
      ExpectAStartOfThePlainRun(text, start, text.size(), 1000, file.string());
      const Base64Lines steps = TakeBase64LinesInSteps(Bytes(text), text.size(), start, 1000);
      taken += steps.lines;
      const std::size_t lineFeed = text.find('\n', start);
      start = steps.lines > 0                 ? steps.end
              : lineFeed == std::string::npos ? text.size()
                                              : lineFeed + 1;
    }
  }
  if (WidestBase64Steps() >= Base64Steps::Avx2) {
    EXPECT_GT(taken, 0u);
  }
}

TEST(Base64LineSteps, RandomLinesTakeOnlyWholeLines) {
  std::mt19937 random(43);
  const std::string strays = std::string("\r\n=-\0\x80 ", 8);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    while (text.size() < 400) {
      std::string line = Repeat(random() % 90);
      for (char& c : line)
        if (random() % 300 == 0) c = strays[random() % strays.size()];
      text += line + "\r\n";
    }
    const std::size_t limit = random() % (text.size() + 1);
    const std::size_t maxLine = 1 + random() % 95;
    ExpectAStartOfThePlainRun(text, 0, limit, maxLine, "round " + std::to_string(round));
    // The widest steps stop where the AVX2 steps stop.
    if (WidestBase64Steps() < Base64Steps::Avx512) continue;
    const Base64Lines wide =
        TakeBase64LinesInSteps(Bytes(text), limit, 0, maxLine, Base64Steps::Avx512);
    const Base64Lines narrow =
        TakeBase64LinesInSteps(Bytes(text), limit, 0, maxLine, Base64Steps::Avx2);
    ASSERT_EQ(wide.end, narrow.end) << "round " << round;
    ASSERT_EQ(wide.lines, narrow.lines) << "round " << round;
  }
}

}  // namespace
}  // namespace quillon
