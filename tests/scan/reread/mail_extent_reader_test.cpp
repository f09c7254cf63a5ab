// Where a mail's text ends when the scan did not see its end.
#include "scan/reread/mail_extent_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scan/lines/line_reader.h"
#include "scan/lines/mime_header.h"
#include "scan/reread/last_line.h"
#include "scan/reread/old_text_lines.h"
#include "source/memory_source.h"
#include "support/paths.h"
#include "text/ascii.h"

namespace quillon::mail_reader {
namespace {

using namespace std::string_literals;

struct EndRow {
  const char* name;
  std::string text;
  std::string boundary;
  bool endAtTraceLines;
  std::size_t end;  // npos: nothing in the text ends the mail
  TextTail tail = TextTail::Open;
};

void PrintTo(const EndRow& row, std::ostream* out) {
  *out << row.name;
}

class FindTextEndTest : public testing::TestWithParam<EndRow> {};

TEST_P(FindTextEndTest, EndsWhereTheRulesSay) {
  EXPECT_EQ(FindTextEnd(GetParam().text, GetParam().boundary, GetParam().endAtTraceLines,
                        GetParam().tail),
            GetParam().end);
}

const std::string kHead = "From: a@x\r\nDate: d\r\n\r\n";
const std::string kCrCrLfHead = "From: a@x\r\r\nDate: d\r\r\n\r\r\n";
const std::string kReplyHead = "From: a@x\r\nIn-Reply-To: <1.2@y>\r\n\r\n";
const std::string kBase64Head = "From: a@x\r\nContent-Transfer-Encoding: base64\r\n\r\n";
const std::string kBase64Part = "--b\r\nContent-Transfer-Encoding: base64\r\n\r\n";
const std::string kHtmlHead = "From: a@x\r\nContent-Type:  TEXT/HTML; charset=x\r\n\r\n";
const std::string kRawPart = "--b\r\nContent-Transfer-Encoding: binary\r\n\r\n";
const std::string kRawBytes = std::string("PK\x03\x04\0\0\0\0\x01\x8e\n\xff\r\0\0\0\0z", 19);
const std::string kHtml = "<html><body>Hi</body></html>\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, FindTextEndTest,
    testing::Values(
        EndRow{"Nul", kHead + "body\r\n" + std::string(1, '\0') + "x", "", false, kHead.size() + 6},
        EndRow{"BinaryLine", kHead + "body\r\n\x01\x02garbage", "", false, kHead.size() + 6},
        EndRow{"ControlBytesInARandomLine",
               kHead + "body\r\n\x8e\x01\xd3q\x1f\xa9\x02\xbbW\x90\x05\xe4\x7f\xc1\x03z\r\n", "",
               false, kHead.size() + 6},
        EndRow{"ManyControlBytesInAsciiLine",
               kHead + "body\r\nab\x01"
                       "cd\x02"
                       "ef\x03"
                       "gh\x04"
                       "ij\x05"
                       "kl\x06"
                       "mn\r\n",
               "", false, kHead.size() + 6},
        EndRow{"DosEndOfFileMarkInText", kHead + "body\r\nThe report follows.\x1a\r\nmore\r\n", "",
               false, std::string::npos},
        // ISO-2022 text uses ESC, SO and SI; they are text.
        EndRow{"EscapeIsText", kHead + "\x1b$B\x0e\x0f\r\n", "", false, std::string::npos},
        EndRow{"MailboxSeparatorWithItsBlankLine",
               kHead + "body\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nFrom: b@y\r\n", "", true,
               kHead.size() + 6},
        // A mail that answers another may carry it whole, mailbox separator and all.
        EndRow{"ASeparatorBeforeTheMailItAnswersStays",
               kReplyHead + "Note.\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nFrom: b@y\r\n" +
                   "Message-ID: <1.2@y>\r\nReceived: by x\r\n\r\nQuoted.\r\n",
               "", true, std::string::npos},
        EndRow{"ASeparatorBeforeAnotherMailEnds",
               kReplyHead + "Note.\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nFrom: b@y\r\n" +
                   "Message-ID: <1.3@y>\r\n\r\nNext.\r\n",
               "", true, kReplyHead.size() + 7},
        // A trace line behind the quoted mail's header block is another mail's.
        EndRow{"ATraceLineBehindTheQuotedMail",
               kReplyHead + "Note.\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\n" +
                   "Message-ID: <1.2@y>\r\n\r\nQuoted.\r\nReceived: by z\r\n",
               "", true, kReplyHead.size() + 74},
        EndRow{"AGitPatchSeparatorStays",
               kHead + "Patch.\r\n\r\nFrom 0123abc Mon Sep 17 00:00:00 2001\r\nFrom: b@y\r\n" +
                   "\r\nDiff.\r\n",
               "", true, std::string::npos},
        // With the next mail's start known, a separator inside the body is quoted text.
        EndRow{"MailboxSeparatorQuotedInTheBody",
               kHead + "body\r\n\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\nmore\r\n", "", false,
               std::string::npos},
        EndRow{"ClosingBoundary", kHead + "--b\r\n\r\npart\r\n--b--\r\n\r\nslack text", "b", false,
               kHead.size() + 20},
        // A multipart cut short ends by the line rules.
        EndRow{"MultipartWithoutClosingBoundary",
               kHead + "--b\r\n\r\npart\r\n" + std::string(1, '\0'), "b", false, kHead.size() + 13},
        EndRow{"ForwardedHeaderBlockIsText",
               kHead + "see below\r\n---------- Forwarded message ----------\r\n"
                       "Received: from z\r\nFrom: b@y\r\n\r\nold news\r\n\r\nReceived: from n\r\n",
               "", true, kHead.size() + 93},
        EndRow{"TraceLineOnlyWhenAsked", kHead + "body\r\n\r\nReceived: from z\r\n", "", true,
               kHead.size() + 6},
        EndRow{"TraceLineIgnoredWhenTheNextStartIsKnown", kHead + "body\r\nReceived: quoted\r\n",
               "", false, std::string::npos},
        // Old text behind a mail seldom ends its lines the way the mail does.
        EndRow{"LineFeedLinesBehindACrLfMail", kHead + "body\r\nold one\nold two\nmore\n", "",
               false, kHead.size() + 6},
        EndRow{"CrLfLinesBehindALineFeedMail", "From: a@x\nDate: d\n\nbody\nold\r\nold\r\n", "",
               false, 24},
        // An export that ended its lines in CR CR LF: the header block ends at a line of CRs.
        EndRow{"LineFeedLinesBehindACrCrLfMail", kCrCrLfHead + "body\r\r\nold one\nold two\nmore\n",
               "", false, kCrCrLfHead.size() + 7},
        EndRow{"TraceLineBehindACrCrLfHeaderBlock",
               kCrCrLfHead + "body\r\r\n\r\r\nReceived: from z\r\r\n", "", true,
               kCrCrLfHead.size() + 7},
        EndRow{"OneOddLineEndIsTheMails", kHead + "body\r\nodd\nmore\r\nodd\n", "", false,
               std::string::npos},
        EndRow{"AnOddLastLineWithoutBreakEndsNothing", kHead + "body\r\nodd\nlast", "", false,
               std::string::npos},
        // Nothing of the mail follows old lines that run up to where its bytes end.
        EndRow{"OneOddLineBeforeTheNul", kHead + "body\r\nold\n" + std::string(1, '\0'), "", false,
               kHead.size() + 6},
        EndRow{"OneOddLineAndACutLineBeforeTheNul",
               kHead + "body\r\nold\nol" + std::string(1, '\0'), "", false, kHead.size() + 6},
        EndRow{"OneOddLineUpToTheMailsEnd", kHead + "body\r\nold\n", "", false, kHead.size() + 6,
               TextTail::MailEnd},
        // A body's only line without a line break of its own, glued to old bytes, stays.
        EndRow{"TheBodysOnlyLineStays", kHead + "Hi\x8e\n" + std::string(1, '\0'), "", false,
               kHead.size() + 4},
        EndRow{"OneOddLineWithMoreToRead", kHead + "body\r\nold\n", "", false, std::string::npos},
        // A line that runs into binary data is old bytes; one that runs to the mail's end is
        // its last line without a line break.
        EndRow{"ALineCutByBinaryData", kHead + "body\r\nk:", "", false, kHead.size() + 6,
               TextTail::BinaryData},
        EndRow{"ALineCutByTheMailsEnd", kHead + "body\r\nlast", "", false, std::string::npos,
               TextTail::MailEnd},
        EndRow{"ALineCutByANulAmidBinaryData", kHead + "body\r\n$\xf1" + std::string(1, '\0'), "",
               false, kHead.size() + 6, TextTail::BinaryData},
        EndRow{"TheBodysOnlyLineCutByBinaryDataStays", kHead + "Hi", "", false, std::string::npos,
               TextTail::BinaryData},
        EndRow{"OddLinesThenBinaryBytes", kHead + "body\r\nold\n\x01\x02\r\n", "", false,
               kHead.size() + 6},
        // Random bytes that hold no control byte but a shift code of the 7-bit charsets.
        EndRow{"ShiftCodeAmidEightBitBytes", kHead + "body\r\n\x88\x9f\xe5 KZ,\x0f\r\nmore\r\n", "",
               false, kHead.size() + 6},
        EndRow{"EightBitTextIsText", kHead + "body\r\n\xc3\xa9t\xc3\xa9\r\nmore\r\n", "", false,
               std::string::npos},
        // Text behind base64 data is no data the part's encoding produces.
        EndRow{"TextBehindBase64Data", kBase64Head + "SGVsbG8=\r\nold text.\r\nmore old.\r\n", "",
               false, kBase64Head.size() + 10},
        EndRow{"ABase64PartCutShortThenText",
               kHead + kBase64Part + "SGVsbG8\r\nold one.\r\nmore old.\r\n", "b", false,
               kHead.size() + kBase64Part.size() + 9},
        EndRow{"Base64BehindItsPadding", kBase64Head + "SGk=\r\nSGVsbG8gd29y\r\n", "", false,
               kBase64Head.size() + 6},
        // Only a part's last data line is shorter than its first.
        EndRow{"Base64BehindAShortLine", kBase64Head + "SGVsbG8gd29y\r\nSGVs\r\nSGVsbG8gd29y\r\n",
               "", false, kBase64Head.size() + 20},
        EndRow{"Base64LongerThanThePartsLines", kBase64Head + "SGVsbG8g\r\nSGVsbG8gd29ybGQh\r\n",
               "", false, kBase64Head.size() + 10},
        EndRow{"LongOldTextBehindBase64AndAnEmptyLine",
               kBase64Head + "SGVsbG8=\r\n\r\nold text.\r\nold, " + std::string(100, 'w') + "\r\n",
               "", false, kBase64Head.size() + 12},
        // An empty line of the other line end style is where old bytes begin: it cannot be a
        // last line that took their line break.
        EndRow{"AnEmptyLineFeedLineBehindACrLfMail", kHead + "body\r\n\nold text\r\nmore old\r\n",
               "", false, kHead.size() + 6},
        EndRow{"AnEmptyCrLfLineBehindALineFeedMail", "From: a@x\nDate: d\n\nbody\n\r\nold\nmore\n",
               "", false, 24},
        EndRow{"AnEmptyLineFeedLineBehindAnOddOne",
               kHead + "body\r\nodd\n\nold text\r\nmore old\r\n", "", false, kHead.size() + 6},
        // A closed HTML document goes on with no page head of its own.
        EndRow{"StyleRulesBehindAClosedHtmlText",
               kHtmlHead + kHtml + ".x td { margin: 3px; }\r\n</style></head>\r\n", "", false,
               kHtmlHead.size() + kHtml.size()},
        EndRow{"TheTailOfAStyleRuleBehindAClosedHtmlText",
               kHtmlHead + kHtml + "px; line-height: 22px; }\r\nmore\r\n", "", false,
               kHtmlHead.size() + kHtml.size()},
        EndRow{"TheEndOfAStyleBlockBehindAClosedHtmlText",
               kHtmlHead + kHtml + "-- \r\nlist footer\r\n</STYLE><body>\r\n", "", false,
               kHtmlHead.size() + kHtml.size() + 18},
        EndRow{"AListFooterBehindAClosedHtmlTextStays",
               kHtmlHead + kHtml + "-- \r\nlist <http://x/listinfo>\r\n", "", false,
               std::string::npos},
        // A spammer's second document brings its own head.
        EndRow{"ASecondHtmlDocumentStays",
               kHtmlHead + kHtml + "<html><style>\r\np { margin: 3px; }\r\n</style>\r\n", "", false,
               std::string::npos},
        EndRow{"ASecondDocumentWithItsHeadOnItsFirstLineStays",
               kHtmlHead + kHtml + "<html><head><title>x</title></head>\r\n</html>\r\n", "", false,
               std::string::npos},
        EndRow{"StyleRulesOfAnOpenHtmlTextStay",
               kHtmlHead + "<html><style>\r\np { margin: 3px; }\r\n</style>\r\n", "", false,
               std::string::npos},
        EndRow{"StyleRulesBehindHtmlInAPlainTextMailStay", kHead + kHtml + "p { margin: 3px; }\r\n",
               "", false, std::string::npos},
        EndRow{"TextRightBehindBase64DataThenABlankLineAndText",
               kBase64Head + "SGVsbG8gd29y\r\nold tail.\r\n\r\nmore old text, " +
                   std::string(kEpilogueLineLength, 'w') + "\r\n",
               "", false, kBase64Head.size() + 14},
        // A plain-text mail's text goes on whatever it says.
        EndRow{"PlainTextThatGoesOn", kHead + "Hi,\r\nSGVsbG8=\r\nmore text.\r\n", "", false,
               std::string::npos},
        // An old page's lines behind a plain text, up to where the mail's bytes end.
        EndRow{"MarkupBehindAPlainTextUpToTheMailsEnd",
               kHead + "Hi,\r\n-Me\r\nold.</span>\r\n\r\n<div class=\"x\">a</div>\r\n<td", "",
               false, kHead.size() + 10, TextTail::MailEnd},
        EndRow{"MarkupBehindAPlainTextWhenMoreMayFollow", kHead + "Hi,\r\n-Me\r\nold.</span>\r\n",
               "", false, std::string::npos},
        EndRow{"MarkupThePlainTextHoldsItselfStays",
               kHead + "Hi,\r\n<b>x</b>\r\nsee above\r\n<i>y</i>\r\n", "", false, std::string::npos,
               TextTail::MailEnd},
        EndRow{"APageSentAsPlainTextStays",
               kHead + "<?xml version=\"1.0\"?>\r\n<adf>\r\n  <id>1</id>\r\n  ... cut", "", false,
               std::string::npos, TextTail::MailEnd},
        EndRow{"MarkupOfAnHtmlTextStays", kHtmlHead + "Hi\r\n<b>x</b>\r\n", "", false,
               std::string::npos, TextTail::MailEnd},
        EndRow{"MarkupOfAnotherTypeStays",
               "From: a@x\r\nContent-Type: text/enriched\r\n\r\nHi\r\n<bold>x</bold>\r\n", "",
               false, std::string::npos, TextTail::MailEnd},
        EndRow{"HeaderLinesNeverEndIt", "Received: a\r\nFrom: a@x\r\nDate: d\r\n\r\nbody\r\n", "",
               true, std::string::npos},
        // A part of raw bytes: its NULs, control bytes and bare line breaks end nothing.
        EndRow{"RawPartToItsClosingLine", kHead + kRawPart + kRawBytes + "\r\n--b--\r\n", "b",
               false, (kHead + kRawPart + kRawBytes).size() + 9},
        EndRow{"RawPartThenText", kHead + kRawPart + kRawBytes + "\r\n--b\r\n\r\ntext\r\n\0\0\0\0"s,
               "", false, (kHead + kRawPart + kRawBytes).size() + 15, TextTail::MailEnd},
        EndRow{"RawPartNeverClosed", kHead + kRawPart + kRawBytes + "\r\n\0\0\0\0"s, "b", false,
               (kHead + kRawPart).size()},
        // A name behind a closing, written without a line break, took the line break of the old
        // line glued to it: the old bytes begin there, behind the name and the old line's tail.
        EndRow{"ANameGluedToOldLinesOfTheOtherLineEnd",
               "From: a@x\nDate: d\n\nBest regards,\nSecurity Teamening]\r\nReport=379\r\n", "",
               false, 52},
        EndRow{"ANameGluedToAnOldLineThenAnEmptyOne",
               kHead + "Thanks,\r\nAnnold line\n\nold\nmore old\n", "", false, kHead.size() + 20},
        EndRow{"ANameGluedToOldLinesUpToTheMailsEnd",
               "From: a@x\nDate: d\n\nBest regards,\nSecurity Teamening]\r\n", "", false, 52,
               TextTail::MailEnd},
        // Under a line of prose, or behind the header block, the line is where old bytes begin.
        EndRow{"AProseLineGluedToOldLines",
               "From: a@x\nDate: d\n\nThe rest is in the report, which follows\nold one\r\nold\r\n",
               "", false, 60},
        EndRow{"TheBodysFirstLineGluedToOldLines",
               "From: a@x\nDate: d\n\nlsakdlsa;dk these about\r\nold\r\n", "", false, 19}),
    [](const testing::TestParamInfo<EndRow>& row) { return row.param.name; });

// Every byte value at every place of a body line of 15 bytes (a word of eight and a tail, behind
// a start that is no word boundary): the line ends the mail exactly when the byte is no text
// byte. A line that short is too little text to carry a stray control byte.
TEST(FindTextEnd, EveryByteValueAtEveryPlaceOfALine) {
  const std::string head = kHead + "body\r\n";
  static_assert(kStrayControlLine > 15);
  for (int value = 1; value < 256; ++value) {
    if (value == '\n') continue;  // it ends the line instead
    const auto byte = static_cast<std::uint8_t>(value);
    for (std::size_t place = 0; place < 15; ++place) {
      std::string line(15, 'a');
      line[place] = static_cast<char>(byte);
      const std::size_t expected = IsTextByte(byte) ? std::string::npos : head.size();
      EXPECT_EQ(FindTextEnd(head + line + "\r\nmore\r\n", "", false), expected)
          << "byte " << value << " at " << place;
    }
  }
}

// Every byte value but NUL and LF at every place of a sentence: one stray byte in a line of text
// ends nothing, whatever the byte.
TEST(FindTextEnd, OneStrayByteInASentenceEndsNothing) {
  const std::string head = kHead + "body\r\n";
  const std::string sentence = "Please see the numbers before Friday.";
  for (int value = 1; value < 256; ++value) {
    if (value == '\n' || value == '\r') continue;
    for (std::size_t place = 0; place < sentence.size(); ++place) {
      std::string line = sentence;
      line[place] = static_cast<char>(value);
      EXPECT_EQ(FindTextEnd(head + line + "\r\nmore\r\n", "", false), std::string::npos)
          << "byte " << value << " at " << place;
    }
  }
}

// Every corpus mail with a body: nothing in its own text ends it, and old bytes right behind its
// last line (binary, random bytes with a shift code, text with other line ends, one such line
// up to where the bytes end) end it exactly there.
TEST(FindTextEnd, CorpusMailsEndWhereTheirTextEnds) {
  const std::vector<std::filesystem::path> files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  const std::string binary("\xa8\xaa\xfa\x1bw\x88s\xc5\x01)\x1d\r\n", 13);
  const std::string shifted(
      "\x90\xdf\xdd"
      "1GmI\xac\xff'\xff\x0e\xb4\r\nmore\r\n");
  for (const auto& file : files) {
    const std::string mail = test::ReadFileBytes(file);
    // The rules need a body behind the header block, and a NUL of its own ends any mail.
    if (!mail.ends_with("\r\n") || mail.find("\r\n\r\n") == std::string::npos ||
        mail.find('\0') != std::string::npos)
      continue;
    EXPECT_EQ(FindTextEnd(mail + std::string(1, '\0'), "", false), mail.size()) << file;
    EXPECT_EQ(FindTextEnd(mail + binary, "", false), mail.size()) << file;
    EXPECT_EQ(FindTextEnd(mail + "old text\nmore old text\n", "", false), mail.size()) << file;
    // One such line behind an empty body may be the body's line without its own line break.
    if (mail.find("\r\n\r\n") + 4 < mail.size()) {
      EXPECT_EQ(FindTextEnd(mail + "old text\n" + std::string(1, '\0'), "", false), mail.size())
          << file;
      EXPECT_EQ(FindTextEnd(mail + "old text\n", "", false, TextTail::MailEnd), mail.size())
          << file;
    }
    EXPECT_EQ(FindTextEnd(mail + shifted, "", false), mail.size()) << file;
  }
}

// Every corpus mail whose text ends in base64 data (a base64 body, or a base64 part cut short
// before its closing boundary): text lines right behind it end it there, whatever their line
// ends.
TEST(FindTextEnd, CorpusMailsEndingInBase64DataEndBeforeText) {
  const std::vector<std::filesystem::path> files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t checked = 0;
  for (const auto& file : files) {
    std::string mail = test::ReadFileBytes(file);
    const std::size_t headerEnd = mail.find("\r\n\r\n");
    if (headerEnd == std::string::npos || mail.find('\0') != std::string::npos) continue;
    // Cut a multipart mail short behind the last data line of its last base64 part.
    const std::size_t part = mail.rfind("Content-Transfer-Encoding: base64\r\n\r\n");
    if (part == std::string::npos) continue;
    const std::size_t data = mail.find("\r\n\r\n", part) + 4;
    std::size_t end = data;
    while (end < mail.size() && mail.compare(end, 2, "\r\n") != 0 && mail[end] != '-') {
      const std::size_t lineEnd = mail.find("\r\n", end);
      if (lineEnd == std::string::npos) break;
      end = lineEnd + 2;
    }
    if (end == data || mail.find('=', data) < end - 4) continue;  // no data, or padded early
    mail.resize(end);
    ++checked;
    EXPECT_EQ(FindTextEnd(mail + "old text, here.\r\nmore old text.\r\n", "", false), mail.size())
        << file;
  }
  EXPECT_GT(checked, 30u) << "too few corpus mails with base64 data";
}

// A mail whose extent the scan knew up to a NUL, with old bytes between its text and the NUL.
struct KnownRow {
  const char* name;
  std::string mail;   // the mail's own text
  std::string slack;  // the old bytes behind it, up to the NUL the scan stopped at
  std::string boundary;
  bool closingSeen;            // the scan saw the closing boundary at the mail's end
  std::string saved;           // what the re-reader must give
  std::string behindNul = "";  // bytes behind the NUL the scan stopped at (else zeros)
};

void PrintTo(const KnownRow& row, std::ostream* out) {
  *out << row.name;
}

class KnownExtentTest : public testing::TestWithParam<KnownRow> {};

// Reads back the mail of `record` from an image in memory that holds `bytes` from `start` on,
// zeros before and a sector or two of zeros behind.
std::string ReadBackFromImage(std::uint64_t start, const std::string& bytes,
                              const MailRecord& record) {
  std::string image(start, '\0');
  image += bytes;
  image.resize((image.size() / 512 + 2) * 512, '\0');
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::string saved;
  ReadKnownExtent(record, source, saved, nullptr);
  return saved;
}

// Saves `mail` + `slack` read back from an image in memory, the scan having seen the mail's start
// and, with `closingSeen`, its closing boundary; the text ends at the NUL behind the slack.
std::string SaveWithSlack(const std::string& mail, const std::string& slack,
                          const std::string& boundary, bool closingSeen,
                          const std::string& behindNul = "") {
  constexpr std::uint64_t kStart = 512;
  MailRecord record;
  record.boundary = boundary;
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = kStart;
  if (closingSeen) extent.multipartEnd = kStart + mail.size();
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = kStart + mail.size() + slack.size();
  record.PublishBody(std::move(body));

  EXPECT_TRUE(HasKnownExtent(record));
  const std::string nulAndBehind = behindNul.empty() ? "" : std::string(1, '\0') + behindNul;
  return ReadBackFromImage(kStart, mail + slack + nulAndBehind, record);
}

TEST_P(KnownExtentTest, SavesTheMailWithoutTheOldBytes) {
  const KnownRow& row = GetParam();
  EXPECT_EQ(SaveWithSlack(row.mail, row.slack, row.boundary, row.closingSeen, row.behindNul),
            row.saved);
}

const std::string kMail = kHead + "Hi,\r\n\r\n-Me\r\n";
const std::string kMailWithoutBreak = kHead + "Hi,\r\n\r\n-Me";
// Longer than lines of mail text are written.
const std::string kLongLine(kEpilogueLineLength + 1, 'w');
const std::string kMultipart =
    "From: a@x\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n\r\npart\r\n";

const std::string kFoldedMultipart =
    "From: a@x\r\nContent-Type: multipart/mixed; boundary=\r\n \"b c\"\r\n\r\n--b c\r\n\r\n"
    "part\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, KnownExtentTest,
    testing::Values(
        KnownRow{"BinaryBytes", kMail, "\xa8\xaa\x1b\x01)\x1d\xa6 old\r\nmore", "", false, kMail},
        KnownRow{"LineFeedText", kMail, "old text\nmore old\nand more", "", false, kMail},
        KnownRow{"CrLfTextBehindALineFeedMail", "From: a@x\nDate: d\n\nHi\n", "old\r\nmore old\r\n",
                 "", false, "From: a@x\nDate: d\n\nHi\n"},
        // Text that ends its lines like the mail cannot be told from it.
        KnownRow{"TextOfTheMailsStyleStays", kMail, "old\r\n", "", false, kMail + "old\r\n"},
        KnownRow{"MultipartCutShort", kMultipart, "\x01\x02old\r\n", "b", false, kMultipart},
        KnownRow{"LineFeedTextBehindTheEpilogue", kMultipart + "--b--\r\n",
                 "\r\nold one\nold two\n", "b", true, kMultipart + "--b--\r\n\r\n"},
        KnownRow{"ListFooterInTheEpilogueStays", kMultipart + "--b--\r\n",
                 "\r\n-- \r\nlist footer\r\n", "b", true,
                 kMultipart + "--b--\r\n\r\n-- \r\nlist footer\r\n"},
        KnownRow{"TextOfTheMailsStyleRightBehindTheClosingBoundary", kMultipart + "--b--\r\n",
                 "old one\r\nold two\r\n", "b", true, kMultipart + "--b--\r\n"},
        KnownRow{"ANoteLineRightBehindTheClosingBoundaryStays", kMultipart + "--b--\r\n",
                 "End of message\r\n", "b", true, kMultipart + "--b--\r\nEnd of message\r\n"},
        KnownRow{"OneLineFeedLineUpToTheNul", kMail, "old text\n", "", false, kMail},
        KnownRow{"RandomBytesWithAShiftCode", kMail, "\x88\x9f\xe5\xb8\xc9 KZ,\x0f\n", "", false,
                 kMail},
        KnownRow{"LongOldLinesBehindTheClosingBoundary", kMultipart + "--b--\r\n",
                 "\r\n" + kLongLine + "\r\nold\r\n", "b", true, kMultipart + "--b--\r\n\r\n"},
        // A boundary the scan's reader passed over still ends the mail.
        KnownRow{"ABoundaryBehindAFold", kFoldedMultipart + "--b c--\r\n", "old one\r\nold two\r\n",
                 "", false, kFoldedMultipart + "--b c--\r\n"},
        // A few bytes and a NUL amid binary data behind the mail's last line break are old
        // bytes; a last line without a break, then the file's zeros up to the sector's end
        // (whatever the next sector holds), is the mail's.
        KnownRow{"ALineRunningIntoBinaryData", kMail, "k:", "", false, kMail, "J\xaf\x06\xa5"},
        // Zeros up to a store's next block, whose header holds control bytes, are no binary data.
        KnownRow{"ALastLineWithoutBreakThenZerosUpToABlockHeader", kMailWithoutBreak, "", "", false,
                 kMailWithoutBreak, std::string(7, '\0') + "\xf0\xca\x15\x00\x00\x02\x00\x00"},
        // A stray NUL in a mail's line, with text behind it, ends the text but cuts no line.
        KnownRow{"AStrayNulInTheLastLine", kMail, "Subject: x", "", false, kMail + "Subject: x",
                 "\r\nDate: d\r\n\x06"},
        KnownRow{"ALastLineWithoutBreakThenZerosToTheSectorsEnd", kMailWithoutBreak, "", "", false,
                 kMailWithoutBreak,
                 std::string(511 - kMailWithoutBreak.size() % 512, '\0') + "J\xaf\x85\xa5"},
        KnownRow{"LineFeedLinesBehindTheEpilogueUpToACutLine", kMultipart + "--b--\r\n",
                 "\r\nfooter\r\nold\nold, cut", "b", true, kMultipart + "--b--\r\n\r\nfooter\r\n"},
        // A closing boundary line without a line break of its own, then binary data.
        KnownRow{"AClosingLineRunningIntoBinaryData", kMultipart + "--b--",
                 "\xd5\xde\x83s\xaa\x49\xee", "b", true, kMultipart + "--b--"},
        KnownRow{"AClosingLineRunningIntoControlBytes", kMultipart + "--b--", "Ux\x05\x93\r\nold",
                 "b", false, kMultipart + "--b--"},
        KnownRow{"TextBehindAClosingLineStays", kMultipart + "--b-->\r\n", "", "b", true,
                 kMultipart + "--b-->\r\n"},
        // A list rewrote a multipart into its base64 part and left its closing line and footer.
        KnownRow{
            "AClosingLineBehindTheDataOfABase64Mail",
            kBase64Head + "SGVsbG8gd29y\r\n--DeathToSpamDeathToSpam--\r\n\r\n____\r\nList\r\n\r\n",
            "<META http-equiv=x>\r\n<STYLE>BODY {\r\n", "", false,
            kBase64Head + "SGVsbG8gd29y\r\n--DeathToSpamDeathToSpam--\r\n\r\n____\r\nList\r\n\r\n"},
        KnownRow{"AnOldPageBehindAPlainText", kMail,
                 "lor: red; }\r\n</style></head>\r\n<p>old</p>\r\n<td", "", false, kMail},
        KnownRow{"QuotedPrintableTextBehindTheClosingBoundary", kMultipart + "--b--\r\n\r\n",
                 "&nbsp;=20\r\n      a price for severa=\r\nl days.\r\n", "b", true,
                 kMultipart + "--b--\r\n\r\n"},
        KnownRow{"OldProseBehindTheClosingBoundary", kMultipart + "--b--\r\n\r\n",
                 "o local officials. Archaeologists later\r\nthe fallen hunter's body\r\n", "b",
                 true, kMultipart + "--b--\r\n\r\n"},
        KnownRow{"LineFeedLineBehindTheEpilogueUpToTheNul", kMultipart + "--b--\r\n",
                 "\r\nfooter\r\nold\n", "b", true, kMultipart + "--b--\r\n\r\nfooter\r\n"},
        // A list footer whose last line has no line break, the file's zeros behind it.
        KnownRow{"AFootersLastLineWithoutBreakUpToTheFilesEnd",
                 kMultipart + "--b--\r\n\r\n________\r\nusers list\r\nhttp://x/listinfo", "", "b",
                 true, kMultipart + "--b--\r\n\r\n________\r\nusers list\r\nhttp://x/listinfo"},
        // Old text glued behind a footer's empty line, cut where the scan saw the mail end.
        KnownRow{"OldTextCutBehindAFootersEmptyLine",
                 kMultipart + "--b--\r\n\r\n________\r\nusers list\r\n\r\n",
                 "was some bridge.\r\n> That been", "b", true,
                 kMultipart + "--b--\r\n\r\n________\r\nusers list\r\n\r\n", "\x93\x01\xee"}),
    [](const testing::TestParamInfo<KnownRow>& row) { return row.param.name; });

