#include "scan/compact_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {
namespace {

struct TextRow {
  const char* label;
  std::string text;
};

class CompactTextTest : public testing::TestWithParam<TextRow> {};

// A header value comes back byte for byte: NUL bytes, 8-bit bytes, line breaks and all.
TEST_P(CompactTextTest, HoldsTheValueByteForByte) {
  const std::string& text = GetParam().text;
  const CompactText compact(text);
  EXPECT_EQ(compact.View(), text);
  EXPECT_EQ(compact.size(), text.size());
  EXPECT_EQ(compact.empty(), text.empty());
  EXPECT_EQ(compact.String(), text);
  EXPECT_EQ(compact, text);
  // c_str() ends where the value ends, for callers that hand it to C.
  EXPECT_EQ(compact.c_str()[text.size()], '\0');
  EXPECT_EQ(std::string_view(compact.c_str(), text.size()), text);
  std::ostringstream printed;
  printed << compact;
  EXPECT_EQ(printed.str(), text);
}

// Copies are values of their own: changing or dropping one leaves the other as it was.
TEST_P(CompactTextTest, CopiesAreIndependent) {
  const std::string& text = GetParam().text;
  CompactText original(text);
  CompactText copy = original;
  CompactText assigned;
  assigned = original;
  original = "replaced";
  EXPECT_EQ(copy, text);
  EXPECT_EQ(assigned, text);
  CompactText moved = std::move(copy);
  EXPECT_EQ(moved, text);
  const CompactText& same = assigned;  // self-assignment, through a name the compiler won't flag
  assigned = same;
  EXPECT_EQ(assigned, text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompactTextTest,
    testing::Values(TextRow{"Empty", ""}, TextRow{"OneByte", "x"},
                    TextRow{"Date", "2009-03-09 10:11:12"},
                    TextRow{"InnerNul", std::string("before\0after", 12)},
                    TextRow{"EightBit",
                            "Gr\xFC\xDF"
                            "e \xFF\x80"},
                    TextRow{"FoldedValue", "=?utf-8?q?a?=\r\n =?utf-8?q?b?="},
                    TextRow{"Long", std::string(100000, 'm')}, TextRow{"WellKnownEncoding", "7bit"},
                    TextRow{"WellKnownType", "text/plain"},
                    TextRow{"WellKnownWithCharset", "text/plain; charset=\"utf-8\""},
                    TextRow{"PrefixOfWellKnown", "7bi"}, TextRow{"WellKnownAndMore", "7bit "},
                    TextRow{"OtherCase", "Text/Plain"}),
    [](const testing::TestParamInfo<TextRow>& row) { return row.param.label; });

// Values that differ in length or in one byte are not equal; the comparison reads the whole
// value, not up to a NUL.
TEST(CompactTextCompareTest, DiffersByLengthAndByByte) {
  EXPECT_FALSE(CompactText("abc") == std::string_view("abcd"));
  EXPECT_FALSE(CompactText("abcd") == std::string_view("abc"));
  EXPECT_FALSE(CompactText("abc") == std::string_view("abd"));
  EXPECT_FALSE(CompactText(std::string("a\0b", 3)) == std::string("a\0c", 3));
  EXPECT_FALSE(CompactText("") == std::string_view("x"));
  EXPECT_TRUE(CompactText("") == std::string_view());
  EXPECT_TRUE(CompactText("same") == CompactText("same"));
}

struct SharingRow {
  const char* label;
  std::string text;
  bool ownsBlock;
};

class CompactTextSharingTest : public testing::TestWithParam<SharingRow> {};

// Values most mails write alike hold no block of their own; any other value, even one a byte
// away from them, does. Either way its characters stay put when the text is moved, and one text
// dropped leaves every other with the same value readable.
TEST_P(CompactTextSharingTest, SharesOnlyWellKnownValues) {
  const SharingRow& row = GetParam();
  CompactText text(row.text);
  EXPECT_EQ(text.OwnsBlock(), row.ownsBlock);
  const std::string_view view = text.View();
  CompactText moved = std::move(text);
  EXPECT_EQ(moved.View().data(), view.data());
  {
    CompactText dropped(row.text);
    CompactText overwritten(row.text);
    overwritten = CompactText("other");
  }
  EXPECT_EQ(moved, row.text);
  EXPECT_EQ(CompactText(row.text), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompactTextSharingTest,
    testing::Values(
        SharingRow{"Empty", "", false}, SharingRow{"SevenBit", "7bit", false},
        SharingRow{"Base64", "base64", false}, SharingRow{"TextPlain", "text/plain", false},
        SharingRow{"Utf8", "utf-8", false}, SharingRow{"PrefixOfWellKnown", "base6", true},
        SharingRow{"WellKnownAndMore", "base64x", true}, SharingRow{"OtherCase", "Base64", true},
        SharingRow{"InnerNul", std::string("7bit\0", 5), true},
        SharingRow{"Subject", "Re: lunch", true},
        SharingRow{"LongestWellKnown", "text/plain; charset=\"iso-8859-1\"", false},
        SharingRow{"LongerThanAnyWellKnown", "text/plain; charset=\"iso-8859-15\"", true},
        SharingRow{"LastWellKnown", "windows-1251", false},
        SharingRow{"OneOfManyOfItsLength", "big5", false},
        SharingRow{"LengthOfManyButNone", "8biu", true},
        SharingRow{"WithTrailingBlank", "multipart/related; ", false}),
    [](const testing::TestParamInfo<SharingRow>& row) { return row.param.label; });

}  // namespace
}  // namespace quillon
