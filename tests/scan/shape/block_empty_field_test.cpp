// A header block whose first From (or Date) is empty, as a draft leaves it, and the real field
// later in the same block; and the blocks where the later one is not the mail's own.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

struct EmptyFieldRow {
  const char* name;
  std::string block;  // header lines, the empty line and a line of text
  bool valid;
  const char* from;  // the From value kept where the block is valid
};

void PrintTo(const EmptyFieldRow& row, std::ostream* out) {
  *out << row.name;
}

class EmptyFieldTest : public testing::TestWithParam<EmptyFieldRow> {};

TEST_P(EmptyFieldTest, LaterFieldStandsForTheEmptyOne) {
  const std::string& bytes = GetParam().block;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  EXPECT_EQ(block.valid, GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(block.headerEnd, bytes.find("\r\n\r\n") + 4);
    EXPECT_EQ(block.headers.from, GetParam().from);
  }
}

const std::string kTop = CrLf(
    "Message-ID: <1@example.org>\n"
    "MIME-Version: 1.0\n");
const std::string kDate = CrLf("Date: Sun, 21 Oct 2007 19:38:13 +1000\n");
const std::string kRest = CrLf(
    "To: b@example.org\n"
    "Subject: Testing\n"
    "\n"
    "Text.\n");

INSTANTIATE_TEST_SUITE_P(
    Blocks, EmptyFieldTest,
    testing::Values(
        EmptyFieldRow{
            "EmptyFromThenRealOne",
            kTop + CrLf("From: \n") + kDate + CrLf("From: Mikel <mikel@example.org>\n") + kRest,
            true, "Mikel <mikel@example.org>"},
        EmptyFieldRow{"EmptyFromWithoutBlank",
                      CrLf("From:\n") + kTop + CrLf("From: mikel@example.org\n") + kDate + kRest,
                      true, "mikel@example.org"},
        EmptyFieldRow{"EmptyDateThenRealOne",
                      kTop + CrLf("Date: \nFrom: mikel@example.org\n") + kDate + kRest, true,
                      "mikel@example.org"},
        EmptyFieldRow{"RealFromFirstKeepsIt",
                      kTop + CrLf("From: first@example.org\n") + kDate +
                          CrLf("From: second@example.org\n") + kRest,
                      true, "first@example.org"},
        // Nothing fills the empty field: no sender, no mail.
        EmptyFieldRow{"EmptyFromAlone", kTop + CrLf("From: \n") + kDate + kRest, false, ""},
        // A later From without an address is no sender a draft forgot: a note's "From: me".
        EmptyFieldRow{"LaterFromWithoutAddress",
                      kTop + CrLf("From: \n") + kDate + CrLf("From: the office\n") + kRest, false,
                      ""},
        // A line of prose passed over between the two: the later From is text quoting a header.
        EmptyFieldRow{"ProseBetween",
                      kTop + CrLf("From: \n") + kDate +
                          CrLf("and then he wrote\n"
                               "From: mikel@example.org\n") +
                          kRest,
                      false, ""},
        // Two empty ones and a real one: the real one still counts.
        EmptyFieldRow{
            "TwoEmptyThenRealOne",
            kTop + CrLf("From: \nFrom:   \n") + kDate + CrLf("From: m@example.org\n") + kRest, true,
            "m@example.org"}));

// A block of From, Date and Subject alone, as older mail programs wrote it: only a real date
// makes it a mail's own, a two-digit year as well as a four-digit one.
class FewFieldsTest : public testing::TestWithParam<EmptyFieldRow> {};

TEST_P(FewFieldsTest, RealDateTipsTheBalance) {
  const std::string& bytes = GetParam().block;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  EXPECT_EQ(ParseBlock(buffer, 0).valid, GetParam().valid);
}

const std::string kFewFrom = CrLf("From: nsb@thumper.example.com (Nathaniel)\n");
const std::string kFewTail = CrLf("Subject: Re: multipart mail\n\nText.\n");

INSTANTIATE_TEST_SUITE_P(
    Blocks, FewFieldsTest,
    testing::Values(
        EmptyFieldRow{"FourDigitYear",
                      kFewFrom + CrLf("Date: Tue, 8 Oct 1991 10:25:36 EDT\n") + kFewTail, true, ""},
        EmptyFieldRow{"TwoDigitYear",
                      kFewFrom + CrLf("Date: Tue, 8 Oct 91 10:25:36 EDT\n") + kFewTail, true, ""},
        EmptyFieldRow{"NoRealDate", kFewFrom + CrLf("Date: last Tuesday\n") + kFewTail, false, ""},
        // Header lines all through the text: a note that lists them, not a mail.
        EmptyFieldRow{"HeaderLinesBelow",
                      kFewFrom + CrLf("Date: Tue, 8 Oct 91 10:25:36 EDT\n") + kFewTail +
                          CrLf("From: other@example.com\n"),
                      false, ""}));

}  // namespace
}  // namespace quillon
