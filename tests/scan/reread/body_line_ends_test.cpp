// Which line end a body that ends its lines otherwise than its header block is read with.
#include "scan/reread/body_line_ends.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "scan/reread/mail_extent_reader.h"

namespace quillon::mail_reader {
namespace {

struct LineEndRow {
  const char* name;
  std::string header;  // the header block with its empty line
  std::string body;
  std::string boundary;
  bool takesOwnLineEnds;
};

void PrintTo(const LineEndRow& row, std::ostream* out) {
  *out << row.name;
}

const std::string kLfPlain = "From: a@x\nContent-Type: text/plain\n\n";
const std::string kLfNoType = "From: a@x\nDate: d\n\n";
const std::string kLfHtml = "From: a@x\nContent-Type: text/html\n\n";
const std::string kLfMixed = "From: a@x\nContent-Type: multipart/mixed; boundary=\"b1\"\n\n";
const std::string kLfLostBoundary = "From: a@x\nContent-Type: multipart/report;\n\tbo\n\n";
const std::string kLfBase64 = "From: a@x\nContent-Transfer-Encoding: base64\n\n";
const std::string kLfQuoted =
    "From: a@x\nContent-Type: application/x-y\nContent-Transfer-Encoding: quoted-printable\n\n";
const std::string kLfMessage = "From: a@x\nContent-Type: message/rfc822\n\n";
const std::string kLfImage = "From: a@x\nContent-Type: image/gif\n\n";
const std::string kCrLfPlain = "From: a@x\r\nContent-Type: text/plain\r\n\r\n";
// Random bytes as a disk holds them behind a mail: control bytes, 8-bit bytes, a shift code and
// line feeds, no CR LF.
const std::string kBinary =
    "\x9f\xf6~C\x7f\x93"
    "7\x0c"
    "bz%z\n\xe2]HY\xe3\x97\x1b\xe2\xc6G\xca\n\x99\xf9L\xc2"
    "4_\x81\xe3v\x01\n";

class BodyLineEndsTest : public testing::TestWithParam<LineEndRow> {};

TEST_P(BodyLineEndsTest, TakesTheBodysLineEndOnlyWhereTheBodyShowsIt) {
  const LineEndRow& row = GetParam();
  const bool headerLineFeedOnly = row.header.find('\r') == std::string::npos;
  EXPECT_EQ(BodyTakesOwnLineEnds(row.header, row.body, row.boundary, headerLineFeedOnly),
            row.takesOwnLineEnds);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, BodyLineEndsTest,
    testing::Values(
        LineEndRow{"PlainText", kLfPlain, "Hi,\r\n\r\nSee you.\r\n", "", true},
        LineEndRow{"NoTypeIsPlainText", kLfNoType, "Hi,\r\nSee you.\r\n", "", true},
        LineEndRow{"EmptyLinesBeforeTheText", kLfPlain, "\r\n\r\nHi,\r\nbye\r\n", "", true},
        LineEndRow{"CrLfHeaderLfBody", kCrLfPlain, "Hi,\nSee you.\n", "", true},
        LineEndRow{"SameLineEndsAsTheHeader", kLfPlain, "Hi,\nSee you.\n", "", false},
        LineEndRow{"OnlyEmptyLines", kLfPlain, "\r\n\r\n", "", false},
        LineEndRow{"OneLineIsNoEvidence", kLfPlain, "Hi,\r\nmore\n", "", false},
        LineEndRow{"TheTailOfAnOldLine", kLfPlain, "the river bank.\r\nNext one\r\n", "", false},
        LineEndRow{"MarkupBehindPlainText", kLfPlain, "<div class=x>\r\n<p>a</p>\r\n", "", false},
        LineEndRow{"MarkupOfAnHtmlText", kLfHtml, "<html><body>\r\n<p>a</p>\r\n", "", true},
        // A document that opens on the body's first line is sent as text, not cut out of one.
        LineEndRow{"AnXmlRecordSentAsPlainText", kCrLfPlain,
                   "<?xml version=\"1.0\"?>\n<?ADF version=\"1.0\"?><adf>\n  <prospect>\n", "",
                   true},
        LineEndRow{"APageSentAsPlainText", kLfPlain, "<!DOCTYPE html>\r\n<html>\r\n", "", true},
        LineEndRow{"MarkupInsideADocumentBehindPlainText", kCrLfPlain,
                   "  <prospect>\n<?xml version=\"1.0\"?>\n", "", false},
        LineEndRow{"ACrInsideALine", kLfHtml, "\x83^>\r1\nmore\r\n", "", false},
        LineEndRow{"ControlBytes", kLfPlain, "ab\x01\x02\x03\r\ncd\r\n", "", false},
        LineEndRow{"OpeningBoundary", kLfMixed, "Preamble\r\n--b1\r\nContent-Type: t\r\n", "b1",
                   true},
        LineEndRow{"BoundaryNamedInTheHeaderOnly", kLfMixed, "--b1\r\nContent-Type: t\r\n", "",
                   true},
        LineEndRow{"PreambleWithoutItsBoundarySoon", kLfMixed, "This is MIME.\r\nPart\r\n", "b1",
                   true},
        LineEndRow{"OldTailWhereAPartShouldBegin", kLfMixed, "and so on.\r\nnot a part\r\n", "b1",
                   false},
        LineEndRow{"LostBoundaryPreamble", kLfLostBoundary, "This is MIME.\r\n\r\n--JAB\r\n", "",
                   true},
        LineEndRow{"Base64Data", kLfBase64, "SGVsbG8gd29ybGQsIGhvdyBhcmU=\r\n", "", true},
        LineEndRow{"TextWhereBase64IsDeclared", kLfBase64, "Hello there\r\nfriend\r\n", "", false},
        LineEndRow{"QuotedPrintableData", kLfQuoted, "caf=C3=A9 au lait=\r\n", "", true},
        LineEndRow{"QuotedPrintableOfNoTextType", kLfQuoted, "plain words\r\nmore\r\n", "", false},
        LineEndRow{"MailCarriedWhole", kLfMessage, "Return-path: <a@x>\r\nFrom: b@y\r\n", "", true},
        LineEndRow{"TextWhereAMailIsDeclared", kLfMessage, "Hello there\r\nfriend\r\n", "", false},
        LineEndRow{"NoTextType", kLfImage, "Hello there\r\nfriend\r\n", "", false},
        // Random bytes behind a body cut short hold line feeds: lines of words in front of them
        // still speak for the body, other lines do not.
        LineEndRow{"WordsThenBinaryData", kCrLfPlain, "Hi there,\nsee you soon.\n" + kBinary, "",
                   true},
        LineEndRow{"WordsEmptyLineWordsThenShiftCodes", kCrLfPlain,
                   "Hi there,\n\nsee you soon.\nR\xe9union \xe0 midi\n\x1b\xe5\xa9\n", "", true},
        LineEndRow{"WordsThenAStrayControlByte", kLfPlain,
                   "Hi there,\r\nsee you soon.\r\nab\x01"
                   "cd\r\n",
                   "", true},
        LineEndRow{"BinaryDataRightBehindTheHeader", kCrLfPlain, kBinary, "", false},
        LineEndRow{"OneLineOfWordsThenBinaryData", kCrLfPlain, "Hi there, friend\n" + kBinary, "",
                   false},
        LineEndRow{"EightBitLinesThenBinaryData", kCrLfPlain,
                   "\xe5\xa9 \xf3\xc4\n\xb1\x9f \xe2\xe4\n" + kBinary, "", false},
        LineEndRow{"LinesWithoutABlankThenBinaryData", kCrLfPlain, "Hi,\nbye\n" + kBinary, "",
                   false},
        LineEndRow{"Base64ThenBinaryData", kLfBase64, "SGVsbG8gd29ybGQsIGhvdyBhcmU=\r\n" + kBinary,
                   "", true}),
    [](const testing::TestParamInfo<LineEndRow>& row) { return row.param.name; });

// The whole rule in FindTextEnd: the body's lines end otherwise than its header block and are
// kept; old lines behind it, ending as the header block does, end the mail.
TEST(FindTextEnd, KeepsABodyWithLineEndsOfItsOwnUpToOldLines) {
  const std::string body = "Hi,\r\n\r\nDo you like this message?\r\n\r\n-Me\r\n";
  const std::string text = kLfPlain + body + "old line one\nold line two\n";
  EXPECT_EQ(FindTextEnd(text, "", false, TextTail::MailEnd), kLfPlain.size() + body.size());
  // Old lines of another line end right behind a header block, with no body of the mail's
  // own, still end it there.
  const std::string old = kLfPlain + "the old page\r\ngoes on\r\n";
  EXPECT_EQ(FindTextEnd(old, "", false, TextTail::MailEnd), kLfPlain.size());
}

// A CR LF header block over bare LF body lines, cut short by random bytes: the body's lines are
// the mail's, its end where the bytes no text holds begin.
TEST(FindTextEnd, KeepsALineFeedBodyUpToTheBinaryDataBehindIt) {
  const std::string body = "Backup answer attached draft\nUpdate backup invoice\nPlease review\n";
  const std::string text = kCrLfPlain + body + kBinary + kBinary;
  for (const TextTail tail : {TextTail::BinaryData, TextTail::MailEnd, TextTail::Open})
    EXPECT_EQ(FindTextEnd(text, "", false, tail), kCrLfPlain.size() + body.size());
}

}  // namespace
}  // namespace quillon::mail_reader
