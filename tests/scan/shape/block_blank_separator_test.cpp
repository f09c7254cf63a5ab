// A header block whose empty line holds a blank or a tab, as some mail programs write it, and the
// folds of blanks alone that stay folds.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

// No trace line, no identity, no MIME: only a block that ends in its empty line is a mail.
const std::string kFields = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "To: dan@example.net\n"
    "Subject: Plans\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n");

struct SeparatorRow {
  const char* name;
  std::string bytes;
  std::string bodyStart;  // the text the header block ends in front of; empty: not a mail
};

void PrintTo(const SeparatorRow& row, std::ostream* out) {
  *out << row.name;
}

class BlankSeparatorTest : public testing::TestWithParam<SeparatorRow> {};

TEST_P(BlankSeparatorTest, BodyBeginsBehindTheBlankLine) {
  const SeparatorRow& row = GetParam();
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(row.bytes.data()),
                           row.bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  EXPECT_EQ(block.valid, !row.bodyStart.empty());
  if (!row.bodyStart.empty()) {
    EXPECT_EQ(block.headerEnd, row.bytes.rfind(row.bodyStart));
    EXPECT_FALSE(block.endsWithoutEmptyLine);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlankSeparatorTest,
    testing::Values(
        SeparatorRow{"BlankThenProse", kFields + CrLf(" \nHello Dan,\nsee you.\n"), "Hello Dan"},
        SeparatorRow{"TabThenMarkup", kFields + CrLf("\t\n<html><body>hi</body></html>\n"),
                     "<html>"},
        SeparatorRow{"BlanksThenBoundary",
                     CrLf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n") +
                         kFields + CrLf("  \n--b\nContent-Type: text/plain\n\nhi\n--b--\n"),
                     "--b\r\nContent-Type: text/plain"},
        // A fold of blanks between fields stays a fold: the block ends at its empty line.
        SeparatorRow{"BlankFoldBetweenFields",
                     CrLf("From: Carol Example <carol@example.org>\n \nTo: dan@example.net\n"
                          "Subject: Plans\nDate: Tue, 3 Nov 2020 08:00:00 +0100\n\nHello.\n"),
                     "Hello."},
        SeparatorRow{"BlankThenEmptyLine", kFields + CrLf(" \n\nHello Dan,\n"), "Hello Dan"},
        SeparatorRow{"BlankThenACarriedMailsHeader",
                     CrLf("MIME-Version: 1.0\nContent-Type: message/rfc822\n") + kFields +
                         CrLf(" \nFrom: inner@example.org\nDate: Sun, 12 Aug 2012 12:34:56 +0300\n"
                              "Subject: inner\n\nInner text.\n"),
                     "From: inner@"},
        // A field the block does not hold yet behind a fold of blanks goes on with the block.
        SeparatorRow{"BlankFoldThenANewField",
                     kFields + CrLf(" \nMessage-ID: <1@example.org>\n\nHello.\n"), "Hello."},
        // A fold with text in it, then prose: header lines that run into text, no mail.
        SeparatorRow{"TextFoldThenProse", kFields + CrLf(" more of the date\nHello Dan,\n"), ""}),
    [](const testing::TestParamInfo<SeparatorRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
