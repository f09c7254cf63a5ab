#include "output/preview_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scan/lines/mime_header.h"
#include "support/corpus_manifest.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"
#include "text/ascii.h"
#include "text/code_page.h"

namespace quillon {
namespace {

using test::RowName;
// Dates and untagged text in these tests are Western European.
const RenderOptions kWestern{1252};

using test::CrLf;

// --- FormatSize ---------------------------------------------------------------------------------

struct SizeRow {
  const char* name;
  std::int64_t size;
  std::u16string text;
};

class Sizes : public ::testing::TestWithParam<SizeRow> {};

TEST_P(Sizes, ReadAsBytesKilobytesOrMegabytes) {
  EXPECT_EQ(FormatSize(GetParam().size), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(PreviewText, Sizes,
                         ::testing::Values(SizeRow{"Negative", -1, u""}, SizeRow{"Zero", 0, u""},
                                           SizeRow{"One", 1, u"1 B"},
                                           SizeRow{"FiveHundred", 500, u"500 B"},
                                           SizeRow{"Exactly1024", 1024, u"1024 B"},
                                           SizeRow{"Above1024", 1025, u"1.0 KB"},
                                           SizeRow{"Exactly1MiB", 1048576, u"1024.0 KB"},
                                           SizeRow{"Above1MiB", 1048577, u"1.0 MB"},
                                           SizeRow{"TwoMillion", 2048000, u"2.0 MB"},
                                           SizeRow{"Exactly1GiB", 1073741824, u"1024.0 MB"},
                                           SizeRow{"Above1GiB", 1073741825, u""},
                                           SizeRow{"Huge", std::int64_t{1} << 40, u""}),
                         RowName{});

// --- BuildPreviewText ---------------------------------------------------------------------------

const std::string kHead = CrLf(
    "Received: from relay.example.org by mx.example.com; Mon, 9 Mar 2009 10:11:12 +0800\n"
    "From: Alice <alice@example.org>\n"
    "To: Bob <bob@example.com>\n"
    "Date: Mon, 9 Mar 2009 10:11:12 +0800\n");

std::string PlainMail(std::string_view contentType, std::string_view body) {
  return kHead + CrLf("Content-Type: " + std::string(contentType) + "\n\n") + std::string(body);
}

const std::u16string kRule = u"\r\n" + std::u16string(60, u'-') + u"\r\n\r\n</pre>";

TEST(PreviewText, ListsTheAttachmentsAboveTheBody) {
  auto record = std::make_shared<MailRecord>();
  PartEntry small;
  small.nameText = u"notes.txt";
  small.size = 500;
  record->attachments.push_back(small);
  MailBody body;
  PartEntry big;
  big.nameText = u"pictures <1>.zip";
  big.size = 2048000;
  body.parts.push_back(big);
  record->PublishBody(body);

  const std::u16string text =
      BuildPreviewText(*record, PlainMail("text/plain; charset=us-ascii", "Hi\r\n"), kWestern);
  EXPECT_EQ(text,
            u"<pre>Attachment: notes.txt, Size: 500 B\r\n"
            u"Attachment: pictures &lt;1&gt;.zip, Size: 2.0 MB\r\n" +
                kRule + u"<pre>Hi\r\n</pre>");
}

TEST(PreviewText, AMailWithoutAttachmentsHasNoRule) {
  const std::u16string text =
      BuildPreviewText(MailRecord(), PlainMail("text/plain", "Hi\r\n"), kWestern);
  EXPECT_EQ(text, u"<pre>Hi\r\n</pre>");
}

TEST(PreviewText, TheHtmlPartWinsAndStandsAsItIs) {
  const std::string mail =
      kHead + CrLf(
                  "Content-Type: multipart/alternative; boundary=\"b\"\n\n"
                  "--b\nContent-Type: text/plain\n\nplain words\n"
                  "--b\nContent-Type: text/html\n\n<p>rich <b>words</b></p>\n</html>\n--b--\n");
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail, kWestern), u"<p>rich <b>words</b></p>\r\n");
}

TEST(PreviewText, PlainTextCannotAddMarkup) {
  const std::u16string text = BuildPreviewText(
      MailRecord(), PlainMail("text/plain", "<script>alert(1)</script> & </pre><b>\r\n"), kWestern);
  EXPECT_EQ(text,
            u"<pre>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &lt;/pre&gt;&lt;b&gt;\r\n</pre>");
}

TEST(PreviewText, WithoutATextPartShowsTheRawTextUpToTheNextReturnPath) {
  const std::string mail =
      kHead + CrLf("\nfirst <line>\nsecond\nReturn-Path: <next@example.org>\nmore\n");
  // From the blank line up to and including the R of "Return-Path".
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail, kWestern),
            u"<pre>\r\n\r\nfirst &lt;line&gt;\r\nsecond\r\nR</pre>");
}

