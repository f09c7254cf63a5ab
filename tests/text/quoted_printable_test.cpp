#include "text/quoted_printable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

namespace quillon {
namespace {

using namespace std::string_view_literals;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

struct DecodeCase {
  const char* label;
  std::string_view encoded;
  std::string_view decoded;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const DecodeCase& row, std::ostream* out) {
  *out << row.label;
}

class QuotedPrintableDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(QuotedPrintableDecodeTest, Decodes) {
  EXPECT_EQ(QuotedPrintableDecode(GetParam().encoded), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedPrintableDecodeTest,
    ::testing::Values(
        // RFC 2045 6.7 closing example: soft line breaks join the lines.
        DecodeCase{"Rfc2045Example",
                   "Now's the time =\r\nfor all folk to come=\r\n to the aid of their country.",
                   "Now's the time for all folk to come to the aid of their country."},
        DecodeCase{"EscapedEquals", "a=3Db", "a=b"},
        DecodeCase{"SoftBreakCrLf", "ab=\r\ncd", "abcd"},
        // Lower-case hex digits in either place (robustness note (1)).
        DecodeCase{"UpperHex", "=9E=E9", "\x9E\xE9"}, DecodeCase{"LowerHexSecond", "=9e", "\x9E"},
        DecodeCase{"LowerHexFirst", "=e9", "\xE9"}, DecodeCase{"MixedHex", "=eB=Be", "\xEB\xBE"},
        // Soft line breaks after line-end conversion.
        DecodeCase{"SoftBreakBareLf", "ab=\ncd", "abcd"},
        DecodeCase{"SoftBreakBareCr", "ab=\rcd", "abcd"},
        DecodeCase{"SoftBreakAtEnd", "ab=\r\n", "ab"},
        // Rule (3): transport padding between "=" and the line break.
        DecodeCase{"PaddedSoftBreak", "ab= \t\r\ncd", "abcd"},
        DecodeCase{"PaddedSoftBreakLf", "ab=  \ncd", "abcd"},
        DecodeCase{"BlanksWithoutBreakKept", "a=  b", "a=  b"},
        // Note (2): an "=" without two hex digits stays as it stands.
        DecodeCase{"NotHexFirst", "a=G1b", "a=G1b"}, DecodeCase{"NotHexSecond", "a=1Gb", "a=1Gb"},
        DecodeCase{"EqualsBeforeEscape", "==41", "=A"}, DecodeCase{"EqualsSpace", "x = y", "x = y"},
        // Note (3): a truncated end keeps what is there.
        DecodeCase{"TrailingEquals", "abc=", "abc="},
        DecodeCase{"TrailingEqualsHex", "abc=A", "abc=A"}, DecodeCase{"OnlyEquals", "=", "="},
        // Everything else is copied as it stands.
        DecodeCase{"UnderscoreKept", "a_b", "a_b"},
        DecodeCase{"HardLineBreakKept", "a\r\nb", "a\r\nb"},
        DecodeCase{"TrailingBlanksKept", "a \r\nb\t", "a \r\nb\t"},
        DecodeCase{"EightBitKept", "caf\xE9", "caf\xE9"},
        DecodeCase{"NulKept", "a\0b=00"sv, "a\0b\0"sv}, DecodeCase{"Empty", "", ""}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(QuotedPrintableTest, EveryByteValueDecodesFromUpperAndLowerHex) {
  for (int value = 0; value < 256; ++value) {
    char upper[4];
    char lower[4];
    std::snprintf(upper, sizeof upper, "=%02X", value);
    std::snprintf(lower, sizeof lower, "=%02x", value);
    const std::string expected(1, static_cast<char>(value));
    EXPECT_EQ(QuotedPrintableDecode(upper), expected) << upper;
    EXPECT_EQ(QuotedPrintableDecode(lower), expected) << lower;
    EXPECT_EQ(QuotedPrintableDecode(std::string("x") + upper + "y"), "x" + expected + "y") << upper;
  }
}

TEST(QuotedPrintableTest, EveryPairAfterEqualsIsDecodedOrKept) {
  // All 65536 two-byte continuations of "=": a hex pair gives its byte, a line break a soft line
  // break, anything else stays as written.
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const char x = static_cast<char>(first);
      const char y = static_cast<char>(second);
      const std::string encoded = std::string("=") + x + y;
      std::string expected;
      if (x == '\r') {
        expected = y == '\n' ? "" : std::string(1, y);
      } else if (x == '\n') {
        expected = std::string(1, y);
      } else if (IsHexDigit(x) && IsHexDigit(y)) {
        expected = std::string(1, static_cast<char>(std::stoi(std::string{x, y}, nullptr, 16)));
      } else if ((x == ' ' || x == '\t') && (y == '\r' || y == '\n')) {
        expected = "";
      } else if (x == '=' && (y == '\r' || y == '\n')) {
        expected = "=";  // the second "=" starts a soft line break
      } else {
        expected = encoded;
      }
      ASSERT_EQ(QuotedPrintableDecode(encoded), expected) << first << " " << second;
    }
  }
}

TEST(QuotedPrintableTest, EveryByteValueOtherThanEqualsIsCopied) {
  for (int value = 0; value < 256; ++value) {
    if (value == '=') continue;
    const std::string text = std::string("a") + static_cast<char>(value) + "b";
    EXPECT_EQ(QuotedPrintableDecode(text), text) << value;
  }
}

struct QEncodingCase {
  const char* label;
  std::string_view encoded;
  std::string_view decoded;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const QEncodingCase& row, std::ostream* out) {
  *out << row.label;
}

class QEncodingTest : public ::testing::TestWithParam<QEncodingCase> {};

TEST_P(QEncodingTest, Decodes) {
  EXPECT_EQ(QEncodingDecode(GetParam().encoded), GetParam().decoded);
}

// RFC 2047 4.2.
INSTANTIATE_TEST_SUITE_P(Cases, QEncodingTest,
                         ::testing::Values(QEncodingCase{"UnderscoreIsSpace", "a_b__c", "a b  c"},
                                           QEncodingCase{"EscapedUnderscoreStays", "a=5Fb", "a_b"},
                                           QEncodingCase{"EscapedSpace", "a=20b", "a b"},
                                           QEncodingCase{"HexAsInQuotedPrintable", "caf=E9",
                                                         "caf\xE9"},
                                           QEncodingCase{"NotHexKept", "=G_", "=G "}),
                         [](const auto& row) { return std::string(row.param.label); });

struct InPlaceCase {
  const char* label;
  std::string_view before;
  std::string_view after;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const InPlaceCase& row, std::ostream* out) {
  *out << row.label;
}

class QuotedPrintableInPlaceTest : public ::testing::TestWithParam<InPlaceCase> {};

TEST_P(QuotedPrintableInPlaceTest, ReplacesOnlyWhenSomethingDecodes) {
  std::string text(GetParam().before);
  QuotedPrintableDecodeInPlace(text);
  EXPECT_EQ(text, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Cases, QuotedPrintableInPlaceTest,
                         ::testing::Values(InPlaceCase{"Decodes", "a=3Db", "a=b"},
                                           InPlaceCase{"EmptyStays", "", ""},
                                           InPlaceCase{"OnlySoftBreakKeepsText", "=\r\n", "=\r\n"},
                                           InPlaceCase{"CutAtNul", "ab=00cd", "ab"},
                                           InPlaceCase{"LeadingNulEmpties", "=00cd", ""}),
                         [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace quillon
