// The body steps over whole mails, as the scan meets them.
#include "scan/body/body_steps.h"

#include <gtest/gtest.h>

#include <string>

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

namespace quillon {
namespace {

// Scans one mail in either mode; its record, and the names of its MIME attachments.
struct Scanned {
  MailRecordPtr record;
  std::vector<std::string> names;
};

Scanned ScanMailIn(const std::string& mail, bool strict) {
  ImageBuilder image;
  image.Put(700, CrLf("junk\nReceived: from a by b; 1 Jan 2001\n" + mail)).Resize(64 * 1024);
  ScanOptions options;
  options.strict = strict;
  auto outcome = ScanBytes(image.Bytes(), options);
  Scanned scanned;
  if (outcome.records.empty()) return scanned;
  scanned.record = outcome.records[0];
  for (const PartEntry& part : scanned.record->Body().parts) {
    EXPECT_FALSE(part.nameText.empty()) << "never listed without a name";
    scanned.names.push_back(part.name.String());
  }
  return scanned;
}

struct PartsRow {
  std::string name;
  std::string mail;  // behind the trace line, bare line feeds
  std::vector<std::string> attachments;
  std::string bodyText;
};

class PartListingTest : public testing::TestWithParam<std::tuple<PartsRow, bool>> {};

// The mail's own text parts and containers are no attachments; an attachment without a name
// gets one from its type and place, never an empty one. Both modes alike.
TEST_P(PartListingTest, ListsAttachmentsOnlyAndNamesThemAll) {
  const auto& [row, strict] = GetParam();
  const Scanned scanned = ScanMailIn(row.mail, strict);
  ASSERT_TRUE(scanned.record);
  EXPECT_EQ(scanned.names, row.attachments);
  EXPECT_EQ(scanned.record->Body().bodyText, row.bodyText);
}

const std::string kMixed = "Content-Type: multipart/mixed; boundary=\"b\"\n\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, PartListingTest,
    testing::Combine(
        testing::Values(
            PartsRow{"InlineNamedTextIsTheBody",
                     kHead + kMixed +
                         "--b\nContent-Type: text/plain\nContent-Disposition: inline;\n"
                         "\tfilename=\"msg.txt\"\n\nmirror\n"
                         "--b\nContent-Type: text/plain\nContent-Disposition: inline;\n"
                         "\tfilename=\"msg.txt\"\n\nagain\n--b--\n",
                     {"msg.txt"},
                     "mirror"},
            PartsRow{"AlternativesAreNoAttachments",
                     kHead + "Content-Type: multipart/alternative; boundary=\"b\"\n\n"
                             "--b\nContent-Type: text/plain\n\nplain\n"
                             "--b\nContent-Type: text/html\n\n<p>html</p>\n--b--\n",
                     {},
                     "plain"},
            PartsRow{"ContainerWithUnreadableBoundary",
                     kHead + "Content-Type: multipart/report; boundary=\"b\"\n\n"
                             "--b\nContent-Type: multipart/alternative; differences=Content-Type;\n"
                             "boundary=\"inner\"\n\n--inner\nContent-Type: text/plain\n\nlost\n"
                             "--inner--\n"
                             "--b\nContent-Type: message/delivery-status\n\nStatus: 5.0.0\n"
                             "--b--\n",
                     {"attachment-1.txt"},
                     ""},
            PartsRow{"UnnamedAttachmentsByType",
                     kHead + kMixed + "--b\nContent-Type: text/plain\n\nsee attached\n" +
                         "--b\nContent-Type: application/pdf\nContent-Disposition: attachment\n"
                         "\nJVBERi0=\n"
                         "--b\nContent-Type: message/rfc822\n\nFrom: c@x\nTo: d@x\n\ninner\n"
                         "--b\nContent-Type: image/png; name=\"dot.png\"\n\niVBORw0=\n--b--\n",
                     {"attachment-1.pdf", "message-2.eml", "dot.png"},
                     "see attached"},
            PartsRow{"NumberedBehindXAttachmentLines",
                     "X-Attachment: old.doc, 100\n" + kHead + kMixed +
                         "--b\nContent-Type: text/plain\n\nbody\n"
                         "--b\nContent-Type: image/gif\n\nR0lGODlh\n--b--\n",
                     {"attachment-2.gif"},
                     "body"},
            // Of a part's header lines the last naming a field tells; a folded line continues
            // the line above it only; lines past the 64th are not read, but a fold behind them
            // still continues the 64th.
            PartsRow{"LastContentTypeTells",
                     kHead + kMixed + "--b\nContent-Type: text/plain\n\nbody\n" +
                         "--b\nContent-Type: text/plain\nContent-Type: image/png; name=\"a.png\"\n"
                         "\niVBORw0=\n--b--\n",
                     {"a.png"},
                     "body"},
            PartsRow{"FoldJoinsTheLineAboveOnly",
                     kHead + kMixed + "--b\nContent-Type: text/plain\n\nbody\n" +
                         "--b\nContent-Type: application/pdf\nContent-Disposition: attachment\n"
                         "X-Note: a\n filename=\"no.txt\"\n\nJVBERi0=\n--b--\n",
                     {"attachment-1.pdf"},
                     "body"},
            PartsRow{"LinesPastTheCapAreNotRead",
                     kHead + kMixed + "--b\nContent-Type: text/plain\n\nbody\n--b\n" +
                         [] {
                           std::string lines;
                           for (int i = 0; i < 63; ++i)
                             lines += "X-Line: " + std::to_string(i) + "\n";
                           return lines;
                         }() +
                         "Content-Type: image/gif;\n"
                         "Content-Disposition: attachment; filename=\"late.txt\"\n"
                         "\tname=\"kept.gif\"\n\nR0lGODlh\n--b--\n",
                     {"kept.gif"},
                     "body"}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<PartsRow, bool>>& row) {
      return std::get<0>(row.param).name + (std::get<1>(row.param) ? "_Strict" : "_Default");
    });

struct EndRow {
  std::string name;
  std::string behind;  // what lies behind the mail's body, bare line feeds
  std::string defaultText;
};

class TextEndTest : public testing::TestWithParam<EndRow> {};

// The blanks that fill the mail's last line up to its sector's end.
const std::size_t kPad = [] {
  const std::size_t text =
      CrLf("junk\nReceived: from a by b; 1 Jan 2001\n" + kHead + "Subject: first\n\nA body\n")
          .size();
  return (700 + text + 511) / 512 * 512 - 700 - text;
}();

// Without --strict the text ends where the mail ends, as a mail found by its shape ends; with
// it, the classic rule follows the body to the next trace line, as it always did.
TEST_P(TextEndTest, DefaultModeEndsTheTextWithTheMail) {
  std::string mail =
      CrLf("junk\nReceived: from a by b; 1 Jan 2001\n" + kHead + "Subject: first\n\nA body\n");
  // What follows the mail begins at a sector start, as a file of its own would.
  mail.resize((700 + mail.size() + 511) / 512 * 512 - 700, ' ');
  mail.replace(mail.size() - 2, 2, "\r\n");
  mail += CrLf(GetParam().behind);
  ImageBuilder image;
  image.Put(700, mail)
      .Put(16 * 1024, CrLf("junk\nReceived: from c by d; 1 Jan 2001\n" + kHead + "\nlast\n"))
      .Resize(64 * 1024);
  ScanOptions strict;
  strict.strict = true;
  const auto classic = ScanBytes(image.Bytes(), strict);
  const auto shaped = ScanBytes(image.Bytes());
  ASSERT_FALSE(classic.records.empty());
  ASSERT_FALSE(shaped.records.empty());
  const std::string followed = classic.records[0]->Body().bodyText;
  EXPECT_GT(followed.size(), std::string("A body").size()) << "the strict text is unchanged";
  EXPECT_EQ(shaped.records[0]->Body().bodyText, GetParam().defaultText);
  EXPECT_EQ(shaped.records[0]->Body().contentText,
            std::u16string(GetParam().defaultText.begin(), GetParam().defaultText.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextEndTest,
    testing::Values(EndRow{"BinaryBytes", "\x01\x02\x03\xff\x10 noise\nmore\x05noise\n",
                           "A body\r\n" + std::string(kPad - 2, ' ')},
                    EndRow{"MailboxSeparator",
                           "\nFrom someone@example.org Sat Jan  1 00:00:00 2000\nnot this mail\n",
                           "A body\r\n" + std::string(kPad - 2, ' ') + "\r\n"}),
    [](const testing::TestParamInfo<EndRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
