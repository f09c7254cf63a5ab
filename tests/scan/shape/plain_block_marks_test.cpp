// Plain header blocks, with no trace line, identity or MIME, where old bytes stand right against
// them: glued behind a line of old text, which only the name of a mail program vouches for, or
// behind the cut name of a delivery report's field; and a block that ends where old bytes begin
// with a blank, which is no fold of its last field.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

struct GluedPlainRow {
  const char* name;
  std::string lead;   // old bytes the block's first line follows, on the same line
  std::string block;  // the mail, from its first line
  bool found;
};

void PrintTo(const GluedPlainRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedPlainBlockTest : public testing::TestWithParam<GluedPlainRow> {};

TEST_P(GluedPlainBlockTest, FoundWhereItsMarksSay) {
  const GluedPlainRow& row = GetParam();
  constexpr std::uint64_t kAt = 8192 + 300;  // away from a sector start
  ImageBuilder image;
  image.Put(kAt - row.lead.size(), row.lead).Put(kAt, row.block).Resize(kAt + 64 * 1024);
  for (const unsigned threads : {1u, 3u}) {
    ScanOptions options;
    options.threads = threads;
    const auto records = ScanBytes(image.Bytes(), options).records;
    if (!row.found) {
      EXPECT_TRUE(records.empty()) << threads << " threads";
      continue;
    }
    ASSERT_EQ(records.size(), 1u) << threads << " threads";
    EXPECT_EQ(records[0]->StartByte(), kAt) << threads << " threads";
    EXPECT_EQ(records[0]->SubjectText(), u"Plans");
  }
}

const std::string kLogLead = "2008-04-16 10:26:58 [INFO] Be summer evening north council wh";
const std::string kMarkupLead = "</span>\r\n<div class=\"report\">Green pape";
// A returned mail's report part, cut inside the name of its third field.
const std::string kReportLead = CrLf(
                                    "Final-Recipient: rfc822; dan@example.net\n"
                                    "Original-Recipient: rfc822;dan@example.net\n") +
                                "Actio";

// What a script that sends mail writes: no trace, identity or MIME.
std::string ScriptMail(std::string_view program) {
  return CrLf(
             "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
             "To: dan@example.net\n"
             "From: Carol Example <carol@example.org>\n"
             "Subject: Plans\n") +
         std::string(program) + CrLf("\nSee you there.\n");
}

const std::string kMimeMail = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "To: Dan Example <dan@example.net>\n"
    "Subject: Plans\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain\n"
    "\n"
    "See you there.\n");

INSTANTIATE_TEST_SUITE_P(
    Leads, GluedPlainBlockTest,
    testing::Values(
        GluedPlainRow{"MailProgramBehindALogLine", kLogLead,
                      ScriptMail(CrLf("X-Mailer: swaks v20201103\n")), true},
        GluedPlainRow{"UserAgentBehindMarkup", kMarkupLead,
                      ScriptMail(CrLf("User-Agent: Mutt/1.5.21\n")), true},
        GluedPlainRow{"LowerCaseMailProgramBehindMarkup", kMarkupLead,
                      ScriptMail(CrLf("x-mailer: sendmail.pl 2.1\n")), true},
        // A note's From, Date and Subject lines glued into old text are no mail of their own.
        GluedPlainRow{"NoteLinesBehindALogLine", kLogLead, ScriptMail(""), false},
        GluedPlainRow{"MailProgramNamedInTheText", kLogLead,
                      ScriptMail("") + CrLf("X-Mailer: named in the text\n"), false},
        GluedPlainRow{"BehindACutReportField", kReportLead, kMimeMail, true},
        // Indented lines of a script's data behind zeros, the last one cut behind a quoted key.
        GluedPlainRow{"BehindAQuotedKeyOfIndentedData",
                      "ags\": [\"for\", \"river\"],\r\n  {\r\n    \"id\":",
                      CrLf("X-Umid: 1_132725_AEe3iGIAAGS4TOAfWQ3f\n") + kMimeMail, true},
        GluedPlainRow{"BehindACutReportFieldOfTwoWords", CrLf("Action: failed\n") + "Diagnostic-Co",
                      kMimeMail, true}),
    [](const testing::TestParamInfo<GluedPlainRow>& row) { return row.param.name; });

// A header block that ends a file (a mail saved as its header alone) and the old bytes behind it
// in the cluster's slack.
struct SlackRow {
  const char* name;
  std::string slack;
};

void PrintTo(const SlackRow& row, std::ostream* out) {
  *out << row.name;
}

class HeaderAloneBeforeSlackTest : public testing::TestWithParam<SlackRow> {};

const std::string kHeaderAlone = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "Subject: Plans\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-Id: <plans@example.org>\n"
    "To: dan@example.net\n"
    "Mime-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"part-1\"\n");

TEST_P(HeaderAloneBeforeSlackTest, BlockEndsWhereTheOldBytesBegin) {
  const std::string bytes = kHeaderAlone + GetParam().slack;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  ASSERT_TRUE(block.valid);
  EXPECT_EQ(block.headerEnd, kHeaderAlone.size());
}

TEST_P(HeaderAloneBeforeSlackTest, FoundAtItsClusterStart) {
  constexpr std::uint64_t kAt = 4 * 4096;
  ImageBuilder image;
  image.Put(kAt - 9, "old text ").Put(kAt, kHeaderAlone + GetParam().slack).Resize(kAt + 16384);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), kAt);
  EXPECT_EQ(records[0]->SubjectText(), u"Plans");
}

INSTANTIATE_TEST_SUITE_P(
    Slack, HeaderAloneBeforeSlackTest,
    testing::Values(SlackRow{"BinaryBehindABlank", std::string(" \x1f\x08\xbc"
                                                               "a\xcf*{\xdc\x01\x02\x03\r\n",
                                                               15) +
                                                       std::string(200, '\x07')},
                    SlackRow{"Utf16BehindABlank", std::string(" \0w\0o\0r\0d\0s\0\r\0\n\0", 16)},
                    SlackRow{"BinaryBehindATab", std::string("\t\x01\x02\x03\x04\x05\xfe\r\n", 9)}),
    [](const testing::TestParamInfo<SlackRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
