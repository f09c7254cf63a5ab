// The runs of lines the body steps take at once (base64 lines of an attachment, plain lines of
// text): which lines they take, where they stop, what they hand back near their end, and that the
// vector searches agree with the byte-at-a-time ones on real mails and on arbitrary bytes.
#include "scan/find/line_runs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/paths.h"

namespace quillon {
namespace {

const std::string kLine = std::string(76, 'Q') + "\r\n";  // 78 bytes

struct RunRow {
  const char* name;
  std::string text;
  std::size_t begin;
  std::size_t maxLine;
  std::size_t clearAhead;
  std::size_t end;  // expected
  std::size_t lines;
};

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

class Base64LinesTest : public testing::TestWithParam<RunRow> {};

TEST_P(Base64LinesTest, TakesTheRunAndNoMore) {
  const RunRow& row = GetParam();
  for (const auto take : {&TakeBase64Lines, &TakeBase64LinesPlain}) {
    const LineRun run =
        take(Bytes(row.text), row.text.size(), row.begin, row.maxLine, row.clearAhead);
    EXPECT_EQ(run.end, row.end) << (take == &TakeBase64Lines ? "vector" : "plain");
    EXPECT_EQ(run.lines, row.lines) << (take == &TakeBase64Lines ? "vector" : "plain");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64LinesTest,
    testing::Values(
        RunRow{"WholeLinesUpToTheBoundary", kLine + kLine + kLine + "--b--\r\n", 0, 100, 0, 234, 3},
        RunRow{"AlphabetAndBothSymbols",
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/\r\nx", 0, 100, 0,
               66, 1},
        RunRow{"FromALaterLineStart", "head\r\n" + kLine + "\r\n", 6, 100, 0, 84, 1},
        RunRow{"PaddedLineStaysOut", kLine + "QUJD=\r\n" + kLine, 0, 100, 0, 78, 1},
        RunRow{"EmptyLineStops", kLine + "\r\n" + kLine, 0, 100, 0, 78, 1},
        RunRow{"BareLineFeedStops", kLine + std::string(10, 'A') + "\n" + kLine, 0, 100, 0, 78, 1},
        RunRow{"BareCarriageReturnStops", kLine + std::string(10, 'A') + "\rA\r\n", 0, 100, 0, 78,
               1},
        RunRow{"HighByteStops", kLine + "AAAA\xC3\xA9\r\n", 0, 100, 0, 78, 1},
        RunRow{"NulStops", kLine + std::string("AA\0AA\r\n", 7), 0, 100, 0, 78, 1},
        RunRow{"LineAtTheLongestStops", kLine + std::string(99, 'z') + "\r\n", 0, 99, 0, 78, 1},
        RunRow{"LineJustUnderTheLongest", std::string(98, 'z') + "\r\n", 0, 99, 0, 100, 1},
        // The line feed must lie before the limit: the walk reads a line end at the buffer's
        // end in its own way.
        RunRow{"LineEndCutByTheLimit", kLine + std::string(76, 'Q') + "\r", 0, 100, 0, 78, 1},
        RunRow{"NothingAtAnOtherLine", "Content-Type: x\r\n" + kLine, 0, 100, 0, 0, 0},
        // Every line taken has clearAhead bytes of the run behind its start: here 234 bytes of
        // run, 100 kept clear: lines starting at 0 and 78 (78 + 100 <= 234) go, 156 comes back.
        RunRow{"HandsBackTheLinesNearTheEnd", kLine + kLine + kLine + "--b\r\n", 0, 100, 100, 156,
               2},
        RunRow{"ClearReachEndsOnALineStart", kLine + kLine + kLine, 0, 100, 156, 156, 2},
        RunRow{"ClearReachLongerThanTheRun", kLine + kLine, 0, 100, 157, 0, 0},
        RunRow{"BeginAtTheLimit", kLine, 78, 100, 0, 78, 0}),
    [](const testing::TestParamInfo<RunRow>& row) { return std::string(row.param.name); });

struct TextRunRow {
  const char* name;
  std::string text;
  std::string notFirst;
  std::size_t clearAhead;
  std::size_t end;  // expected
  std::size_t lines;
};

class TextLinesTest : public testing::TestWithParam<TextRunRow> {};

TEST_P(TextLinesTest, TakesTheRunAndNoMore) {
  const TextRunRow& row = GetParam();
  for (const auto take : {&TakeTextLines, &TakeTextLinesPlain}) {
    const LineRun run =
        take(Bytes(row.text), row.text.size(), 0, 100, row.clearAhead, row.notFirst);
    EXPECT_EQ(run.end, row.end) << (take == &TakeTextLines ? "vector" : "plain");
    EXPECT_EQ(run.lines, row.lines) << (take == &TakeTextLines ? "vector" : "plain");
  }
}

const std::string kText =
    "The quick brown fox, jumps over: the lazy dog's 8-bit \xE9t\xE9.\r\n";  // 60

INSTANTIATE_TEST_SUITE_P(
    Rows, TextLinesTest,
    testing::Values(
        TextRunRow{"PrintableAndEightBit", kText + kText + "\r\n", "", 0, 120, 2},
        TextRunRow{"TabIsText", "a\tb\r\n\tindented\r\n", "", 0, 16, 2},
        TextRunRow{"DeleteStops", kText + "a\x7F\r\n", "", 0, 60, 1},
        TextRunRow{"FormFeedStops", kText + "\f\r\n", "", 0, 60, 1},
        TextRunRow{"EscapeStops", kText + "\x1B[0m\r\n", "", 0, 60, 1},
        TextRunRow{"NulStops", kText + std::string("ab\0c\r\n", 6), "", 0, 60, 1},
        TextRunRow{"BareCarriageReturnStops", kText + "ab\rcd\r\n", "", 0, 60, 1},
        TextRunRow{"BareLineFeedStops", kText + "ab\ncd\r\n", "", 0, 60, 1},
        TextRunRow{"BarredFirstByteStops", kText + "--boundary\r\n" + kText, "-Rr", 0, 60, 1},
        TextRunRow{"BarredOnlyAtTheStart", kText + "a--b Received: x\r\n", "-Rr", 0, 78, 2},
        TextRunRow{"LowerCaseBarredToo", kText + "received: x\r\n", "-Rr", 0, 60, 1},
        TextRunRow{"FirstLineBarred", "Re: hello\r\n" + kText, "-Rr", 0, 0, 0},
        TextRunRow{"LineAtTheLongest", std::string(100, 'x') + "\r\n", "", 0, 0, 0},
        TextRunRow{"HandsBackNearTheEnd", kText + kText + kText + "\r\n", "", 100, 120, 2}),
    [](const testing::TestParamInfo<TextRunRow>& row) { return std::string(row.param.name); });

// Along every corpus mail, from each line start where the last run stopped (as the walk asks),
// the vector and the plain runs agree.
TEST(Base64LinesAgreement, CorpusMails) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t taken = 0;
  std::size_t textTaken = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto nextLineStart = [&text](std::size_t at) {
      const std::size_t lineFeed = text.find('\n', at);
      return lineFeed == std::string::npos ? text.size() : lineFeed + 1;
    };
    for (std::size_t start = 0; start < text.size();) {
      const LineRun fast = TakeBase64Lines(Bytes(text), text.size(), start, 1000, 208);
      const LineRun plain = TakeBase64LinesPlain(Bytes(text), text.size(), start, 1000, 208);
      ASSERT_EQ(fast.end, plain.end) << file << " at " << start;
      ASSERT_EQ(fast.lines, plain.lines) << file << " at " << start;
      taken += fast.lines;
      start = fast.lines > 0 ? fast.end : nextLineStart(start);
    }
    for (std::size_t start = 0; start < text.size();) {
      const LineRun fast = TakeTextLines(Bytes(text), text.size(), start, 1000, 208, "-Rr");
      const LineRun plain = TakeTextLinesPlain(Bytes(text), text.size(), start, 1000, 208, "-Rr");
      ASSERT_EQ(fast.end, plain.end) << file << " at " << start;
      ASSERT_EQ(fast.lines, plain.lines) << file << " at " << start;
      textTaken += fast.lines;
      start = fast.lines > 0 ? fast.end : nextLineStart(start);
    }
  }
  // The corpus holds base64 attachments and plain text: neither kind of run is always empty.
  EXPECT_GT(taken, 0u);
  EXPECT_GT(textTaken, 0u);
}

TEST(Base64LinesAgreement, RandomLinesOfFewCharacters) {
  std::mt19937 random(29);
  const std::string alphabet = std::string("QZaz09+/=\r\n-\x80\x7F\t\x1F \0", 18);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t lines = random() % 8;
    for (std::size_t i = 0; i < lines; ++i) {
      std::string line(random() % 40, 'A');
      for (char& c : line)
        if (random() % 25 == 0) c = alphabet[random() % alphabet.size()];
      text += line + (random() % 10 == 0 ? "\n" : "\r\n");
    }
    const std::size_t maxLine = 1 + random() % 45;
    const std::size_t clearAhead = random() % 120;
    const std::size_t limit = random() % (text.size() + 1);
    const LineRun fast = TakeBase64Lines(Bytes(text), limit, 0, maxLine, clearAhead);
    const LineRun plain = TakeBase64LinesPlain(Bytes(text), limit, 0, maxLine, clearAhead);
    ASSERT_EQ(fast.end, plain.end) << round;
    ASSERT_EQ(fast.lines, plain.lines) << round;
    const LineRun fastText = TakeTextLines(Bytes(text), limit, 0, maxLine, clearAhead, "Q-");
    const LineRun plainText = TakeTextLinesPlain(Bytes(text), limit, 0, maxLine, clearAhead, "Q-");
    ASSERT_EQ(fastText.end, plainText.end) << round;
    ASSERT_EQ(fastText.lines, plainText.lines) << round;
  }
}

