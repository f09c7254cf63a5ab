// The body steps over whole mails, as the scan meets them.
#include "scan/body_steps.h"

#include <gtest/gtest.h>

#include "support/scan_harness.h"
#include "text/base64.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

// Scans one mail (header block and body, written with bare line feeds) and returns its record.
MailRecordPtr ScanMail(const std::string& mail) {
  ImageBuilder image;
  image.Put(700, CrLf("junk\nReceived: from a by b; 1 Jan 2001\n" + mail)).Resize(64 * 1024);
  auto outcome = ScanBytes(image.Bytes());
  EXPECT_EQ(outcome.records.size(), 1u);
  return outcome.records.empty() ? nullptr : outcome.records[0];
}

const std::string kHead = "From: a@example.org\nTo: b@example.org\nDate: 1 Jan 2001 00:00:00\n";

TEST(BodyStepsTest, PlainMailKeepsItsWholeBodyFromTheFirstLine) {
  auto record = ScanMail(kHead + "Subject: s\n\nFirst line\n\nThird line\n");
  ASSERT_TRUE(record);
  const MailBody body = record->Body();
  EXPECT_TRUE(body.closed);
  EXPECT_EQ(body.bodyText, "First line\r\n\r\nThird line");
  EXPECT_EQ(body.contentText, u"First line\r\n\r\nThird line");
  EXPECT_TRUE(body.parts.empty());
}

TEST(BodyStepsTest, QuotedPrintableAndCharsetAreDecoded) {
  auto record = ScanMail(kHead +
                         "Content-Type: text/plain; charset=iso-8859-1\n"
                         "Content-Transfer-Encoding: quoted-printable\n\n"
                         "Caf=E9 cr=E8me, soft=\nbreak\n");
  ASSERT_TRUE(record);
  const MailBody body = record->Body();
  EXPECT_EQ(body.bodyText, "Caf\xE9 cr\xE8me, softbreak");
  EXPECT_EQ(body.contentText, u"Caf\u00E9 cr\u00E8me, softbreak");
}

TEST(BodyStepsTest, MultipartPrefersPlainTextAndListsAttachments) {
  const std::string mail = kHead +
                           "Content-Type: multipart/mixed; boundary=\"outer\"\n\n"
                           "This is a multi-part message in MIME format.\n"
                           "--outer\n"
                           "Content-Type: multipart/alternative;\n\tboundary=\"inner\"\n\n"
                           "--inner\n"
                           "Content-Type: text/html; charset=utf-8\n\n"
                           "<p>Hello <b>HTML</b></p>\n"
                           "--inner\n"
                           "Content-Type: text/plain; charset=utf-8\n"
                           "Content-Transfer-Encoding: base64\n\n"
                           "SGVsbG8gcGxhaW4g5Lit5paH\n"
                           "--inner--\n"
                           "--outer\n"
                           "Content-Type: application/octet-stream; name=\"data.bin\"\n"
                           "Content-Disposition: attachment;\n filename*=utf-8''%E6%95%B0.bin\n"
                           "Content-Transfer-Encoding: base64\n\n"
                           "WlpaWlpaWlpa\nWlpaWg==\n"
                           "--outer\n"
                           "Content-Type: text/plain; name=\"notes.txt\"\n"
                           "Content-Disposition: attachment\n\n"
                           "12345\n"
                           "--outer--\n";
  auto record = ScanMail(mail);
  ASSERT_TRUE(record);
  const MailBody body = record->Body();
  EXPECT_FALSE(body.textIsHtml);
  EXPECT_EQ(body.bodyText, "Hello plain \xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(body.contentText, u"Hello plain \u4E2D\u6587");
  ASSERT_EQ(body.parts.size(), 2u);
  EXPECT_EQ(body.parts[0].nameText, u"\u6570.bin");
  EXPECT_EQ(body.parts[0].size, 13) << "decoded size of the base64 part";
  EXPECT_EQ(body.parts[1].name, "notes.txt");
  EXPECT_EQ(body.parts[1].size, 5);
}

TEST(BodyStepsTest, HtmlOnlyMailGivesTextWithoutTags) {
  auto record = ScanMail(kHead +
                         "Content-Type: text/html; charset=utf-8\n\n"
                         "<html><head><style>p {color: red}</style></head>\n"
                         "<body><p>Fish &amp; chips&nbsp;&#8364;5</p></body></html>\n");
  ASSERT_TRUE(record);
  const MailBody body = record->Body();
  EXPECT_TRUE(body.textIsHtml);
  EXPECT_EQ(body.contentText, u"Fish & chips \u20AC5");
}

TEST(BodyStepsTest, TextStopsGrowingAt262144Bytes) {
  std::string body;
  while (body.size() < 300000) body += std::string(99, 'x') + "\n";
  ImageBuilder image;
  image.Put(700, CrLf("junk\nReceived: a\n" + kHead + "\n" + body)).Resize(1 << 20);
  auto outcome = ScanBytes(image.Bytes());
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(outcome.records[0]->Body().bodyText.size(), kMaxBodyText);
}

// Zeroed slack behind a deleted mail ends its text.
TEST(BodyStepsTest, NulEndsTheText) {
  ImageBuilder image;
  image.Put(700, CrLf("junk\nReceived: a\n" + kHead + "\nOnly line\n"))
      .Put(4096, CrLf("later text\nmore\n"))
      .Resize(8192);
  auto outcome = ScanBytes(image.Bytes());
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(outcome.records[0]->Body().bodyText, "Only line");
}

// The next mail's trace line closes the body of the mail being followed.
TEST(BodyStepsTest, NextMailClosesTheBody) {
  ImageBuilder image;
  image
      .Put(700, CrLf("junk\nReceived: a\n" + kHead + "\nFirst body\nReceived: b\n" + kHead +
                     "\nSecond body\n"))
      .Resize(8192);
  auto outcome = ScanBytes(image.Bytes());
  ASSERT_EQ(outcome.records.size(), 2u);
  EXPECT_EQ(outcome.records[0]->Body().bodyText, "First body");
  EXPECT_EQ(outcome.records[1]->Body().bodyText, "Second body");
}

}  // namespace
}  // namespace quillon
