// The line rules every reader shares: boundary lines, closing boundaries, mbox separators.
#include "scan/lines/line_reader.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon
