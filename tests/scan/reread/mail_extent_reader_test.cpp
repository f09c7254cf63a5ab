// Where a mail's text ends when the scan did not see its end.
#include "scan/reread/mail_extent_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/lines/line_reader.h"

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

// Every byte value at every place of a body line of 19 bytes (two words of eight and a tail,
// behind a start that is no word boundary): the line ends the mail exactly when the byte is no
// text byte.
TEST(FindTextEnd, EveryByteValueAtEveryPlaceOfALine) {
  const std::string head = kHead + "body\r\n";
  for (int value = 1; value < 256; ++value) {
    if (value == '\n') continue;  // it ends the line instead
    const auto byte = static_cast<std::uint8_t>(value);
    for (std::size_t place = 0; place < 19; ++place) {
      std::string line(19, 'a');
      line[place] = static_cast<char>(byte);
      const std::size_t expected = IsTextByte(byte) ? std::string::npos : head.size();
      EXPECT_EQ(FindTextEnd(head + line + "\r\nmore\r\n", "", false), expected)
          << "byte " << value << " at " << place;
    }
  }
}

}  // namespace
}  // namespace quillon::mail_reader
