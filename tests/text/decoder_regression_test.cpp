// Inputs the fuzz targets once stopped on, kept as files under tests/data/regress/text/ in the
// fuzz targets' own format (first byte: ANSI code page choice, rest: the value). Each is replayed
// through every decoder and its named row states what it must decode to.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>

#include "support/paths.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "text/encoded_words.h"
#include "text/quoted_printable.h"

namespace quillon {
namespace {

std::filesystem::path RegressionDir() {
  return test::SourceDir() / "tests" / "data" / "regress" / "text";
}

// The ANSI code pages the fuzz targets choose from with their first byte.
constexpr int kAnsiCodePages[] = {1252, 936, 932, 1251};

struct RegressionCase {
  const char* file;
  std::u16string_view headerText;   // DecodeHeaderText of the value
  std::u16string_view addressText;  // DecodeAddressText of the value
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const RegressionCase& row, std::ostream* out) {
  *out << row.file;
}

const RegressionCase kCases[] = {
    // A lone quote after a NUL: no display name to rebuild, the NUL is dropped.
    {"address_lone_quote_after_nul", u"\"=", u"\"="},
};

class DecoderRegressionTest : public ::testing::TestWithParam<RegressionCase> {};

TEST_P(DecoderRegressionTest, DecodesAsExpected) {
  const std::filesystem::path path = RegressionDir() / GetParam().file;
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  const std::string input = test::ReadFileBytes(path);
  ASSERT_FALSE(input.empty());
  const int ansiCodePage = kAnsiCodePages[static_cast<unsigned char>(input[0]) % 4];
  const std::string_view value = std::string_view(input).substr(1);
  EXPECT_EQ(DecodeHeaderText(value, ansiCodePage), GetParam().headerText);
  EXPECT_EQ(DecodeAddressText(value, ansiCodePage), GetParam().addressText);
}

INSTANTIATE_TEST_SUITE_P(Finds, DecoderRegressionTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.file); });

// Found by address_text_fuzz: a word labelled with ICU's COMPOUND_TEXT converter left that
// converter in the thread's cache, and closing it (when the cache was emptied, or when the
// thread ended) crashed inside ICU. The thread here ends right after the conversion.
TEST(DecoderRegressionTest, CompoundTextConverterClosesCleanly) {
  std::u16string decoded;
  std::u16string named;
  bool converted = false;
  std::thread worker([&] {
    decoded = DecodeHeaderText("=?x11-compound-text?Q?abc?= =?COMPOUND_TEXT?B?ZGVm?=", 1252);
    converted = ConvertByCharsetName("x-compound-text", "xyz", named);
  });
  worker.join();
  EXPECT_EQ(decoded, u"abcdef");
  EXPECT_TRUE(converted);
  EXPECT_EQ(named, u"xyz");
}

TEST(DecoderRegressionFilesTest, EveryFileHasANamedRowAndReplaysCleanly) {
  const std::filesystem::path dir = RegressionDir();
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const bool named = std::any_of(std::begin(kCases), std::end(kCases),
                                   [&](const RegressionCase& row) { return row.file == name; });
    EXPECT_TRUE(named) << "add a named row for " << name;
    const std::string input = test::ReadFileBytes(entry.path());
    // Every decoder must return on it; none may leave a NUL in decoded text.
    EXPECT_EQ(DecodeHeaderText(input, 1252).find(u'\0'), std::u16string::npos) << entry.path();
    EXPECT_EQ(DecodeAddressText(input, 1252).find(u'\0'), std::u16string::npos) << entry.path();
    (void)DecodeExtendedParameter(input, 1252);
    EXPECT_LE(Base64Decode(input).size(), input.size());
    EXPECT_LE(QuotedPrintableDecode(input).size(), input.size());
  }
}

}  // namespace
}  // namespace quillon
