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
