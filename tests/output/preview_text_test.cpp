#include "output/preview_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/scan_harness.h"
#include "support/test_helpers.h"
#include "text/code_page.h"

namespace quillon {
namespace {

using test::RowName;
using AnsiCodePageScope = test::ScopedAnsiCodePage;

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
      BuildPreviewText(*record, PlainMail("text/plain; charset=us-ascii", "Hi\r\n"));
  EXPECT_EQ(text,
            u"<pre>Attachment: notes.txt, Size: 500 B\r\n"
            u"Attachment: pictures &lt;1&gt;.zip, Size: 2.0 MB\r\n" +
                kRule + u"<pre>Hi\r\n</pre>");
}

TEST(PreviewText, AMailWithoutAttachmentsHasNoRule) {
  const std::u16string text = BuildPreviewText(MailRecord(), PlainMail("text/plain", "Hi\r\n"));
  EXPECT_EQ(text, u"<pre>Hi\r\n</pre>");
}

TEST(PreviewText, TheHtmlPartWinsAndStandsAsItIs) {
  const std::string mail =
      kHead + CrLf(
                  "Content-Type: multipart/alternative; boundary=\"b\"\n\n"
                  "--b\nContent-Type: text/plain\n\nplain words\n"
                  "--b\nContent-Type: text/html\n\n<p>rich <b>words</b></p>\n</html>\n--b--\n");
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail), u"<p>rich <b>words</b></p>\r\n");
}

TEST(PreviewText, PlainTextCannotAddMarkup) {
  const std::u16string text = BuildPreviewText(
      MailRecord(), PlainMail("text/plain", "<script>alert(1)</script> & </pre><b>\r\n"));
  EXPECT_EQ(text,
            u"<pre>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &lt;/pre&gt;&lt;b&gt;\r\n</pre>");
}

TEST(PreviewText, WithoutATextPartShowsTheRawTextUpToTheNextReturnPath) {
  const std::string mail =
      kHead + CrLf("\nfirst <line>\nsecond\nReturn-Path: <next@example.org>\nmore\n");
  // From the blank line up to and including the R of "Return-Path".
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail),
            u"<pre>\r\n\r\nfirst &lt;line&gt;\r\nsecond\r\nR</pre>");
}

TEST(PreviewText, WithoutATextPartOrAnEndMarkerStopsOneByteShortOfTheEnd) {
  const std::string mail = kHead + CrLf("\nonly text\n");
  EXPECT_EQ(BuildPreviewText(MailRecord(), mail), u"<pre>\r\n\r\nonly text\r</pre>");
}

TEST(PreviewText, NothingToShowGivesAnEmptyDocument) {
  auto record = std::make_shared<MailRecord>();
  PartEntry attachment;
  attachment.nameText = u"a.bin";
  attachment.size = 1;
  record->attachments.push_back(attachment);
  // A mail that could not be read back shows nothing, not even its attachments.
  EXPECT_EQ(BuildPreviewText(*record, ""), u"");
  // No blank line behind the header.
  EXPECT_EQ(BuildPreviewText(*record, kHead), u"");
}

struct CharsetRow {
  const char* name;
  std::string mail;
  std::u16string expected;
};

class Charsets : public ::testing::TestWithParam<CharsetRow> {};

TEST_P(Charsets, ConvertTheBodyByItsOwnCharset) {
  AnsiCodePageScope western(1252);
  EXPECT_EQ(BuildPreviewText(MailRecord(), GetParam().mail), GetParam().expected);
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

}  // namespace
}  // namespace quillon
