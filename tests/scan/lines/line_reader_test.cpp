// The line rules every reader shares: boundary lines, closing boundaries, mbox separators.
#include "scan/lines/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace quillon {
namespace {

TEST(LineReaderTest, BoundaryLines) {
  struct Row {
    const char* name;
    const char* line;
    BoundaryLine exact;
    BoundaryLine prefix;
  } rows[] = {
      {"Part", "--b1", BoundaryLine::Part, BoundaryLine::Part},
      {"Closing", "--b1--", BoundaryLine::Closing, BoundaryLine::Closing},
      {"OtherCase", "--B1", BoundaryLine::Part, BoundaryLine::Part},
      {"TrailingBlanks", "--b1-- \t", BoundaryLine::Closing, BoundaryLine::Closing},
      {"LongerBoundary", "--b12", BoundaryLine::None, BoundaryLine::Part},
      {"TextBehind", "--b1-- x", BoundaryLine::None, BoundaryLine::Closing},
      {"OneDash", "-b1", BoundaryLine::None, BoundaryLine::None},
      {"OtherBoundary", "--b2", BoundaryLine::None, BoundaryLine::None},
      {"Cut", "--b", BoundaryLine::None, BoundaryLine::None},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(BoundaryLineOf(row.line, "b1", true), row.exact) << row.name;
    EXPECT_EQ(BoundaryLineOf(row.line, "b1", false), row.prefix) << row.name;
  }
}

// Header lines stop at kMaxHeaderLine; the lines of a mail read back run on as long as they are;
// a search for where lines end need not judge their bytes.
TEST(LineReaderTest, LineRules) {
  const std::string longLine = std::string(kMaxHeaderLine + 10, 'x') + "\r\nnext";
  const std::string binaryLine = std::string("a\x01z\r\n");
  struct Row {
    const char* name;
    const std::string* text;
    LineRules rules;
    bool complete;
    bool binary;
    std::size_t end;
  } rows[] = {
      {"HeaderRulesStopAtTheLimit", &longLine, kHeaderLineRules, false, false, kMaxHeaderLine},
      {"BodyRulesReadOn", &longLine, kBodyLineRules, true, false, kMaxHeaderLine + 10},
      {"LineEndRulesReadOn", &longLine, kLineEndRules, true, false, kMaxHeaderLine + 10},
      {"HeaderRulesJudgeBytes", &binaryLine, kHeaderLineRules, true, true, 3},
      {"BodyRulesJudgeBytes", &binaryLine, kBodyLineRules, true, true, 3},
      {"LineEndRulesDoNot", &binaryLine, kLineEndRules, true, false, 3},
  };
  for (const Row& row : rows) {
    const Line line = ReadLine(BufferOf(*row.text), 0, row.rules);
    EXPECT_EQ(line.complete, row.complete) << row.name;
    EXPECT_EQ(line.binary, row.binary) << row.name;
    EXPECT_EQ(line.end, row.end) << row.name;
    EXPECT_EQ(line.next, row.complete ? row.end + 2 : row.end) << row.name;
  }
  // A line that begins at the end of the bytes is empty and incomplete, however long it may be.
  const Line atEnd = ReadLine(BufferOf("ab"), 2, kBodyLineRules);
  EXPECT_FALSE(atEnd.complete);
  EXPECT_EQ(atEnd.end, 2u);
  EXPECT_EQ(atEnd.next, 2u);
}

// A line of CRs alone is the empty line of an export that ended its lines in CR CR LF; a line
// with text keeps the CRs in front of its last one.
TEST(LineReaderTest, LinesOfCarriageReturns) {
  struct Row {
    const char* name;
    std::string_view text;
    std::size_t end;
    std::size_t next;
    bool lineFeedOnly;
  } rows[] = {
      {"CrLf", "\r\nX", 0, 2, false},           {"CrCrLf", "\r\r\nX", 0, 3, false},
      {"ThreeCrs", "\r\r\r\nX", 0, 4, false},   {"LineFeed", "\nX", 0, 1, true},
      {"TextCrCrLf", "ab\r\r\nX", 3, 5, false}, {"CrBetweenText", "a\rb\r\nX", 3, 5, false},
      {"CrInFront", "\rb\r\nX", 2, 4, false},
  };
  for (const Row& row : rows) {
    for (const LineRules& rules : {kHeaderLineRules, kBodyLineRules, kLineEndRules}) {
      const Line line = ReadLine(BufferOf(row.text), 0, rules);
      EXPECT_TRUE(line.complete) << row.name;
      EXPECT_EQ(line.end, row.end) << row.name;
      EXPECT_EQ(line.next, row.next) << row.name;
      EXPECT_EQ(line.lineFeedOnly, row.lineFeedOnly) << row.name;
      EXPECT_FALSE(line.binary) << row.name;
    }
  }
}

TEST(LineReaderTest, FindEmptyLine) {
  constexpr std::size_t npos = std::string_view::npos;
  struct Row {
    const char* name;
    std::string_view text;
    std::size_t from;
    std::size_t lineFeed;
    std::size_t behind;
  } rows[] = {
      {"CrLf", "A: 1\r\n\r\nbody", 0, 5, 8},
      {"LineFeed", "A: 1\n\nbody", 0, 4, 6},
      {"CrCrLf", "A: 1\r\r\n\r\r\nbody", 0, 6, 10},
      {"FirstOfTwo", "A\n\nB\r\n\r\n", 0, 1, 3},
      {"CrLfBeforeLineFeed", "A\r\n\r\nB\n\n", 0, 2, 5},
      {"FromSkipsAnEarlierOne", "A\n\nB\r\n\r\n", 3, 5, 8},
      {"CrsWithTextAreNoEmptyLine", "A\r\n\r x\r\nB", 0, npos, npos},
      {"NoLineFeedInFront", "\r\nA\r\n", 0, npos, npos},
      {"CrsAtTheEnd", "A\r\n\r\r", 0, npos, npos},
      {"None", "A: 1\r\nB: 2\r\n", 0, npos, npos},
  };
  for (const Row& row : rows) {
    const EmptyLineFound found = FindEmptyLine(row.text, row.from);
    EXPECT_EQ(found.lineFeed, row.lineFeed) << row.name;
    EXPECT_EQ(found.behind, row.behind) << row.name;
    EXPECT_EQ(found.Found(), row.lineFeed != npos) << row.name;
  }
  EXPECT_TRUE(FindEmptyLine("A\n\nB").EndsInLineFeedOnly());
  EXPECT_FALSE(FindEmptyLine("A\r\n\r\nB").EndsInLineFeedOnly());
  EXPECT_FALSE(FindEmptyLine("A\r\r\n\r\r\nB").EndsInLineFeedOnly());
}

TEST(LineReaderTest, LineBreakStart) {
  struct Row {
    const char* name;
    std::string_view text;
    std::size_t at;
    std::size_t start;
  } rows[] = {
      {"LineFeed", "ab\ncd", 3, 2},     {"CrLf", "ab\r\ncd", 4, 2},
      {"CrCrLf", "ab\r\r\ncd", 5, 2},   {"EmptyCrLfLine", "ab\r\n\r\ncd", 6, 4},
      {"AtTheStart", "\r\r\ncd", 3, 0},
  };
  for (const Row& row : rows) EXPECT_EQ(LineBreakStart(row.text, row.at), row.start) << row.name;
}

TEST(LineReaderTest, ClosingBoundaryLineStandsBehindALineFeed) {
  const std::string_view text = "a\r\n--b1\r\nx--b1--\r\n--b1--\r\nend";
  const ClosingBoundaryLine closing = FindClosingBoundaryLine(text, "b1");
  ASSERT_TRUE(closing.found);
  EXPECT_EQ(closing.lineFeed, text.find("\n--b1--"));
  EXPECT_EQ(text.substr(closing.behind), "\r\nend");
  EXPECT_FALSE(FindClosingBoundaryLine(text, "b1", closing.lineFeed + 1).found);
}

TEST(LineReaderTest, MboxSeparatorRules) {
  struct Row {
    const char* name;
    const char* line;
    bool withDate;
    bool prefix;
  } rows[] = {
      {"Separator", "From a@example.org Mon Jan  1 00:00:00 2001", true, true},
      {"NoDate", "From here on", false, true},
      {"GitPatch", "From 1234 Mon Sep 17 00:00:00 2001", false, true},
      {"HeaderLine", "From: a@example.org", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsMboxSeparator(row.line), row.withDate) << row.name;
    EXPECT_EQ(IsMboxSeparator(row.line, MboxSeparatorRule::Prefix), row.prefix) << row.name;
  }
}

// By the header rules a field line keeps being text with a stray control byte or two in it, or
// one NUL between its value's bytes; other lines, and the body's rules, judge every byte.
TEST(LineReaderTest, FieldLinesWithStrayBytes) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::string text;
    bool binaryByHeaderRules;
    bool binaryByBodyRules;
  } rows[] = {
      {"BellInAValue", "To: bbb@z\azz.org\r\n"s, false, true},
      {"TwoControls", "Subject: a\x08 b\x1b c\r\n"s, false, true},
      {"ThreeControls", "Subject: a\x08 b\x01 c\x02\r\n"s, true, true},
      {"NulInAValue", "Subject: This is\0 a test\r\n"s, false, true},
      {"TwoNuls", "Subject: a\0b\0c\r\n"s, true, true},
      {"NulAtTheEnd", "Subject: abc\0\r\n"s, true, true},
      {"NoFieldName", "some text\a here\r\n"s, true, true},
      {"FoldedLine", "\tid 27CE\aAD38CC\r\n"s, true, true},
      {"CleanField", "From: a@b.example\r\n"s, false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ReadLine(BufferOf(row.text), 0).binary, row.binaryByHeaderRules) << row.name;
    EXPECT_EQ(ReadLine(BufferOf(row.text), 0, kBodyLineRules).binary, row.binaryByBodyRules)
        << row.name;
    // Looked at backwards from its end, behind the line above, it reads the same.
    const std::string behindALine = "X: y\r\n" + row.text;
    EXPECT_EQ(IsFieldLineWithStrayBytes(BufferOf(behindALine), behindALine.find('\r', 6)),
              !row.binaryByHeaderRules)
        << row.name;
  }
  // Without a line break in front, the line's start is not known.
  EXPECT_FALSE(IsFieldLineWithStrayBytes(BufferOf("To: a\ab\r\n"), 7));
}