TEST(PreviewText, WithoutATextPartOrAnEndMarkerStopsOneByteShortOfTheEnd) {
  const std::string mail = kHead + CrLf("\nonly text\n");
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail, kWestern), u"<pre>\r\n\r\nonly text\r</pre>");
}

TEST(PreviewText, NothingToShowGivesAnEmptyDocument) {
  auto record = std::make_shared<MailRecord>();
  PartEntry attachment;
  attachment.nameText = u"a.bin";
  attachment.size = 1;
  record->attachments.push_back(attachment);
  // A mail that could not be read back shows nothing, not even its attachments.
  EXPECT_EQ(BuildPreviewText(*record, "", kWestern), u"");
  // No blank line behind the header.
  EXPECT_EQ(BuildPreviewText(*record, kHead, kWestern), u"");
}

struct CharsetRow {
  const char* name;
  std::string mail;
  std::u16string expected;
};

class Charsets : public ::testing::TestWithParam<CharsetRow> {};

TEST_P(Charsets, ConvertTheBodyByItsOwnCharset) {
  EXPECT_EQ(BuildPreviewText(MailRecord(), GetParam().mail, kWestern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    PreviewText, Charsets,
    ::testing::Values(
        CharsetRow{"Utf8Parameter", PlainMail("text/plain; charset=utf-8", "caf\xC3\xA9\r\n"),
                   u"<pre>caf\u00E9\r\n</pre>"},
        CharsetRow{"QuotedGb2312Parameter",
                   PlainMail("text/plain; charset=\"gb2312\"", "\xD6\xD0\xCE\xC4\r\n"),
                   u"<pre>\u4E2D\u6587\r\n</pre>"},
        CharsetRow{"ParameterOnAFoldedLine",
                   kHead + CrLf("Content-Type: text/plain;\n\tcharset=utf-8\n\n") + "\xC3\xA9\r\n",
                   u"<pre>\u00E9\r\n</pre>"},
        CharsetRow{"NoCharsetIsTheAnsiCodePage", PlainMail("text/plain", "caf\xE9\r\n"),
                   u"<pre>caf\u00E9\r\n</pre>"},
        CharsetRow{
            "HtmlMetaCharset",
            PlainMail("text/html", "<html><head><meta charset=\"utf-8\"></head>\xC3\xA9</html>"),
            u"<html><head><meta charset=\"utf-8\"></head>\u00E9"},
        CharsetRow{"HtmlMetaContentCharset",
                   PlainMail("text/html",
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=gb2312\">\xD6\xD0</html>"),
                   u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                   u"\u4E2D"},
        CharsetRow{
            "PartParameterBeatsMeta",
            PlainMail("text/html; charset=utf-8", "<meta charset=\"gb2312\">\xC3\xA9</html>"),
            u"<meta charset=\"gb2312\">\u00E9"}),
    RowName{});

// --- The text part ends at the mail's own boundary lines -----------------------------------------

struct PartRow {
  const char* name;
  std::string mail;
  std::string boundary;  // as the scan noted it
  std::u16string expected;
};

void PrintTo(const PartRow& row, std::ostream* out) {
  *out << row.name;
}

class TextParts : public ::testing::TestWithParam<PartRow> {};

TEST_P(TextParts, ShowTheTextAndNothingOfTheOtherParts) {
  MailRecord record;
  record.boundary = GetParam().boundary;
  EXPECT_EQ(BuildPreviewText(record, GetParam().mail, kWestern), GetParam().expected);
}

const std::string kPdfPart = CrLf(
    "Content-Type: application/pdf; name=\"r.pdf\"\n"
    "Content-Transfer-Encoding: base64\n"
    "Content-Disposition: attachment; filename=\"r.pdf\"\n\n"
    "JVBERi0xLjQKJcfsj6IKMSAwIG9iago8PC9UeXBlL0NhdGFsb2c+PgplbmRvYmoK\n");

INSTANTIATE_TEST_SUITE_P(
    PreviewText, TextParts,
    ::testing::Values(
        PartRow{"PlainPartBeforeABase64File",
                kHead +
                    CrLf("Content-Type: multipart/mixed; boundary=\"=_outer_77\"\n\n"
                         "--=_outer_77\nContent-Type: text/plain; charset=us-ascii\n\n"
                         "Please find the report.\n--=_outer_77\n") +
                    kPdfPart + CrLf("--=_outer_77--\n"),
                "=_outer_77", u"<pre>Please find the report.</pre>"},
        PartRow{"HtmlPartWithoutItsClosingTag",
                kHead +
                    CrLf("Content-Type: multipart/mixed; boundary=\"m\"\n\n"
                         "--m\nContent-Type: text/html; charset=utf-8\n"
                         "Content-Transfer-Encoding: quoted-printable\n\n"
                         "<p>caf=C3=A9</p>\n--m\n") +
                    kPdfPart + CrLf("--m--\n"),
                "m", u"<p>caf\u00E9</p>"},
        PartRow{"HtmlOfANestedAlternativeWins",
                kHead +
                    CrLf("Content-Type: multipart/mixed; boundary=out\n\n"
                         "--out\nContent-Type: multipart/alternative; boundary=in\n\n"
                         "--in\nContent-Type: text/plain\n\nplain words\n"
                         "--in\nContent-Type: text/html\n\n<i>rich</i>\n--in--\n"
                         "--out\n") +
                    kPdfPart + CrLf("--out--\n"),
                "out", u"<i>rich</i>"},
        // A text file among the parts is an attachment, not the mail's text.
        PartRow{"TextAttachmentIsNotTheBody",
                kHead + CrLf("Content-Type: multipart/mixed; boundary=b\n\n"
                             "--b\nContent-Type: text/plain; name=notes.txt\n"
                             "Content-Disposition: attachment\n\nnotes\n"
                             "--b\nContent-Type: text/plain\n\nthe letter\n--b--\n"),
                "b", u"<pre>the letter</pre>"},
        // Only a file: the text behind the header up to the mail's own first boundary line.
        PartRow{"NoTextPartEndsAtTheOwnBoundary",
                kHead +
                    CrLf("Content-Type: multipart/mixed; boundary=\"q1\"\n\n"
                         "This is a multi-part message.\n--q1\n") +
                    kPdfPart + CrLf("--q1--\n"),
                "q1", u"<pre>\r\n\r\nThis is a multi-part message.\r\n</pre>"},
        // The header read back lacks the boundary; the one the scan noted still ends the part.
        PartRow{"BoundaryFromTheRecord",
                kHead +
                    CrLf("Content-Type: multipart/mixed\n\n"
                         "--r7\nContent-Type: text/plain\n\nkept\n--r7\n") +
                    kPdfPart,
                "r7", u"<pre>kept</pre>"},
        PartRow{"LiteralBoundaryLineIsTheLastFallback",
                kHead + CrLf("\nbefore\n--boundary\nafter\n"), "",
                u"<pre>\r\n\r\nbefore\r\n</pre>"}),
    RowName{});

// Over the real mails of the corpus: a multipart mail's preview shows none of its own boundary
// lines (they would mean the text ran on into the parts behind it).
TEST(PreviewText, CorpusPreviewsHoldNoBoundaryLineOfTheirMail) {
  const std::vector<test::CorpusManifestRow> rows = test::CorpusManifest();
  if (rows.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t multipart = 0;
  std::vector<std::string> showing;
  for (const test::CorpusManifestRow& row : rows) {
    // Messages split from a mailbox may carry the next message behind them.
    if (!row.multipart || row.Malformed()) continue;
    const std::string mail = test::ReadFileBytes(row.file);
    std::vector<MimeParameter> boundaries;
    const std::string lowered = AsciiLowered(mail);
    for (std::size_t at = lowered.find("content-type:"); at != std::string::npos;
         at = lowered.find("content-type:", at + 1)) {
      const std::size_t blank = mail.find("\r\n\r\n", at);
      const MimeHeaderValue type = ParseMimeHeaderValue(
          std::string_view(mail).substr(at + 13, blank == std::string::npos ? 200 : blank - at));
      if (const MimeParameter* boundary = type.Find("boundary");
          boundary && boundary->value.size() >= 8 && type.token.starts_with("multipart/"))
        boundaries.push_back(*boundary);
    }
    if (boundaries.empty()) continue;
    ++multipart;
    const std::u16string preview = BuildPreviewText(MailRecord(), mail, kWestern);
    for (const MimeParameter& boundary : boundaries) {
      const std::string line = "\n--" + boundary.value;
      if (preview.find(std::u16string(line.begin(), line.end())) != std::u16string::npos) {
        showing.push_back(row.file.filename().string());
        break;
      }
    }
  }
  EXPECT_GT(multipart, 100u);
  if (!showing.empty())
    ADD_FAILURE() << showing.size() << " previews show boundary lines, first " << showing.front();
}

// --- Header block
// ----------------------------------------------------------------------------------

TEST(PreviewText, HeaderBlockShowsTheDecodedFieldsWithTheirAddresses) {
  MailRecord record;
  record.SetFromText(u"\"J\u00F6rg Ma\u00DF\" <joerg@example.org>");
  record.SetToText(u"Bob <bob@example.com>");
  record.cc = "=?utf-8?q?Ren=C3=A9e?= <renee@example.net>";
  record.date = "2009-03-09 10:11:12";
  record.SetSubjectText(u"\u041A\u0430\u0437\u0430\u043D\u044C & more");
  EXPECT_EQ(PreviewHeaderBlock(record, kWestern),
            u"<table cellspacing=\"0\" cellpadding=\"1\">"
            u"<tr><td><b>From:</b>&nbsp;</td><td>\"J\u00F6rg Ma\u00DF\" &lt;joerg@example.org&gt;"
            u"</td></tr>"
            u"<tr><td><b>To:</b>&nbsp;</td><td>Bob &lt;bob@example.com&gt;</td></tr>"
            u"<tr><td><b>Cc:</b>&nbsp;</td><td>\"Ren\u00E9e\" &lt;renee@example.net&gt;</td></tr>"
            u"<tr><td><b>Date:</b>&nbsp;</td><td>2009-03-09 10:11:12</td></tr>"
            u"<tr><td><b>Subject:</b>&nbsp;</td><td>\u041A\u0430\u0437\u0430\u043D\u044C &amp; "
            u"more</td></tr></table><hr>");
}

TEST(PreviewText, HeaderBlockLeavesOutWhatTheMailLacks) {
  MailRecord record;
  record.SetSubjectText(u"only this");
  const std::u16string block = PreviewHeaderBlock(record, kWestern);
  EXPECT_NE(block.find(u"Subject:"), std::u16string::npos);
  for (const char16_t* field : {u"From:", u"To:", u"Cc:", u"Date:"})
    EXPECT_EQ(block.find(field), std::u16string::npos) << std::string(field, field + 3);
  EXPECT_EQ(PreviewHeaderBlock(MailRecord(), kWestern), u"");
}

TEST(PreviewText, DocumentIsTheHeaderBlockThenTheBody) {
  MailRecord record;
  record.SetSubjectText(u"s");
  const std::string mail = PlainMail("text/plain", "Hi\r\n");
  EXPECT_EQ(BuildPreviewDocument(record, mail, kWestern),
            PreviewHeaderBlock(record, kWestern) + BuildPreviewText(record, mail, kWestern));
  // A mail that cannot be read back still shows what its record knows.
  EXPECT_EQ(BuildPreviewDocument(record, "", kWestern), PreviewHeaderBlock(record, kWestern));
}

}  // namespace
}  // namespace quillon