// A mail whose end the scan did not see, read up to the next mail found, which begins right
// behind the old bytes.
std::string SaveUpToTheNextMail(const std::string& mail, const std::string& old) {
  constexpr std::uint64_t kStart = 512;
  const std::string next = "Return-Path: <b@y>\r\nFrom: b@y\r\nDate: d\r\n\r\nnext\r\n";
  MailRecord record;
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = kStart;
  extent.nextMailStart = kStart + mail.size() + old.size();
  record.SetExtent(extent);
  return ReadBackFromImage(kStart, mail + old + next, record);
}

struct NextMailRow {
  const char* name;
  std::string old;    // the old bytes between the mail and the next one
  std::string saved;  // what of them the re-reader must keep
};

void PrintTo(const NextMailRow& row, std::ostream* out) {
  *out << row.name;
}

class NextMailTest : public testing::TestWithParam<NextMailRow> {};

TEST_P(NextMailTest, EndsTheMailBeforeTheOldBytes) {
  EXPECT_EQ(SaveUpToTheNextMail(kMail, GetParam().old), kMail + GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NextMailTest,
    testing::Values(
        // The next mail's first line ends the bytes as a NUL would: a line of other line ends in
        // front of the line it is glued to is old.
        NextMailRow{"ALineOfOtherLineEndsThenAGluedLine", ",\n2008-02-24 [DEBUG] Bridge ", ""},
        NextMailRow{"AnOldPageThenAGluedLine", "old.</span>\r\n<p>x</p>\r\n<td ", ""},
        NextMailRow{"NothingBetween", "", ""},
        NextMailRow{"TheBlankLineBetweenBelongsToNeither", "\r\n", ""},
        // Old text that ends its lines like the mail cannot be told from it.
        NextMailRow{"TextOfTheMailsStyle", "old text\r\n", "old text\r\n"}),
    [](const testing::TestParamInfo<NextMailRow>& row) { return row.param.name; });

// The outermost boundary of a corpus mail, from its Content-Type field (empty when none).
std::string OutermostBoundary(const std::string& mail) {
  const std::size_t headerEnd = mail.find("\r\n\r\n");
  if (headerEnd == std::string::npos) return "";
  std::size_t at = 0;
  while (at < headerEnd) {
    const std::size_t lineEnd = mail.find("\r\n", at);
    if (StartsWithNoCase(std::string_view(mail).substr(at), "content-type:")) {
      std::string value = mail.substr(at + 13, lineEnd - at - 13);
      // Folded lines go on with a blank or a tab.
      for (std::size_t next = lineEnd + 2;
           next < headerEnd && (mail[next] == ' ' || mail[next] == '\t');) {
        const std::size_t end = mail.find("\r\n", next);
        value += mail.substr(next, end - next);
        next = end + 2;
      }
      const MimeHeaderValue parsed = ParseMimeHeaderValue(value);
      const MimeParameter* boundary = parsed.Find("boundary");
      return parsed.token.starts_with("multipart/") && boundary ? boundary->value : "";
    }
    at = lineEnd + 2;
  }
  return "";
}

// Every corpus multipart mail that ends with its closing boundary line or an empty line:
// old text ending its lines like the mail's, right behind it, is no part of it; nor is old text
// of long lines behind the closing boundary the scan saw.
TEST(ReadKnownExtent, CorpusMultipartMailsEndBeforeOldTextOfTheirStyle) {
  const std::vector<std::filesystem::path> files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::string old;
  for (int line = 0; line < 14; ++line)
    old += "quarter window river " + std::to_string(line) + "\r\n";
  // Old text of long lines, up to the NUL the scan stopped at behind the closing boundary.
  const std::string longOld = "old text\r\n" + kLongLine + "\r\nmore old\r\n";
  std::size_t checked = 0;
  for (const auto& file : files) {
    const std::string mail = test::ReadFileBytes(file);
    const std::string boundary = OutermostBoundary(mail);
    if (boundary.empty() || mail.find('\0') != std::string::npos) continue;
    const std::size_t lastLine = mail.rfind("\r\n", mail.size() - 3);
    if (lastLine == std::string::npos) continue;
    const std::string_view last = std::string_view(mail).substr(lastLine + 2);
    // Old text glued to a footer's last line cannot be told from it; a mail cut short before its
    // closing boundary ends by the line rules.
    if ((last != "\r\n" && last != "--" + boundary + "--\r\n") ||
        !FindClosingBoundaryLine(mail, boundary, 0).found)
      continue;
    // Old text behind an epilogue of more than one paragraph cannot be told from it (nor behind
    // a boundary closed twice, whose first closing line ends the mail); a note right behind the
    // boundary line with old paragraphs behind it is taken for old text.
    const std::size_t closing = mail.rfind("--" + boundary + "--");
    if (mail.find("--" + boundary + "--") != closing) continue;
    const std::size_t closingEnd = mail.find('\n', closing) + 1;
    if (mail.compare(closingEnd, 2, "\r\n") != 0 && closingEnd < mail.size()) continue;
    const std::size_t epilogueText = mail.find_first_not_of("\r\n", mail.find('\n', closing));
    if (epilogueText != std::string::npos &&
        mail.find("\r\n\r\n", epilogueText) + 4 < mail.find_last_not_of("\r\n"))
      continue;
    // A bounce that carries the returned mail behind its closing boundary ends as that mail does.
    if (mail.find("\r\n\r\nDelivered-To: ", mail.rfind("--" + boundary + "--")) !=
        std::string::npos)
      continue;
    ++checked;
    EXPECT_EQ(SaveWithSlack(mail, old, boundary, false), mail) << file;
    EXPECT_EQ(SaveWithSlack(mail, longOld, boundary, true), mail) << file;
  }
  EXPECT_GT(checked, 100u) << "too few corpus multipart mails with a clear end";
}

// A mail the scan ended at a line that holds a byte no text holds (`scanEnd` into `mail`), with
// random bytes and a NUL behind it: the re-reader decides whether that line ended it.
struct ScanEndRow {
  const char* name;
  std::string mail;
  std::size_t scanEnd;
  std::string boundary;
  std::string saved;
};

void PrintTo(const ScanEndRow& row, std::ostream* out) {
  *out << row.name;
}

class ScanEndTest : public testing::TestWithParam<ScanEndRow> {};

TEST_P(ScanEndTest, KeepsTheMailsOwnLines) {
  const ScanEndRow& row = GetParam();
  constexpr std::uint64_t kStart = 1024;
  MailRecord record;
  record.boundary = row.boundary;
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = kStart;
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = kStart + row.scanEnd;
  record.PublishBody(std::move(body));
  const std::string binary = "\xa8\xaa\x1b\x01)\x1d\xa6\x93\xf1" + std::string(1, '\0');
  EXPECT_EQ(ReadBackFromImage(kStart, row.mail + binary, record), row.saved);
}

const std::string kStrayLine = "Totals for March\x1f see the sheet.\r\n";
const std::string kStrayMail = kMail + kStrayLine + "Thanks,\r\nAnn\r\n";
const std::string kStrayMultipart = kMultipart + kStrayLine + "--b--\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, ScanEndTest,
    testing::Values(ScanEndRow{"AStrayControlByteInPlainText", kStrayMail, kMail.size(), "",
                               kStrayMail},
                    ScanEndRow{"AStrayControlByteInAPart", kStrayMultipart, kMultipart.size(), "b",
                               kStrayMultipart},
                    // A line of many control bytes is binary data that begins behind the mail.
                    ScanEndRow{"ControlBytesThroughout",
                               kMail + "a\x01"
                                       "b\x02"
                                       "c\x03"
                                       "d\x04"
                                       "e\x05"
                                       "f\x06"
                                       "g\x07"
                                       "h\x08\r\n",
                               kMail.size(), "", kMail}),
    [](const testing::TestParamInfo<ScanEndRow>& row) { return row.param.name; });