// Looking back from a line's end: a field line's stray byte is passed over up to the line feed,
// except where a sector start lies right behind it (a file may begin there).
TEST(LineReaderTest, LineStopOverStrayBytes) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::size_t strayAt;  // where the byte that is no text lies
    std::string line;     // from the line feed in front to the line's end
    bool passedOver;
  } rows[] = {
      {"BellInAField", 300, "\nCc: east\a From: a@b.example"s, true},
      {"NulInAField", 300, "\nCc: east\0 From: a@b.example"s, true},
      {"NulBeforeASectorStart", 511, "\nCc: east\0 From: a@b.example"s, false},
      {"BellBeforeASectorStart", 511, "\nCc: east\a From: a@b.example"s, false},
      {"NoFieldName", 300, "\nsome text\0 From: a@b.example"s, false},
  };
  for (const Row& row : rows) {
    const std::size_t lineFeed = row.strayAt - row.line.find_first_of("\a"s + '\0');
    std::string bytes(lineFeed, 'x');
    bytes += row.line;
    const CarveBuffer buffer = BufferOf(bytes);
    EXPECT_EQ(LineStopOverStrayBytes(buffer, 0, bytes.size()),
              row.passedOver ? lineFeed : row.strayAt)
        << row.name;
  }
}

// A NUL is where text stops unless the line it stands in shows text on both sides of it.
TEST(LineReaderTest, StrayNuls) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::string text;
    bool stray;  // of the first NUL in `text`
  } rows[] = {
      {"InAFieldValue", "Subject: This is\0 a test\r\nDate: x\r\n"s, true},
      {"ThreeInARow", "Subject: ab\0\0\0cd\r\n"s, true},
      {"FourInARowAreSlack", "Subject: ab\0\0\0\0cd\r\n"s, false},
      {"BareLineFeedLine", "some body text\0 goes on\n"s, true},
      {"AtALineStart", "line one\r\n\0line two\r\n"s, false},
      {"AtTheTextStart", "\0line one\r\n"s, false},
      {"BehindTheCarriageReturn", "line one\r\0\nline two\r\n"s, false},
      {"NothingBehind", "the last line\0\0\0"s, false},
      {"NoLineBreakBehind", "the last line\0 runs on"s, false},
      {"OnlyBlanksBehind", "a line\0   \r\nnext\r\n"s, false},
      {"TwoOtherControls", "a\x01 line\0 with\x02 bytes\r\n"s, true},
      {"ThreeOtherControlsAreData", "a\x01 line\0 with\x02 more\x03 bytes\r\n"s, false},
      {"EightBitTextBehind", "Subject: caf\0\xc3\xa9\r\n"s, true},
      {"SecondOfTwoStrayOnes", "a\0b\0c\r\n"s, true},
  };
  for (const Row& row : rows) {
    const std::size_t nul = row.text.find('\0');
    ASSERT_NE(nul, std::string::npos) << row.name;
    EXPECT_EQ(IsStrayNul(row.text, nul), row.stray) << row.name;
    // Every NUL of a run is judged alike.
    const std::size_t runEnd = row.text.find_first_not_of('\0', nul);
    for (std::size_t at = nul + 1; at < std::min(runEnd, row.text.size()); ++at)
      EXPECT_EQ(IsStrayNul(row.text, at), row.stray) << row.name << " at " << at;
  }
  EXPECT_FALSE(IsStrayNul("abc\r\n", 1)) << "no NUL there";
  EXPECT_FALSE(IsStrayNul("abc", 7)) << "past the end";
}

