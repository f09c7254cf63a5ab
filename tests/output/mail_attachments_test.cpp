#include "output/mail_attachments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/corpus_manifest.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

// File names without a charset in these tests are Western European.
const RenderOptions kWestern{1252};

using test::CrLf;
using test::RowName;

const std::string kTop = CrLf(
    "From: Alice <alice@example.org>\n"
    "Subject: files\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"=_b\"\n\n"
    "--=_b\nContent-Type: text/plain\n\nthe letter\n");

std::string MailWith(const std::string& part, bool closed = true) {
  return kTop + CrLf("--=_b\n" + part) + (closed ? CrLf("--=_b--\n") : std::string());
}

struct AttachmentRow {
  const char* name;
  std::string mail;
  std::u16string fileName;
  std::string bytes;
  bool complete;
};

void PrintTo(const AttachmentRow& row, std::ostream* out) {
  *out << row.name;
}

class OneAttachment : public ::testing::TestWithParam<AttachmentRow> {};

TEST_P(OneAttachment, IsNamedAndDecoded) {
  const AttachmentRow& row = GetParam();
  const std::vector<MailAttachment> attachments = ListAttachments(row.mail, MailRecord(), kWestern);
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments[0].fileName, row.fileName);
  EXPECT_EQ(DecodeAttachment(row.mail, attachments[0]), row.bytes);
  EXPECT_EQ(attachments[0].complete, row.complete);
}

INSTANTIATE_TEST_SUITE_P(
    MailAttachments, OneAttachment,
    ::testing::Values(
        AttachmentRow{"Base64",
                      MailWith("Content-Type: application/pdf; name=\"report.pdf\"\n"
                               "Content-Transfer-Encoding: base64\n"
                               "Content-Disposition: attachment; filename=\"report.pdf\"\n\n"
                               "JVBERi0x\nLjQK\n"),
                      u"report.pdf", "%PDF-1.4\n", true},
        // RFC 2045 6.7: "=" at a line end is a soft break, "=3D" an equals sign.
        AttachmentRow{"QuotedPrintable",
                      MailWith("Content-Type: text/csv; name=sums.csv\n"
                               "Content-Transfer-Encoding: Quoted-Printable\n\n"
                               "a=3D1;caf=C3=A9;lo=\nng\n"),
                      u"sums.csv", "a=1;caf\xC3\xA9;long", true},
        AttachmentRow{"SevenBitAsItStands",
                      MailWith("Content-Type: text/plain\n"
                               "Content-Disposition: attachment; filename=notes.txt\n\n"
                               "line one\nline two\n"),
                      u"notes.txt", "line one\r\nline two", true},
        AttachmentRow{"EncodedWordName",
                      MailWith("Content-Type: image/png; name=\"=?utf-8?q?K=C3=BCste.png?=\"\n"
                               "Content-Transfer-Encoding: base64\n\niVBORw==\n"),
                      u"K\u00FCste.png", "\x89PNG", true},
        AttachmentRow{"Rfc2231Name",
                      MailWith("Content-Type: application/octet-stream\n"
                               "Content-Disposition: attachment;\n"
                               " filename*=utf-8''%E5%A0%B1%E5%91%8A.doc\n\nxy\n"),
                      u"\u5831\u544A.doc", "xy", true},
        // A name must not lead out of the folder the user chose.
        AttachmentRow{"PathInTheName",
                      MailWith("Content-Type: application/octet-stream; name=\"../../.bashrc\"\n\n"
                               "x\n"),
                      u"_. .. .bashrc", "x", true},
        AttachmentRow{"NamelessImage",
                      MailWith("Content-Type: image/gif\nContent-Transfer-Encoding: base64\n\n"
                               "R0lGODlh\n"),
                      u"attachment-1.bin", "GIF89a", true},
        AttachmentRow{"AttachedMessage",
                      MailWith("Content-Type: message/rfc822\n\nSubject: inner\n\nhi\n"),
                      u"attachment-1.eml", "Subject: inner\r\n\r\nhi", true},
        AttachmentRow{"NameOfDotsOnly",
                      MailWith("Content-Type: application/zip; name=\"..\"\n\nPK\n"),
                      u"attachment-1.bin", "PK", true},
        // The mail was cut inside the file: what is there is still offered, marked incomplete.
        AttachmentRow{"CutShort",
                      MailWith("Content-Type: application/pdf; name=a.pdf\n"
                               "Content-Transfer-Encoding: base64\n\nJVBERi0x\n",
                               false),
                      u"a.pdf", "%PDF-1", false}),
    RowName{});

