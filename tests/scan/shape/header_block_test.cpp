// Whether a header block the shape scan reads looks like a mail's own: fields that come back.
#include "scan/shape/header_block.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

struct BlockRow {
  const char* name;
  std::string block;  // header lines, the empty line and a line of text
  bool valid;
};

void PrintTo(const BlockRow& row, std::ostream* out) {
  *out << row.name;
}

class RepeatedFieldTest : public testing::TestWithParam<BlockRow> {};

TEST_P(RepeatedFieldTest, JudgesTheBlock) {
  const std::string& bytes = GetParam().block;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  EXPECT_EQ(block.valid, GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(block.headerEnd, bytes.find("\r\n\r\n") + 4);
  }
}

const std::string kTop = CrLf(
    "Received: from x by y; Sun, 21 Oct 2007 19:38:13 +1000\n"
    "Date: Sun, 21 Oct 2007 19:38:13 +1000\n");
const std::string kBottom = CrLf(
    "From: Mikel <mikel@example.org>\n"
    "To: a@example.org\n"
    "Subject: Testing\n"
    "\n"
    "Text.\n");
// A list of recipients written as fields of their own, one after the other.
const std::string kCcLines = CrLf(
    "Cc: \"Index\" <had@example.org>,\n"
    "\t\"First\" <index@example.org>\n"
    "Cc: \"North\" <kitchen@example.org>,\n"
    "\t\"Which\" <the@example.org>\n"
    "Cc: \"Copper\" <have@example.org>\n"
    "Cc: \"Yellow\" <figure@example.org>\n");

INSTANTIATE_TEST_SUITE_P(
    Blocks, RepeatedFieldTest,
    testing::Values(
        BlockRow{"CcListSplitOverFields", kTop + kCcLines + kBottom, true},
        BlockRow{"ToListSplitOverFields",
                 kTop + CrLf("To: b@example.org\nTo: c@example.org\nTo: d@example.org\n") + kBottom,
                 true},
        // Header lines of a thread quoted one after the other: no mail's own block.
        BlockRow{"FieldsThatComeBackAfterOthers",
                 CrLf("From: a@example.org\nTo: b@example.org\nSubject: one\n"
                      "Date: Sun, 21 Oct 2007 19:38:13 +1000\n"
                      "From: b@example.org\nTo: a@example.org\nSubject: two\n"
                      "Date: Sun, 21 Oct 2007 20:38:13 +1000\n"
                      "From: a@example.org\nTo: b@example.org\nSubject: three\n"
                      "Date: Sun, 21 Oct 2007 21:38:13 +1000\n\nText.\n"),
                 false},
        BlockRow{"CcBackAfterOtherFields",
                 CrLf("Date: Sun, 21 Oct 2007 19:38:13 +1000\nCc: a@example.org\n"
                      "From: b@example.org\nCc: c@example.org\nSubject: s\nCc: d@example.org\n"
                      "To: e@example.org\nCc: f@example.org\n\nText.\n"),
                 false}),
    [](const testing::TestParamInfo<BlockRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