// The closing line that ends a multipart whose nested multipart reused its boundary: the one
// behind which the same boundary goes on is passed over.
TEST(LineReaderTest, OutermostClosingLine) {
  struct Row {
    const char* name;
    std::string_view text;
    int closing;  // which "\n--b--" is the one (1 or 2); 0: none
  } rows[] = {
      {"NestedPartsGoOn", "--b\r\n--b\r\n\r\nx\r\n--b--\r\n\r\n--b\r\n\r\ny\r\n--b--\r\nold", 2},
      {"RightBehindTheClosingLine", "x\r\n--b--\r\n--b\r\n\r\ny\r\n--b--\r\n", 2},
      {"ClosingLineAgain", "x\r\n--b--\r\n--b--\r\n", 2},
      {"ClosingLineAgainWithoutItsLineBreak", "x\r\n--b--\r\n\r\n--b--", 2},
      {"LineFeedsOnly", "x\n--b--\n\n\n--b\n\ny\n--b--\n", 2},
      {"FourEmptyLinesBetween", "x\r\n--b--\r\n\r\n\r\n\r\n\r\n--b\r\n\r\ny\r\n--b--\r\n", 2},
      {"FiveEmptyLinesBetween", "x\r\n--b--\r\n\r\n\r\n\r\n\r\n\r\n--b\r\n\r\ny\r\n--b--\r\n", 1},
      {"AnEpilogueLineBetween", "x\r\n--b--\r\nnote\r\n--b\r\n\r\ny\r\n--b--\r\n", 1},
      {"ALongerBoundaryBehind", "x\r\n--b--\r\n\r\n--bc\r\n\r\ny\r\n--b--\r\n", 1},
      {"NoLaterClosingLine", "x\r\n--b--\r\n\r\n--b\r\n\r\nold bytes", 1},
      {"NothingBehind", "x\r\n--b--\r\n", 1},
      {"NoClosingLine", "x\r\n--b\r\n\r\ny\r\n", 0},
  };
  for (const Row& row : rows) {
    std::size_t expected = std::string_view::npos;
    for (int n = 0; n < row.closing; ++n)
      expected = row.text.find("\n--b--", expected == std::string_view::npos ? 0 : expected + 1);
    const ClosingBoundaryLine closing = FindOutermostClosingLine(row.text, "b");
    EXPECT_EQ(closing.found, row.closing > 0) << row.name;
    if (!closing.found || row.closing == 0) continue;
    EXPECT_EQ(closing.lineFeed, expected) << row.name;
    EXPECT_EQ(closing.behind, expected + 6) << row.name;
  }
}