// A mail whose last line has no line break, the scan having ended it before that line: the
// line is the mail's where its file ends there (zeros up to the sector's end), not where it runs
// up to a sector's end as old bytes do.
struct LastLineRow {
  const char* name;
  std::size_t lastLineLength;  // the last line is padded with words to this length
  bool endsInsideASector;      // else it runs up to the sector's end
  bool kept;
};

void PrintTo(const LastLineRow& row, std::ostream* out) {
  *out << row.name;
}

class LastLineTest : public testing::TestWithParam<LastLineRow> {};

TEST_P(LastLineTest, KeepsTheLastLineOfAFile) {
  const LastLineRow& row = GetParam();
  constexpr std::uint64_t kStart = 1024;
  const std::string head = kHead + "Hi,\r\n\r\n";
  std::string line = "-Me";
  while (line.size() < row.lastLineLength) line += " and more";
  line.resize(row.lastLineLength);
  const std::size_t sectorEnd = 512 - (kStart + head.size()) % 512;
  if (!row.endsInsideASector) line.resize(sectorEnd, 'x');
  MailRecord record;
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = kStart;
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = kStart + head.size();
  record.PublishBody(std::move(body));
  EXPECT_EQ(ReadBackFromImage(kStart, head + line, record), row.kept ? head + line : head);
}

