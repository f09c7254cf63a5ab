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

constexpr Base64Steps kEverySteps[] = {Base64Steps::Bytes, Base64Steps::Sse2, Base64Steps::Avx2};

const char* NameOf(Base64Steps steps) {
  switch (steps) {
    case Base64Steps::Bytes:
      return "bytes";
    case Base64Steps::Sse2:
      return "sse2";
    case Base64Steps::Avx2:
      return "avx2";
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

}  // namespace
}  // namespace quillon