// Lines of text long enough for several vector steps each, with a stop byte anywhere in them
// (every control byte but a tab, 0x7F) or none, against the byte-at-a-time reference.
TEST(TextLinesAgreement, LongLinesWithAStopAnywhere) {
  std::mt19937 random(31);
  const std::string stops = std::string("\0\x01\x08\x0B\x0C\x0D\x0A\x1B\x1F\x7F", 10);
  const std::string others = "a Z~\t\x80\xFF-R";
  std::size_t taken = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t lines = 1 + random() % 5; lines > 0; --lines) {
      std::string line(random() % 150, 'x');
      for (char& c : line)
        if (random() % 20 == 0) c = others[random() % others.size()];
      if (!line.empty() && random() % 4 == 0)
        line[random() % line.size()] = stops[random() % stops.size()];
      text += line + "\r\n";
    }
    const std::size_t maxLine = 1 + random() % 160;
    const std::size_t limit = text.size() - random() % 3;
    const LineRun fast = TakeTextLines(Bytes(text), limit, 0, maxLine, 0, "-R");
    const LineRun plain = TakeTextLinesPlain(Bytes(text), limit, 0, maxLine, 0, "-R");
    ASSERT_EQ(fast.end, plain.end) << round;
    ASSERT_EQ(fast.lines, plain.lines) << round;
    taken += plain.lines;
  }
  EXPECT_GT(taken, 1000u) << "the rounds take lines";
}

}  // namespace
}  // namespace quillon
