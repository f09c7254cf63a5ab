// Shapes of lines that no mail text takes, told line by line.
#include "scan/reread/old_text_lines.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quillon::mail_reader {
namespace {

enum class Shape { Markup, EncodedData, MidLine, MidCharacter, StrayControls, OpensDocument };

struct ShapeRow {
  const char* name;
  Shape shape;
  std::string line;
  bool holds;
};

void PrintTo(const ShapeRow& row, std::ostream* out) {
  *out << row.name;
}

class LineShapeTest : public testing::TestWithParam<ShapeRow> {};

TEST_P(LineShapeTest, TellsTheShape) {
  const ShapeRow& row = GetParam();
  switch (row.shape) {
    case Shape::Markup:
      EXPECT_EQ(HoldsMarkup(row.line), row.holds);
      break;
    case Shape::EncodedData:
      EXPECT_EQ(ReadsAsEncodedData(row.line), row.holds);
      break;
    case Shape::MidLine:
      EXPECT_EQ(BeginsMidLine(row.line), row.holds);
      break;
    case Shape::MidCharacter:
      EXPECT_EQ(BeginsInsideUtf8Character(row.line), row.holds);
      break;
    case Shape::StrayControls:
      EXPECT_EQ(HoldsStrayControls(row.line), row.holds);
      break;
    case Shape::OpensDocument:
      EXPECT_EQ(OpensADocument(row.line), row.holds);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LineShapeTest,
    testing::Values(
        ShapeRow{"NamedReference", Shape::Markup, "price&nbsp;now", true},
        ShapeRow{"NumericReference", Shape::Markup, "it&#8217;s", true},
        ShapeRow{"XmlDeclaration", Shape::Markup, "<?xml version=\"1.0\"?>", true},
        ShapeRow{"Comment", Shape::Markup, "<!-- hidden -->", true},
        ShapeRow{"AQuestionInAngleBracketsIsNoMarkup", Shape::Markup, "<?>", false},
        ShapeRow{"AnAmpersandInProse", Shape::Markup, "Tom & Jerry; and more", false},
        ShapeRow{"AQueryStringIsNoReference", Shape::Markup, "http://x/?a=1&b=2;c", false},
        ShapeRow{"SoftLineBreak", Shape::EncodedData, "a strong increase for severa=", true},
        ShapeRow{"Escape", Shape::EncodedData, "size=3D\"2\">=E3=81", true},
        ShapeRow{"EscapeOfLettersOnlyIsAQueryString", Shape::EncodedData, "http://x/?lang=DE",
                 false},
        ShapeRow{"ARuleOfEqualsSigns", Shape::EncodedData, "==========", false},
        ShapeRow{"AnEqualsSignBehindABlank", Shape::EncodedData, "a =", false},
        ShapeRow{"Base64Data", Shape::EncodedData,
                 "u7Lz9iXdm7nqLF9468McNOO8HOgPT2rqiZXYoFn6SLBY==", true},
        ShapeRow{"AShortWord", Shape::EncodedData, "Thanks", false},
        ShapeRow{"ProseIsNoData", Shape::EncodedData, "Welcome to the list, see the archive",
                 false},
        ShapeRow{"SmallLetter", Shape::MidLine, "o local officials", true},
        ShapeRow{"Digit", Shape::MidLine, "44949;is;Or;99.39", true},
        ShapeRow{"Comma", Shape::MidLine, ", and then", true},
        ShapeRow{"CapitalLetter", Shape::MidLine, "End of digest", false},
        ShapeRow{"SmallLetterBehindBlanks", Shape::MidLine, "   the rest", true},
        ShapeRow{"AnIndentedListItem", Shape::MidLine, "  1. item", false},
        ShapeRow{"OnlyBlanks", Shape::MidLine, "   ", false},
        ShapeRow{"RuleOfUnderscores", Shape::MidLine, "____________", false},
        ShapeRow{"WebAddress", Shape::MidLine, "http://x.org/listinfo", false},
        ShapeRow{"WebAddressWithoutScheme", Shape::MidLine, "www.x.org list", false},
        ShapeRow{"MailAddress", Shape::MidLine, "list@x.org", false},
        ShapeRow{"Empty", Shape::MidLine, "", false},
        ShapeRow{"CutInsideACyrillicLetter", Shape::MidCharacter, "\xb4\xd0\xb6\xd0\xb5", true},
        ShapeRow{"CutInsideAKanji", Shape::MidCharacter, "\x97\xa5\xe3\x81\xa7", true},
        ShapeRow{"AWholeCyrillicLetterFirst", Shape::MidCharacter, "\xd0\xb4\xd0\xb6", false},
        ShapeRow{"LatinOneMarkThenAscii", Shape::MidCharacter, "\xbfQu\xe9 tal?", false},
        ShapeRow{"LatinOneMarkThenLatinOneLetter", Shape::MidCharacter, "\xab\xc9t\xe9\xbb", false},
        ShapeRow{"ContinuationBytesAlone", Shape::MidCharacter, "\x80\x81", false},
        ShapeRow{"DosEndOfFileMark", Shape::StrayControls, "End of the report.\x1a", true},
        ShapeRow{"DeleteInLatinText", Shape::StrayControls, "Caf\xe9 at noon, then\x7f home", true},
        ShapeRow{"TwoControlsInALongLine", Shape::StrayControls,
                 "Name\x1f"
                 "Ann Lee, room 12, floor 3, east wing\x1e"
                 "Bob Ray, room 14, floor 3, west wing",
                 true},
        ShapeRow{"NoControlIsNothingStray", Shape::StrayControls, "Plain text of a mail", false},
        ShapeRow{"TooShortToTell", Shape::StrayControls, "ok\x01", false},
        ShapeRow{"TwoControlsInAShortLatinLine", Shape::StrayControls,
                 "ab\x01"
                 "cd\xe9ghijklmn\x02"
                 "op",
                 false},
        ShapeRow{"FieldSeparatorsInAnAsciiLine", Shape::StrayControls,
                 "id\x01thanks budget week\x1f"
                 "end\x7f",
                 true},
        ShapeRow{"SeparatorsInAShortAsciiLine", Shape::StrayControls,
                 "id\x01see the next\x1f"
                 "end\x7f",
                 true},
        // Data of 7-bit bytes holds its control bytes in runs, more than one of them.
        ShapeRow{"ControlsInARowInAnAsciiLine", Shape::StrayControls,
                 "a long line\x01\x02 of text\x03\x04 with runs", false},
        // Two side by side and no other: one slip or one damaged spot in a line of text.
        ShapeRow{"OnePairOfControlsInAnAsciiLine", Shape::StrayControls,
                 "a long line of text\x01\x02 with a run", true},
        ShapeRow{"OnePairOfControlsInLatinText", Shape::StrayControls,
                 "Caf\xe9 at noon, then\x7f\x08 home", false},
        ShapeRow{"APairAndAnotherControl", Shape::StrayControls,
                 "id\x01 see the next line\x1f\x1e end", false},
        ShapeRow{"ThreeControlsInARow", Shape::StrayControls,
                 "a long line of text\x08\x1a\x7f with a run", false},
        ShapeRow{"TooManyControlsForAnAsciiLine", Shape::StrayControls,
                 "a\x01\x02\x03"
                 "bcdefghijklmnop",
                 false},
        ShapeRow{"RandomBytesGluedToText", Shape::StrayControls,
                 "\x82\xf3\xd8\x1f\x1c\xb3\xbc\x1eh5{\xf5"
                 "5\\\xe5\x9b\xd9\x12\x14\xddtion are table it meeting village there two "
                 "weather council morning so and more of the old text here to make it long",
                 false},
        ShapeRow{"RandomBytes", Shape::StrayControls,
                 "\x8e\x01\xd3q\x1f\xa9\x02\xbbW\x90\x05\xe4\x7f\xc1\x03z", false},
        ShapeRow{"ANulIsNoStrayByte", Shape::StrayControls,
                 std::string("The rest of it here") + '\0', false},
        ShapeRow{"ANulBetweenTextIsStray", Shape::StrayControls,
                 std::string("Do you like this") + '\0' + " message?", true},
        ShapeRow{"AFewNulsInARowAsOne", Shape::StrayControls,
                 std::string("Do you like this") + std::string(3, '\0') + " message?", true},
        ShapeRow{"FourNulsInARowAreZeros", Shape::StrayControls,
                 std::string("Do you like this") + std::string(4, '\0') + " message?", false},
        ShapeRow{"ANulThatOpensTheLine", Shape::StrayControls,
                 std::string(1, '\0') + "Do you like this message?", false},
        ShapeRow{"AnXmlDeclaration", Shape::OpensDocument, "<?xml version=\"1.0\"?>", true},
        ShapeRow{"ADocumentTypeBehindBlanks", Shape::OpensDocument, "  <!doctype html>", true},
        ShapeRow{"AnHtmlTag", Shape::OpensDocument, "<HTML><body>", true},
        ShapeRow{"AnElementInsideADocument", Shape::OpensDocument, "<p>River</p>", false},
        ShapeRow{"ADeclarationBehindText", Shape::OpensDocument, "see <?xml?>", false}),
    [](const testing::TestParamInfo<ShapeRow>& row) { return row.param.name; });

struct RunRow {
  const char* name;
  std::vector<std::string> lines;
  std::size_t start;  // index of the line the run begins at, or npos
};

void PrintTo(const RunRow& row, std::ostream* out) {
  *out << row.name;
}

class MarkupRunTest : public testing::TestWithParam<RunRow> {};

TEST_P(MarkupRunTest, FindsTheRunUpToTheLastLine) {
  MarkupRun run;
  // Lines are placed 100 bytes apart, so that a line's place tells its index.
  for (std::size_t index = 0; index < GetParam().lines.size(); ++index)
    run.Add(index * 100, GetParam().lines[index]);
  const std::size_t start = GetParam().start;
  EXPECT_EQ(run.Start(), start == std::string::npos ? start : start * 100);
}

constexpr std::size_t kNone = std::string::npos;

INSTANTIATE_TEST_SUITE_P(
    Rules, MarkupRunTest,
    testing::Values(
        RunRow{"NoMarkup", {"Hi", "bye"}, kNone},
        RunRow{"MarkupUpToTheEnd", {"Hi", "old.</span>", "<p>x</p>"}, 1},
        RunRow{"EmptyLinesInTheRun", {"Hi", "<p>x</p>", "", "<br>"}, 1},
        RunRow{"TextBehindTheMarkup", {"Hi", "<p>x</p>", "bye"}, kNone},
        // Once the text's own markup was seen, no later run is told.
        RunRow{"MarkupAgainBehindText", {"<b>Hi</b>", "bye", "<p>x</p>"}, kNone},
        // A page pasted behind the text opens its document; old bytes begin
        // anywhere in a page.
        RunRow{"APastedPage", {"Hi", "<html><body>", "<p>x</p>", "</html>"}, kNone},
        RunRow{"APastedPageWithItsDeclaration", {"Hi", "  <!DOCTYPE html>", "<p>x</p>"}, kNone},
        RunRow{"AnOldPageClosingItsDocument", {"Hi", "<p>x</p>", "</body></html>"}, 1}),
    [](const testing::TestParamInfo<RunRow>& row) { return row.param.name; });

struct NulRow {
  const char* name;
  std::string text;  // the NUL asked about is the first one
  bool amidData;
};

void PrintTo(const NulRow& row, std::ostream* out) {
  *out << row.name;
}

class NulAmidDataTest : public testing::TestWithParam<NulRow> {};

TEST_P(NulAmidDataTest, TellsDataFromAFileEnd) {
  const std::string& text = GetParam().text;
  EXPECT_EQ(NulAmidData(text, text.find('\0'), 0), GetParam().amidData);
}

using std::string_literals::operator""s;

INSTANTIATE_TEST_SUITE_P(
    Rules, NulAmidDataTest,
    testing::Values(
        NulRow{"ZerosToTheSectorEnd", "Hi\r\nBob\0\0\0\0\0\0\0\0"s, false},
        NulRow{"ControlBytesBehindAFewNuls", "Hi\r\nBob\0\x01\x02\xff\x7f"s, true},
        NulRow{"TextBehindAStrayNul", "Hi\r\nBob\0 and the rest"s, false},
        // UTF-16 text whose first character's first byte stands alone behind a line break.
        NulRow{"Utf16TextBehindALineOfOneByte", "Hi\r\no\0l\0d\0 \0t\0"s, true},
        NulRow{"Utf16LineBreakBehindALineOfOneByte", "Hi\r\no\0\r\0\n\0a\0b\0"s, true},
        // The mail's last line without a line break may end right where the text begins.
        NulRow{"Utf16TextBehindALongerLine", "Hi\r\nBob\0l\0d\0 \0t\0"s, false},
        NulRow{"TooFewUtf16Characters", "Hi\r\no\0l\0d\0"s, false},
        NulRow{"ALoneByteBehindALineBreakThenZeros", "Hi\r\no\0\0\0\0\0\0\0\0"s, false}),
    [](const testing::TestParamInfo<NulRow>& row) { return row.param.name; });

struct NulsBeforeClosingRow {
  const char* name;
  std::string text;
  std::string end;  // the text up to where the mail goes on to; empty: the NULs end it
  std::string boundary = "";
};

void PrintTo(const NulsBeforeClosingRow& row, std::ostream* out) {
  *out << row.name;
}

class ClosingBehindNulsTest : public testing::TestWithParam<NulsBeforeClosingRow> {};

TEST_P(ClosingBehindNulsTest, TellsADamagedSpotFromTheTextsEnd) {
  const NulsBeforeClosingRow& row = GetParam();
  const std::size_t nul = row.text.find('\0');
  const ClosingBehindNuls found = ClosingLineBehindLineEndNuls(row.text, nul);
  EXPECT_EQ(found.end, row.end.size());
  EXPECT_EQ(found.boundary, row.boundary);
  if (found.end > 0) {
    EXPECT_EQ(found.lineStart, row.text.find('\n', nul) + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ClosingBehindNulsTest,
    testing::Values(
        NulsBeforeClosingRow{"TwoNulsThenAnEmptyLine", "L2h0bWw+\0\0\r\n\r\n--c--\r\nold"s,
                             "L2h0bWw+\0\0\r\n\r\n--c--\r\n"s, "c"},
        NulsBeforeClosingRow{"OneNulAndLineFeeds", "QUJD\0\n--=_x 1--\n"s, "QUJD\0\n--=_x 1--\n"s,
                             "=_x 1"},
        NulsBeforeClosingRow{"ThreeNulsBlanksBehindTheClosingLine", "QUJD\0\0\0\r\n--c-- \r\n"s,
                             "QUJD\0\0\0\r\n--c-- \r\n"s, "c"},
        NulsBeforeClosingRow{"TheClosingLineEndsTheText", "QUJD\0\0\r\n\r\n--c--"s,
                             "QUJD\0\0\r\n\r\n--c--"s, "c"},
        NulsBeforeClosingRow{"FourNulsAreZeros", "QUJD\0\0\0\0\r\n--c--\r\n"s, ""},
        NulsBeforeClosingRow{"NulsAtALineStart", "QUJD\r\n\0\0\r\n--c--\r\n"s, ""},
        NulsBeforeClosingRow{"TextBehindTheNuls", "QUJD\0\0EF\r\n--c--\r\n"s, ""},
        NulsBeforeClosingRow{"NoLineBreakBehindTheNuls", "QUJD\0\0"s, ""},
        NulsBeforeClosingRow{"ATextLineBeforeTheClosingLine", "QUJD\0\0\r\nold\r\n--c--\r\n"s, ""},
        NulsBeforeClosingRow{"APartLine", "QUJD\0\0\r\n\r\n--c\r\n"s, ""},
        NulsBeforeClosingRow{"DashesAlone", "QUJD\0\0\r\n\r\n--------\r\n"s, ""},
        NulsBeforeClosingRow{"ABoundaryWithAControlByte", "QUJD\0\0\r\n--c\x01--\r\n"s, ""},
        NulsBeforeClosingRow{"FiveEmptyLinesBetween", "QUJD\0\0\r\n\r\n\r\n\r\n\r\n\r\n--c--\r\n"s,
                             ""},
        NulsBeforeClosingRow{"FourEmptyLinesBetween", "QUJD\0\0\r\n\r\n\r\n\r\n\r\n--c--\r\n"s,
                             "QUJD\0\0\r\n\r\n\r\n\r\n\r\n--c--\r\n"s, "c"}),
    [](const testing::TestParamInfo<NulsBeforeClosingRow>& row) { return row.param.name; });
}  // namespace
}  // namespace quillon::mail_reader
