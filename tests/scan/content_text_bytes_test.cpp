// A search for ASCII text may be answered from a body's own bytes, without converting them; it
// must then answer as the converted, case-folded text would, or leave the answer to it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "scan/content_text.h"
#include "support/test_helpers.h"
#include "text/case_folding.h"

namespace quillon {
namespace {

// What the search reads: the converted text, folded, looked through for the folded needle.
bool ConvertedHolds(const ContentTextSource& source, std::string_view needle) {
  const std::u16string folded = FoldCase(ContentTextOf(source));
  return folded.find(FoldCase(std::u16string(needle.begin(), needle.end()))) !=
         std::u16string::npos;
}

std::string Folded(std::string_view needle) {
  const std::u16string folded = FoldCase(std::u16string(needle.begin(), needle.end()));
  return std::string(folded.begin(), folded.end());
}

struct BytesRow {
  const char* name;
  std::string charset;
  bool isHtml;
  int ansiCodePage;
  std::string body;
  std::string needle;
  bool holds;
  bool toldFromBytes;  // whether the bytes may answer without converting
};

class ContentTextBytesTest : public testing::TestWithParam<BytesRow> {};

TEST_P(ContentTextBytesTest, AnswersAsTheConvertedText) {
  const BytesRow& row = GetParam();
  const ContentTextSource source{row.body, row.charset, row.isHtml, row.ansiCodePage};
  ASSERT_EQ(ConvertedHolds(source, row.needle), row.holds) << "the row's own expectation";
  std::string scratch = "left over from the mail before, which held the needle";
  const std::optional<bool> told = HoldsFoldedAscii(source, Folded(row.needle), scratch);
  EXPECT_EQ(told.has_value(), row.toldFromBytes);
  if (told) {
    EXPECT_EQ(*told, row.holds);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ContentTextBytesTest,
    testing::Values(
        BytesRow{"Utf8AnyCase", "utf-8", false, 1252, "The Harbour MASTER", "harbour master", true,
                 true},
        BytesRow{"Utf8Absent", "utf-8", false, 1252, "The Harbour", "lighthouse", false, true},
        BytesRow{"Utf8LetterBetween", "utf-8", false, 1252, "caf\xC3\xA9 bar", "caf bar", false,
                 true},
        BytesRow{"Utf8BrokenLeadBeforeAscii", "UTF-8", false, 1252,
                 "x\xE2"
                 "Abc",
                 "abc", true, true},
        BytesRow{"Utf8OverlongIsNotAscii", "utf-8", false, 1252, "x\xC1\x81y", "xay", false, true},
        BytesRow{"Utf8KelvinSignFoldsToK", "utf-8", false, 1252,
                 "\xE2\x84\xAA"
                 "azan",
                 "kazan", true, false},
        BytesRow{"Utf8LongSFoldsToS", "utf-8", false, 1252,
                 "Stra\xC5\xBF"
                 "e",
                 "STRASE", true, false},
        BytesRow{"Latin1HighByteIsNoLetter", "iso-8859-1", false, 1252, "caf\xE9", "cafe", false,
                 true},
        BytesRow{"Latin1Found", "ISO-8859-1", false, 1252, "Caf\xE9 Noir", "noir", true, true},
        BytesRow{"Windows1252", "windows-1252", false, 1251, "\x80uro Zone", "URO ZONE", true,
                 true},
        BytesRow{"NoCharsetScanCodePage", "", false, 1251, "\xCF\xF0 Tide", "tide", true, true},
        BytesRow{"EmptyNeedleEmptyBody", "utf-8", false, 1252, "", "", true, true},
        BytesRow{"NeedleLongerThanBody", "utf-8", false, 1252, "ab", "abc", false, true},
        BytesRow{"HtmlTagsGo", "utf-8", true, 1252, "<b>Tide</b> table", "tide table", true, false},
        BytesRow{"HtmlEntities", "utf-8", true, 1252, "Fish &amp; Chips", "fish & chips", true,
                 false},
        // A trail byte of a double-byte character may be an ASCII byte: 0x83 0x5C is one
        // katakana letter, no backslash.
        BytesRow{"ShiftJisTrailByte", "shift_jis", false, 1252, "\x83\x5C", "\\", false, false},
        BytesRow{"UnknownCharsetName", "x-no-such-charset", false, 1252, "Tide", "tide", true,
                 false}),
    test::RowName{});

// Every page the bytes may answer for: each byte between two letters, looked for as every
// ASCII character between them, answers as the converted text does.
TEST(ContentTextBytesPagesTest, EveryByteOfEveryPageAnswersAsConverted) {
  for (const int codePage :
       {65001, 20127, 874,   1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257, 1258,
        28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598, 28599, 28605, 38598}) {
    std::string scratch;
    int wrong = 0;
    for (int byte = 0; byte < 256; ++byte) {
      const std::string body = std::string("Q") + static_cast<char>(byte) + "Q";
      const ContentTextSource source{body, "", false, codePage};
      const std::u16string converted = FoldCase(ContentTextOf(source));
      for (int ascii = 0; ascii < 128; ++ascii) {
        const std::string needle = Folded(std::string("q") + static_cast<char>(ascii) + "q");
        const std::optional<bool> told = HoldsFoldedAscii(source, needle, scratch);
        const bool holds =
            converted.find(std::u16string(needle.begin(), needle.end())) != std::u16string::npos;
        if (told && *told != holds) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "code page " << codePage;
  }
}

}  // namespace
}  // namespace quillon