// Whether the text in front of a place ends with a closing line that only a nested multipart's
// end was: the boundary goes on behind it.
TEST(LineReaderTest, ClosesANestedMultipart) {
  struct Row {
    const char* name;
    std::string_view text;
    std::string_view before;  // the text in front of the place asked about
    bool nested;
  } rows[] = {
      {"PartLineBehind", "x\r\n--b--\r\n\r\n--b\r\n", "x\r\n--b--\r\n", true},
      {"LineFeedsOnly", "x\n--b--\n--b\n", "x\n--b--\n", true},
      {"AtTheTextsStart", "--b--\r\n--b--\r\n", "--b--\r\n", true},
      {"NothingBehind", "x\r\n--b--\r\n", "x\r\n--b--\r\n", false},
      {"OldTextBehind", "x\r\n--b--\r\nold\r\n--b\r\n", "x\r\n--b--\r\n", false},
      {"APartLineInFront", "x\r\n--b\r\n--b\r\n", "x\r\n--b\r\n", false},
      {"AnotherBoundaryClosedInFront", "x\r\n--c--\r\n--b\r\n", "x\r\n--c--\r\n", false},
      {"NotBehindALineBreak", "x\r\n--b--\r\n--b\r\n", "x\r\n--b--", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ClosesANestedMultipart(row.text, row.before.size(), "b"), row.nested) << row.name;
}
// Where a header line's text stops for good: the last line of a block that runs into the zeros
// or old bytes behind its file's end, where no line break follows it.
TEST(LineReaderTest, TextStopInHeaderLine) {
  using namespace std::string_literals;
  constexpr std::size_t kNone = std::string_view::npos;
  struct Row {
    const char* name;
    std::string line;
    std::size_t stop;
  } rows[] = {
      {"IntoZeros", "Content-Transfer-Encoding: 7bit\0\0\0\0\0\0"s, 31},
      {"CutInItsValueIntoZeros", "Content-Type: text/pl\0\0\0\0"s, 21},
      {"FoldIntoZeros", "\tcharset=utf-8\0\0\0\0"s, 14},
      {"EightBitValueIntoZeros",
       "Subject: Gr\xc3\xbc\xc3\x9f"
       "e\0\0\0\0"s,
       16},
      {"IntoOldBytesWithAZeroLater", "Subject: short\0\0\0\0\x93\x01\x02\r\n"s, 14},
      // A stray NUL goes on as text; text up to the line break is the line.
      {"StrayNulInALine", "Subject: ab\0cd\r\n"s, kNone},
      {"ZerosFirst", "\0\0\0\0Subject: x"s, kNone},
      {"IntoRandomBytes", "Content-Transfer-Encoding: base64\x01\x9c\x02\x7f\x10\r\n"s, 33},
      {"IntoRandomBytesBehind8BitBytes", "X-Mailer: Outlook\xce\xc6My\x80\x07\x1e\x0e\r\n"s, 17},
      // Random bytes seldom begin with eight printable characters; fewer are no line.
      {"SevenCharactersIntoData", "X-A: bc\x01\x02\x03\x04"s, kNone},
      {"EightCharactersIntoData", "X-A: bcd\x01\x02\x03\x04"s, 8},
      // A line of text too long to end within the look, or a whole line: nothing stops.
      {"TextWithoutAnEnd", std::string(9000, 'a'), kNone},
      {"WholeLine", "To: a@b\r\n"s, kNone},
  };
  for (const Row& row : rows) EXPECT_EQ(TextStopInHeaderLine(row.line), row.stop) << row.name;
}

// The same stop in a header block with no empty line, read line by line (a mail read back), and
// the rules of a cut: a field line or fold, into zeros to a sector's end or into old bytes no
// header line follows. A line garbled amid the block, or a field line with a stray byte or two,
// reads on.
TEST(LineReaderTest, HeaderBlockTextStop) {
  using namespace std::string_literals;
  const std::string zerosToSectorEnd(512 - 27, '\0');
  struct Row {
    const char* name;
    std::string text;
    std::size_t stop;
  } rows[] = {
      {"LastLineIntoRandomBytes", "From: a@b\r\nDate: 1 Jan 2001\x93\x01\x02\x03\xff"s, 27},
      {"LastLineIntoZerosToTheSectorEnd", "From: a@b\r\nDate: 1 Jan 2001"s + zerosToSectorEnd, 27},
      {"AllText", "From: a@b\r\nDate: 1 Jan 2001"s, 27},
      {"StrayByteInAField", "From: a\x01@b\r\nDate: 1 Jan 2001\x93\x01\x02\x03"s, 28},
      {"GarbledFieldLineAmidTheBlock", "From: a@b\x01\x02\x03\r\nDate: x\r\n"s, 23},
      {"ZerosInALineAmidTheBlock", "From: a@b\0\0\0\0c\r\nDate: x\r\n"s, 25},
      {"BinaryLineIsNoHeaderLine", "From: a@b\r\n\x01\x02\x03\x04\r\nDate: x\r\n"s, 26},
  };
  for (const Row& row : rows) EXPECT_EQ(HeaderBlockTextStop(row.text), row.stop) << row.name;
}

}  // namespace
}  // namespace quillon
