// Where a mail's text ends when the scan did not see its end.
#include "scan/reread/mail_extent_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon::mail_reader {
namespace {

struct EndRow {
  const char* name;
  std::string text;
  std::string boundary;
  bool endAtTraceLines;
  std::size_t end;  // npos: nothing in the text ends the mail
};

class FindTextEndTest : public testing::TestWithParam<EndRow> {};

TEST_P(FindTextEndTest, EndsWhereTheRulesSay) {
  EXPECT_EQ(FindTextEnd(GetParam().text, GetParam().boundary, GetParam().endAtTraceLines),
            GetParam().end);
}

const std::string kHead = "From: a@x\r\nDate: d\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, FindTextEndTest,
    testing::Values(
        EndRow{"Nul", kHead + "body\r\n" + std::string(1, '\0') + "x", "", false, kHead.size() + 6},
        EndRow{"BinaryLine", kHead + "body\r\n\x01\x02garbage", "", false, kHead.size() + 6},
        // ISO-2022 text uses ESC, SO and SI; they are text.
        EndRow{"EscapeIsText", kHead + "\x1b$B\x0e\x0f\r\n", "", false, std::string::npos},
        EndRow{"MailboxSeparatorWithItsBlankLine",
               kHead + "body\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nFrom: b@y\r\n", "", true,
               kHead.size() + 6},
        // With the next mail's start known, a separator inside the body is quoted text.
        EndRow{"MailboxSeparatorQuotedInTheBody",
               kHead + "body\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nmore\r\n", "", false,
               std::string::npos},
        EndRow{"ClosingBoundary", kHead + "--b\r\n\r\npart\r\n--b--\r\n\r\nslack text", "b", false,
               kHead.size() + 20},
        // A multipart cut short ends by the line rules.
        EndRow{"MultipartWithoutClosingBoundary",
               kHead + "--b\r\n\r\npart\r\n" + std::string(1, '\0'), "b", false, kHead.size() + 13},
        EndRow{"TraceLineOnlyWhenAsked", kHead + "body\r\n\r\nReceived: from z\r\n", "", true,
               kHead.size() + 6},
        EndRow{"TraceLineIgnoredWhenTheNextStartIsKnown", kHead + "body\r\nReceived: quoted\r\n",
               "", false, std::string::npos},
        EndRow{"HeaderLinesNeverEndIt", "Received: a\r\nFrom: a@x\r\nDate: d\r\n\r\nbody\r\n", "",
               true, std::string::npos}),
    [](const testing::TestParamInfo<EndRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
