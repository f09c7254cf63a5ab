// The lines above a found mail are read upwards a word at a time where no byte below a blank is
// in it: where a line begins and whether it is a header line must come out as a byte at a time,
// wherever a line feed, a tab, a carriage return or another control byte lies against the words.
#include "scan/merge/lines_above_copies.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_helpers.h"

namespace quillon {
namespace {

std::size_t LineStartByteByByte(std::string_view text, std::size_t end) {
  const auto isBreak = [](char c) {
    return c == '\n' || (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r');
  };
  while (end > 0 && !isBreak(text[end - 1])) --end;
  return end;
}

struct LinesRow {
  const char* name;
  std::string text;
  std::size_t lineStart;  // of the line that ends in front of the text's last byte
  bool lastLineIsHeader;  // the text's last line (behind lineStart) is a header line
};

class LinesAboveCopiesTest : public ::testing::TestWithParam<LinesRow> {};

TEST_P(LinesAboveCopiesTest, ReadsTheLastLineAsByteByByte) {
  const LinesRow& row = GetParam();
  const std::size_t end = row.text.size() - 1;
  EXPECT_EQ(LineStartBehindBreak(row.text, end), row.lineStart);
  EXPECT_EQ(LineStartBehindBreak(row.text, end), LineStartByteByByte(row.text, end));
  EXPECT_EQ(IsHeaderLine(std::string_view(row.text).substr(row.lineStart)), row.lastLineIsHeader);
  // From every end, not only the last line's.
  for (std::size_t each = 0; each <= row.text.size(); ++each)
    EXPECT_EQ(LineStartBehindBreak(row.text, each), LineStartByteByByte(row.text, each)) << each;
}

const std::string kField = "X-Mailer: something long enough for words\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, LinesAboveCopiesTest,
    ::testing::Values(
        LinesRow{"OneLine", kField, 0, true},
        LinesRow{"TwoLines", "From: a@x\r\n" + kField, 11, true},
        LinesRow{"FoldWithTab", kField + "\tfolded on\r\n", kField.size(), true},
        LinesRow{"TabsInsideTheLine", "Subject:\ta\tb\tc\td\te\tf\tg\r\n", 0, true},
        LinesRow{"BareLineFeeds", "a: 1\nSubject: on and on and on\n", 5, true},
        LinesRow{"ZerosInFront", std::string(9, '\0') + kField, 9, true},
        LinesRow{"ControlByteInTheWord", "abc\x01" + kField, 4, true},
        LinesRow{"ControlByteInsideTheLine", "Subject: one \x02 two three four\r\n", 14, true},
        LinesRow{"NoBreakAtAll", "Subject: no line feed in front of it\r\n", 0, true},
        LinesRow{"NotAField", "From: a@x\r\nthis is body text, no field\r\n", 11, false},
        LinesRow{"DeleteAndHighBytes", "Subject: caf\xC3\xA9 \x7F more words\r\n", 0, true}),
    test::RowName());

struct HeaderLineRow {
  const char* name;
  std::string line;
  bool header;
};

class IsHeaderLineTest : public ::testing::TestWithParam<HeaderLineRow> {};

TEST_P(IsHeaderLineTest, TellsFieldsAndFolds) {
  EXPECT_EQ(IsHeaderLine(GetParam().line), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IsHeaderLineTest,
    ::testing::Values(
        HeaderLineRow{"Field", "Received: from a by b\r\n", true},
        HeaderLineRow{"Fold", "\tby mail.example.org\r\n", true},
        HeaderLineRow{"LineFeedOnly", "To: b@y\n", true},
        HeaderLineRow{"ControlByteInFirstWord", "To:\x01b@y and more words\r\n", false},
        HeaderLineRow{"ControlByteInLastWord", "Subject: words words \x1f\r\n", false},
        HeaderLineRow{"ControlByteInTail", "Subject: words\x02\r\n", false},
        HeaderLineRow{"ZeroInTheMiddle", std::string("Subject: a\0 long value\r\n", 24), false},
        HeaderLineRow{"EscapeInAFold", " \x1b$B text\r\n", false},
        HeaderLineRow{"EmptyLine", "\r\n", false},
        HeaderLineRow{"NoColon", "plain body text here\r\n", false},
        HeaderLineRow{"NameWithBlank", "Not a: field\r\n", false}),
    test::RowName());

struct LineFeedRow {
  const char* name;
  std::string text;
  std::size_t at;
};

class LastLineFeedTest : public ::testing::TestWithParam<LineFeedRow> {};

TEST_P(LastLineFeedTest, FindsAsRfindDoes) {
  const LineFeedRow& row = GetParam();
  EXPECT_EQ(LastLineFeedAtOrBefore(row.text, row.at),
            std::string_view(row.text).rfind('\n', row.at));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LastLineFeedTest,
    ::testing::Values(LineFeedRow{"Empty", "", 0}, LineFeedRow{"OnlyALineFeed", "\n", 0},
                      LineFeedRow{"AtTheIndex", "ab\ncd", 2},
                      LineFeedRow{"BehindTheIndex", "ab\ncd", 1},
                      LineFeedRow{"IndexPastTheEnd", "ab\ncd\n", 100},
                      LineFeedRow{"IndexWrappedBelowZero", "\n", std::string_view::npos - 1},
                      LineFeedRow{"NoneAtAll", "abcdef", 4}),
    test::RowName());

}  // namespace
}  // namespace quillon
