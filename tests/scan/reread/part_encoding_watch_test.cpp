// Which body lines a mail's transfer encodings let be the mail's.
#include "scan/reread/part_encoding_watch.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "scan/reread/old_text_lines.h"

namespace quillon::mail_reader {
namespace {

using Verdict = PartEncodingWatch::Verdict;

struct WatchRow {
  const char* name;
  std::string header;              // the mail's header block
  std::vector<std::string> lines;  // its body lines, without line ends
  Verdict last;                    // the verdict on the last line
};

void PrintTo(const WatchRow& row, std::ostream* out) {
  *out << row.name;
}

class PartEncodingWatchTest : public testing::TestWithParam<WatchRow> {};

TEST_P(PartEncodingWatchTest, JudgesTheLastLine) {
  const WatchRow& row = GetParam();
  PartEncodingWatch watch(row.header);
  for (std::size_t line = 0; line + 1 < row.lines.size(); ++line)
    EXPECT_NE(watch.Judge(row.lines[line]), Verdict::EndsHere) << row.lines[line];
  EXPECT_EQ(watch.Judge(row.lines.back()), row.last);
}

const std::string kBase64Mail = "From: a@x\r\nContent-Transfer-Encoding: base64\r\n";
const std::string kPlainMail = "From: a@x\r\nContent-Type: text/plain\r\n";
// Text longer than mail text is written.
const std::string kLong = "old text," + std::string(kEpilogueLineLength, ' ');
const std::string kData = "SGVsbG8gd29ybGQsIHRoaXMgaXMgYSBsaW5lIG9mIGJhc2U2NCBkYXRhIQ";

INSTANTIATE_TEST_SUITE_P(
    Lines, PartEncodingWatchTest,
    testing::Values(
        WatchRow{"Base64Data", kBase64Mail, {kData, kData}, Verdict::Fits},
        WatchRow{"PaddedLastLine", kBase64Mail, {kData, "SGk="}, Verdict::Fits},
        // Lines of blanks alone behind the data are as empty as empty ones.
        WatchRow{
            "LinesOfBlanksBehindTheData", kBase64Mail, {kData, "SGk=", " ", "\t"}, Verdict::Fits},
        WatchRow{"FooterBehindALineOfBlanks", kBase64Mail, {kData, " ", "____"}, Verdict::Doubtful},
        WatchRow{
            "OldTextBehindALineOfBlanks", kBase64Mail, {kData, "  ", kLong}, Verdict::EndsHere},
        WatchRow{
            "TextRightBehindTheData", kBase64Mail, {kData, "old text, here."}, Verdict::Doubtful},
        WatchRow{"SecondTextLineBehindTheData",
                 kBase64Mail,
                 {kData, "old text, here.", "more old text"},
                 Verdict::EndsAtDoubtful},
        // A damaged line amid the data: the data goes on behind it.
        WatchRow{"DataGoesOnBehindADamagedLine",
                 kBase64Mail,
                 {kData, "by1 \xd0\x9f junk", kData},
                 Verdict::Fits},
        WatchRow{"DataBehindThePadding", kBase64Mail, {"SGk=", kData}, Verdict::EndsHere},
        // An encoder writes all of a part's lines as long as its first but the last.
        WatchRow{"DataBehindAShortLine", kBase64Mail, {kData, "SGVsbG8", kData}, Verdict::EndsHere},
        WatchRow{
            "DataLongerThanThePartsLines", kBase64Mail, {kData, kData + "QUJD"}, Verdict::EndsHere},
        WatchRow{"PaddingBeyondTheLineLength", kBase64Mail, {kData, kData + "=="}, Verdict::Fits},
        WatchRow{"TheNextPartHasItsOwnLineLength",
                 kPlainMail,
                 {"--b", "Content-Transfer-Encoding: base64", "", "SGVs", "--b",
                  "Content-Transfer-Encoding: base64", "", kData, kData},
                 Verdict::Fits},
        // A list footer appended behind an empty line.
        WatchRow{"FooterBehindAnEmptyLine",
                 kBase64Mail,
                 {kData, "", "____", "Avfs mailing list"},
                 Verdict::Fits},
        // A footer is written as mail text is; a longer line is old text.
        WatchRow{"FooterStart", kBase64Mail, {kData, "", "____"}, Verdict::Doubtful},
        WatchRow{"LongLineInAFooter",
                 kBase64Mail,
                 {kData, "", "____", "Avfs mailing list", kLong},
                 Verdict::EndsAtDoubtful},
        WatchRow{"LongLineBehindTheEmptyLine", kBase64Mail, {kData, "", kLong}, Verdict::EndsHere},
        // Old text begins with the tail of a line; a footer as written.
        WatchRow{"AnOldLinesTailBehindTheEmptyLine",
                 kBase64Mail,
                 {kData, "", "south timber forest. System but not"},
                 Verdict::EndsHere},
        // Old text from the line right behind the data on.
        WatchRow{"LongLineBehindAnEmptyLineBehindText",
                 kBase64Mail,
                 {kData, "old tail.", "", kLong},
                 Verdict::EndsAtDoubtful},
        WatchRow{"LongLineBehindEmptyLinesBehindText",
                 kBase64Mail,
                 {kData, "old tail.", "", "", kLong},
                 Verdict::EndsAtDoubtful},
        // An epilogue behind a damaged last line of the data.
        WatchRow{"ShortLineBehindAnEmptyLineBehindText",
                 kBase64Mail,
                 {kData, "XX--b--", "", "The epilogue."},
                 Verdict::Doubtful},
        WatchRow{"LongLineOfAPlainPart",
                 kPlainMail,
                 {"--b", "Content-Transfer-Encoding: base64", "", kData, "", "--b",
                  "Content-Type: text/plain", "", "text", kLong},
                 Verdict::Fits},
        WatchRow{"EncodingWrittenInCapitals",
                 "From: a@x\r\nCONTENT-TRANSFER-ENCODING:  BASE64\r\n",
                 {kData, "old text", "more old text"},
                 Verdict::EndsAtDoubtful},
        WatchRow{"TextOfAPlainMail", kPlainMail, {"Hello", "old text", "more"}, Verdict::Fits},
        WatchRow{"Base64PartOfAMultipart",
                 kPlainMail,
                 {"preamble", "--b", "Content-Transfer-Encoding: base64", "", kData, "old text",
                  "more old text"},
                 Verdict::EndsAtDoubtful},
        WatchRow{"NextPartIsText",
                 kPlainMail,
                 {"--b", "Content-Transfer-Encoding: base64", "", kData, "--b",
                  "Content-Type: text/plain", "", "text", "more text"},
                 Verdict::Fits},
        WatchRow{"BoundaryRightBehindTheData", kBase64Mail, {kData, "--b--"}, Verdict::Fits},
        // A mailbox's next mail behind the data brings its own header lines.
        WatchRow{"MailboxSeparatorBehindTheData",
                 kBase64Mail,
                 {kData, "From - Tue Apr 15 10:42:13 1997", "From: b@y", "", "text", "more"},
                 Verdict::Fits},
        WatchRow{
            "QuotedMailboxSeparatorBehindTheData",
            kBase64Mail,
            {kData, ">From - Tue Apr 15 10:42:13 1997", "Return-Path: b@y", "", "text", "more"},
            Verdict::Fits}),
    [](const testing::TestParamInfo<WatchRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader

namespace quillon::mail_reader {
namespace {

struct StrayRow {
  const char* name;
  std::string header;
  std::string body;
  std::string boundary;  // expected; empty: none
};

void PrintTo(const StrayRow& row, std::ostream* out) {
  *out << row.name;
}

class StrayClosingBoundaryTest : public testing::TestWithParam<StrayRow> {};

TEST_P(StrayClosingBoundaryTest, FindsTheClosingLineBehindTheData) {
  EXPECT_EQ(StrayClosingBoundary(GetParam().header, GetParam().body), GetParam().boundary);
}

const std::string kBase64Header = "From: a@x\r\nContent-Transfer-Encoding: base64\r\n";
const std::string kBase64Body = "\r\nSGVsbG8gd29ybGQsIGhlbGxvIHdvcmxk\r\nSGVsbG8=\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, StrayClosingBoundaryTest,
    testing::Values(
        StrayRow{"RightBehindTheData", kBase64Header,
                 kBase64Body + "--DeathToSpamDeathToSpam--\r\n\r\n____\r\nfooter\r\n",
                 "DeathToSpamDeathToSpam"},
        StrayRow{"BlanksInsideTheBoundary", kBase64Header,
                 kBase64Body + "-----=_=_ 6592 _=_=-----  \r\nold\r\n", "---=_=_ 6592 _=_=---"},
        StrayRow{"LineFeedLines", "From: a@x\nContent-Transfer-Encoding: base64\n",
                 "\nSGVsbG8gd29ybGQsIGhl\n--0123456789ab--\n", "0123456789ab"},
        StrayRow{"APlainTextMail", "From: a@x\r\n", "\r\nHello\r\n--0123456789ab--\r\n", ""},
        StrayRow{"BehindTextNotData", kBase64Header,
                 kBase64Body + "some text\r\n--0123456789ab--\r\n", ""},
        StrayRow{"TheClosingLineOfPartsBehindTheirData", kBase64Header,
                 kBase64Body + "Content-Type: multipart/signed\r\n\r\n--0123456789ab\r\n"
                               "Content-Type: text/plain\r\n\r\nx\r\n--0123456789ab\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\nSGVsbG8=\r\n"
                               "--0123456789ab--\r\n",
                 "0123456789ab"},
        StrayRow{"AClosingLineOfOtherPartsBehindText", kBase64Header,
                 kBase64Body + "--0123456789ab\r\nContent-Type: text/plain\r\n\r\nx\r\n"
                               "--0123456789ab--\r\n",
                 ""},
        // Boundaries may end with dashes of their own: "--" and "---x---" close by "-----x-----".
        StrayRow{"PartsWhoseBoundaryEndsWithDashes", kBase64Header,
                 kBase64Body + "\r\n-----=_=_ 6592 _=_=---\r\nContent-Type: text/plain\r\n\r\n"
                               "Blake\r\n-----=_=_ 6592 _=_=---\r\n\r\nSGVsbG8gd29ybGQsIGhl\r\n"
                               "-----=_=_ 6592 _=_=-----\r\n",
                 "---=_=_ 6592 _=_=---"},
        StrayRow{"AnInnerMultipartsClosingLine", kBase64Header,
                 kBase64Body + "--outer-boundary\r\n\r\n--inner-boundary\r\n\r\n"
                               "SGVsbG8gd29ybGQsIGhl\r\n--inner-boundary--\r\n\r\n"
                               "--outer-boundary\r\n\r\nmore\r\n",
                 ""},
        StrayRow{"AClosingLineOfNoPartsSeen", kBase64Header,
                 kBase64Body + "--0123456789ab\r\n\r\nSGVsbG8=\r\n--abcdefghijkl--\r\n", ""},
        StrayRow{"ASignatureSeparatorIsNoBoundary", kBase64Header, kBase64Body + "-- \r\nMe\r\n",
                 ""},
        StrayRow{"NoLineBehindTheData", kBase64Header, kBase64Body, ""}),
    [](const testing::TestParamInfo<StrayRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