TEST(MailAttachments, TextPartsOfTheMailAreNotAttachments) {
  const std::string mail = CrLf(
      "Content-Type: multipart/alternative; boundary=a\n\n"
      "--a\nContent-Type: text/plain\n\nplain\n"
      "--a\nContent-Type: text/html\n\n<p>html</p>\n"
      "--a\n\nno type at all\n--a--\n");
  EXPECT_TRUE(ListAttachments(mail, MailRecord(), kWestern).empty());
  EXPECT_TRUE(ListAttachments(CrLf("Subject: x\n\nplain mail\n"), MailRecord(), kWestern).empty());
}

TEST(MailAttachments, SeveralInTheOrderTheyStandWithNumbersForTheNameless) {
  const std::string mail = MailWith(
      "Content-Type: image/png\n\np1\n--=_b\n"
      "Content-Type: application/pdf; name=b.pdf\n\np2\n--=_b\n"
      "Content-Type: audio/ogg\n\np3\n");
  const std::vector<MailAttachment> attachments = ListAttachments(mail, MailRecord(), kWestern);
  ASSERT_EQ(attachments.size(), 3u);
  EXPECT_EQ(attachments[0].fileName, u"attachment-1.bin");
  EXPECT_EQ(attachments[1].fileName, u"b.pdf");
  EXPECT_EQ(attachments[2].fileName, u"attachment-3.bin");
  EXPECT_EQ(DecodeAttachment(mail, attachments[2]), "p3");
}

TEST(MailAttachments, TheRecordsBoundaryFindsThePartsOfACutHeader) {
  const std::string mail = CrLf(
      "Subject: cut\nContent-Type: multipart/mixed\n\n"
      "--rec\nContent-Type: text/plain\n\nletter\n"
      "--rec\nContent-Type: application/pdf; name=r.pdf\n\nPDF\n--rec--\n");
  EXPECT_TRUE(
      ListAttachments(mail, MailRecord(), kWestern).empty());  // one multipart leaf, no file
  MailRecord record;
  record.boundary = "rec";
  const std::vector<MailAttachment> attachments = ListAttachments(mail, record, kWestern);
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments[0].fileName, u"r.pdf");
  EXPECT_EQ(DecodeAttachment(mail, attachments[0]), "PDF");
}

TEST(MailAttachments, ARangeOutsideTheTextGivesNothing) {
  MailAttachment attachment;
  attachment.contentBegin = 2;
  attachment.contentEnd = 10;
  EXPECT_EQ(DecodeAttachment("short", attachment), "");
}

// --- The corpus: what a base64 attachment holds is base64 and nothing of the boundary lines ----

bool IsBase64Text(std::string_view text) {
  for (char c : text) {
    const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
    if (!alphabet && c != '\r' && c != '\n' && c != ' ' && c != '\t') return false;
  }
  return true;
}

TEST(MailAttachments, CorpusBase64AttachmentsHoldOnlyBase64) {
  const std::vector<test::CorpusManifestRow> rows = test::CorpusManifest();
  if (rows.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t checked = 0;
  std::vector<std::string> leaking;
  for (const test::CorpusManifestRow& row : rows) {
    // A file that is not multipart may run on into whatever follows it in its mailbox: only
    // boundary lines prove where a part ends.
    if (!row.multipart || row.Malformed()) continue;
    const std::string name = row.file.filename().string();
    const std::string mail = test::ReadFileBytes(row.file);
    for (const MailAttachment& attachment : ListAttachments(mail, MailRecord(), kWestern)) {
      if (attachment.transferEncoding != "base64" || !attachment.complete) continue;
      ++checked;
      const std::string_view content = std::string_view(mail).substr(
          attachment.contentBegin, attachment.contentEnd - attachment.contentBegin);
      if (!IsBase64Text(content)) leaking.push_back(name);
    }
  }
  EXPECT_GT(checked, 20u);
  if (!leaking.empty())
    ADD_FAILURE() << leaking.size() << " attachments hold other text, first in " << leaking.front();
}

}  // namespace
}  // namespace quillon