INSTANTIATE_TEST_SUITE_P(Rules, LastLineTest,
                         testing::Values(LastLineRow{"ShortLastLine", 3, true, true},
                                         LastLineRow{"LongLastLine", 300, true, true},
                                         LastLineRow{"UpToTheSectorsEnd", 3, false, false}),
                         [](const testing::TestParamInfo<LastLineRow>& row) {
                           return row.param.name;
                         });

// A last line without a line break that the scan ended the mail in front of, running into
// binary data: a line of base64 longer than the look behind the mail's end, or one that runs
// across a cluster's end, is read through to where the data begins.
struct LongLastLineRow {
  const char* name;
  std::size_t lineLength;
  std::size_t lineStartInCluster;  // where the line begins in its cluster
  std::string behind;              // the bytes right behind the line
  std::size_t kept;                // the line's characters the mail keeps
};

void PrintTo(const LongLastLineRow& row, std::ostream* out) {
  *out << row.name;
}

class LongLastLineTest : public testing::TestWithParam<LongLastLineRow> {};

TEST_P(LongLastLineTest, ReadsTheLineToWhereTheDataBegins) {
  const LongLastLineRow& row = GetParam();
  // A multipart whose closing boundary has not come: its text is left open.
  const std::string head = kMultipart;
  const std::uint64_t start = 2 * kClusterBytes + row.lineStartInCluster - head.size();
  std::string line;
  while (line.size() < row.lineLength) line += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo";
  line.resize(row.lineLength);
  MailRecord record;
  record.boundary = "b";
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = start;
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = start + head.size();
  record.PublishBody(std::move(body));
  EXPECT_EQ(ReadBackFromImage(start, head + line + row.behind, record),
            head + line.substr(0, row.kept));
}

const std::string kBinary = "\xf4\x01\x9c\x80\x02\xe1\x7f\x90";

INSTANTIATE_TEST_SUITE_P(
    Rules, LongLastLineTest,
    testing::Values(LongLastLineRow{"AShortLineIntoData", 100, 100, kBinary, 100},
                    LongLastLineRow{"ALineLongerThanTheLookIntoData", 9000, 0, kBinary, 9000},
                    LongLastLineRow{"ALineAcrossAClusterEndIntoData", 3000, 2048, kBinary, 3000},
                    // Random bytes behind a line cut at the cluster's end may begin with a few
                    // printable ones: they are no part of it.
                    LongLastLineRow{"ALineCutAtTheClusterEnd", 2048, 2048, "AB" + kBinary, 2048}),
    [](const testing::TestParamInfo<LongLastLineRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
