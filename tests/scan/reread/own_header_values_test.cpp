// What a mail's own header block says about its body, however its parameters are written.
#include "scan/reread/own_header_values.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillon::mail_reader {
namespace {

struct HeaderRow {
  const char* name;
  std::string header;  // the header block, up to its empty line
  std::string boundary;
  bool html;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
  *out << row.name;
}

class OwnHeaderValuesTest : public testing::TestWithParam<HeaderRow> {};

TEST_P(OwnHeaderValuesTest, ReadsTheBodysContentType) {
  EXPECT_EQ(MultipartBoundaryOf(GetParam().header), GetParam().boundary);
  EXPECT_EQ(DeclaresHtmlText(GetParam().header), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    ContentType, OwnHeaderValuesTest,
    testing::Values(
        HeaderRow{"Plain", "From: a@x\r\nContent-Type: multipart/mixed; boundary=b\r\n", "b",
                  false},
        // RFC 5322 2.2.3: a fold may stand wherever white space may.
        HeaderRow{"ValueBehindAFold",
                  "Content-Type: multipart/signed; boundary=\r\n \"---=_=_ 6592 _=_=---\"; x=y\r\n",
                  "---=_=_ 6592 _=_=---", false},
        HeaderRow{"BlanksAroundTheEqualsSign",
                  "Content-Type: multipart/alternative; boundary = nextPart\r\n", "nextPart",
                  false},
        HeaderRow{"FoldedParameters",
                  "Content-Type: multipart/report;\r\n\t\treport-type=delivery-status;\r\n"
                  "\t\tBoundary=\"== _ 1(2)3\"\r\nX-Other: boundary=no\r\n",
                  "== _ 1(2)3", false},
        HeaderRow{"LineFeedLines", "Content-Type: multipart/mixed;\n boundary=\"lf\"\n", "lf",
                  false},
        HeaderRow{"NotAMultipart", "Content-Type: text/plain; boundary=b\r\n", "", false},
        HeaderRow{"HtmlText", "Content-type:  TEXT/HTML; charset=x\r\n", "", true},
        // Only the first Content-Type field counts, and only in the header block.
        HeaderRow{"FirstFieldOnly",
                  "Content-Type: text/html\r\nContent-Type: multipart/mixed; boundary=b\r\n", "",
                  true},
        HeaderRow{"NothingBehindTheEmptyLine",
                  "From: a@x\r\n\r\nContent-Type: multipart/mixed; boundary=b\r\n", "", false},
        HeaderRow{"NoContentType", "From: a@x\r\n", "", false}),
    [](const testing::TestParamInfo<HeaderRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
