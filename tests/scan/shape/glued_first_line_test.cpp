// Mails whose first line follows old bytes directly, opening with a field that delivery agents,
// filters, mail programs' stores, news readers and resends put on top, or with a name in another
// letter case: each is found from that line, whatever old bytes run into it.
#include <gtest/gtest.h>

#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

const std::string kRest = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "To: Dan Example <dan@example.net>\n"
    "Subject: Plans\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-ID: <plans@example.org>\n"
    "\n"
    "See you there.\n");

struct GluedFirstLineRow {
  const char* name;
  std::string lead;               // old bytes the first line follows, on the same line
  std::string firstLine;          // the mail's first line(s), with their line ends
  std::uint64_t at = 8192 + 300;  // where it begins: away from a sector start by default
};

void PrintTo(const GluedFirstLineRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedFirstLineTest : public testing::TestWithParam<GluedFirstLineRow> {};

TEST_P(GluedFirstLineTest, FoundFromItsFirstLine) {
  const GluedFirstLineRow& row = GetParam();
  ImageBuilder image;
  image.Put(row.at - row.lead.size(), row.lead)
      .Put(row.at, row.firstLine + kRest)
      .Resize(row.at + 64 * 1024);
  // One thread walks every chunk in order; more scan later chunks' shapes on workers.
  for (const unsigned threads : {1u, 3u}) {
    ScanOptions options;
    options.threads = threads;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), 1u) << threads << " threads";
    EXPECT_EQ(records[0]->StartByte(), row.at) << threads << " threads";
    EXPECT_EQ(records[0]->SubjectText(), u"Plans");
  }
}

constexpr std::uint64_t kChunk = 1024 * 1024;
const std::string kLogLead = "2008-04-16 10:26:58 [ERROR] Be summer evening north council wh";
const std::string kMarkupLead = "</span>\r\n<em class=\"report\">Narro";
const std::string kProseLead = "old line\r\nis yellow there marble level block; Be garden ";
const std::string kBinaryLead("\x9c\xe1\x01\xfe\x03\xab", 6);

INSTANTIATE_TEST_SUITE_P(
    Leads, GluedFirstLineTest,
    testing::Values(
        GluedFirstLineRow{"LowerCaseTraceBehindALogLine", kLogLead,
                          CrLf("received: from a.example by b.example; Mon, 3 Mar 2008\n")},
        GluedFirstLineRow{"LowerCaseTraceBehindALogLineNearASector", kLogLead,
                          CrLf("received: from a.example by b.example; Mon, 3 Mar 2008\n"),
                          8192 + 4},
        // A chunk boundary inside the first line, and one between the first lines and From.
        GluedFirstLineRow{"LowerCaseTraceAcrossAChunkBoundary", kLogLead,
                          CrLf("received: from a.example by b.example; Mon, 3 Mar 2008\n"),
                          kChunk - 20},
        GluedFirstLineRow{"FromPastTheChunkBoundaryBehindTheFirstLines", kProseLead,
                          CrLf("Resent-From: carol@example.org\nX-Original-To: dan@example.net\n"
                               "Delivered-To: dan@example.net\n"),
                          kChunk - 60},
        GluedFirstLineRow{"LowerCaseTraceBehindMarkup", kMarkupLead,
                          CrLf("received: from a.example by b.example; Mon, 3 Mar 2008\n")},
        GluedFirstLineRow{"LowerCaseDeliveredToBehindBinary", kBinaryLead,
                          CrLf("delivered-to: dan@example.net\n")},
        GluedFirstLineRow{"LowerCaseDeliveredToBehindABlank", "old line\r\nreport be marble at ",
                          CrLf("delivered-to: dan@example.net\n")},
        // A block written in lower case throughout, whose values need no grammar of their own.
        GluedFirstLineRow{"LowerCaseBlockBehindABlankOfProse", "old line\r\nyellow figure and ",
                          CrLf("in-reply-to: 0002\nmessage-id: 00020\n")},
        GluedFirstLineRow{"LowerCaseBlockBehindALogTime", "old line\r\n2009-02-09 01:",
                          CrLf("in-reply-to: 0022\nmessage-id: 0022\n")},
        GluedFirstLineRow{"LowerCaseBlockBehindStrayBytes", "\x0b\x88l\xc5\x8c\xb1*\xcc#Y ",
                          CrLf("in-reply-to: 0002\nmessage-id: 00020\n")},
        GluedFirstLineRow{"LowerCasePrivateNameBehindAWord", "old line\r\nmuseum fore",
                          CrLf("x-original-to: dan@example.net\n")},
        GluedFirstLineRow{"LowerCaseReturnPathInACutName", "old line\r\nContent-transfer-encod",
                          CrLf("return-path: <carol@example.org>\n")},
        GluedFirstLineRow{"CapitalsBehindALogLine", kLogLead,
                          CrLf("RETURN-PATH: <carol@example.org>\n")},
        GluedFirstLineRow{"NewsPathBehindProse", kProseLead,
                          CrLf("Path: news.example.net!not-for-mail\n")},
        GluedFirstLineRow{"NewsgroupsBehindBinary", kBinaryLead,
                          CrLf("Newsgroups: comp.mail.misc\n")},
        GluedFirstLineRow{"LineCountBehindALogLine", kLogLead, CrLf("Lines: 24\n")},
        GluedFirstLineRow{"ResentFromBehindProse", kProseLead,
                          CrLf("Resent-From: carol@example.org\n")},
        GluedFirstLineRow{"ResentDateBehindALogLine", kLogLead,
                          CrLf("Resent-Date: Tue, 4 Mar 2008 09:12:44 +0100\n")},
        GluedFirstLineRow{"PrivateNameBehindProse", kProseLead,
                          CrLf("X-Apparently-To: dan@example.net via 10.1.2.3\n")},
        GluedFirstLineRow{"PrivateNameBehindTheCutNameOfAnOldLine", "old line\r\n Email\r\nx-",
                          CrLf("X-Original-To: dan@example.net\n")},
        GluedFirstLineRow{"ByteOrderMarkBehindProse", kProseLead,
                          "\xEF\xBB\xBF" + CrLf("Return-Path: <carol@example.org>\n")},
        GluedFirstLineRow{"ByteOrderMarkBehindBinary", kBinaryLead,
                          "\xEF\xBB\xBF" + CrLf("Received: from a.example by b.example\n")},
        GluedFirstLineRow{"ByteOrderMarkAtASector", "old line\r\n",
                          "\xEF\xBB\xBF" + CrLf("Delivered-To: dan@example.net\n"), 8192},
        GluedFirstLineRow{"BehindTheParameterSemicolonOfAnOldContentType",
                          "--part\r\nContent-Type: text/plain; ",
                          CrLf("X-UIDL: 1204538403.27531.mail5\n")},
        GluedFirstLineRow{"BehindTheParameterSemicolonOfAnOldDisposition",
                          "--part\r\nContent-Disposition: inline; ",
                          CrLf("Received-SPF: pass (example.net: domain of carol@example.org)\n")},
        GluedFirstLineRow{"MailboxStatusBehindALogLine", kLogLead, CrLf("X-Status: A\n")}),
    [](const testing::TestParamInfo<GluedFirstLineRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
