// Mails glued into old header lines: a bounce's copy of the returned headers, a digest's kept
// header lines or a quoted header, cut in a value, a name or a fold. The old lines end where the
// mail's first line begins, and the mail is found from that line.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

constexpr std::size_t kNone = std::string_view::npos;

const std::string kRest = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "To: Dan Example <dan@example.net>\n"
    "Subject: Plans\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-ID: <plans@example.org>\n"
    "\n"
    "See you there.\n");

// Old lines that read like a header block without a date: no mail of their own.
const std::string kReturnedHeaders = CrLf(
    "\n------ This is a copy of the message's headers. ------\n\n"
    "Return-Path: <narrow.of@example.org>\n"
    "Message-ID: <538803605.page@mx1.example.net>\n"
    "From: Evening <its.where@example.org>\n");
const std::string kDigestHeaders = CrLf(
    "About island not modern south minute.\n\n------------------------------\n\n"
    "Message: 28\n"
    "From: Order <when.when@example.net>\n"
    "Subject: Re: [users] kitchen library\n");

struct GluedMailRow {
  const char* name;
  std::string lead;       // old bytes the first line follows, on the same line
  std::string firstLine;  // the mail's first line(s), with their line ends
};

void PrintTo(const GluedMailRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedIntoOldLinesTest : public testing::TestWithParam<GluedMailRow> {};

TEST_P(GluedIntoOldLinesTest, FoundFromItsFirstLine) {
  const GluedMailRow& row = GetParam();
  constexpr std::uint64_t kAt = 8192 + 300;
  ImageBuilder image;
  image.Put(kAt - row.lead.size(), row.lead)
      .Put(kAt, row.firstLine + kRest)
      .Resize(kAt + 64 * 1024);
  for (const unsigned threads : {1u, 3u}) {
    ScanOptions options;
    options.threads = threads;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), 1u) << threads << " threads";
    EXPECT_EQ(records[0]->StartByte(), kAt) << threads << " threads";
    EXPECT_EQ(records[0]->SubjectText(), u"Plans");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Leads, GluedIntoOldLinesTest,
    testing::Values(
        GluedMailRow{"TraceLineInAnAddress", kReturnedHeaders + "To: that.summer@",
                     CrLf("Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00\n")},
        GluedMailRow{"ReturnPathInACutName", kReturnedHeaders + "Subjec",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"DeliveredToInACutName", kReturnedHeaders + "Content",
                     CrLf("Delivered-To: dan@example.net\n")},
        GluedMailRow{"DeliveredToBehindTheHyphenOfACutName", kReturnedHeaders + "Content-",
                     CrLf("Delivered-To: dan@example.net\n")},
        GluedMailRow{"ReturnPathBehindAOneLetterCut",
                     kReturnedHeaders + "Content-Description: Undelivered Message\r\nC",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"VersionBehindTheHyphenOfACutName", kDigestHeaders + "Content-",
                     CrLf("MIME-Version: 1.0\n")},
        GluedMailRow{"VersionInAnAddress", kReturnedHeaders + "To: For <ha",
                     CrLf("MIME-Version: 1.0 (Apple Message framework v752.3)\n")},
        GluedMailRow{"PrivateNameInADigestsValue", kDigestHeaders + "To: modern.",
                     CrLf("X-Original-To: dan@example.net\nDelivered-To: dan@example.net\n")},
        GluedMailRow{"ReturnPathInAFold",
                     kReturnedHeaders + "DKIM-Signature: v=1; a=rsa-sha256;\r\n\tb=Qx7fa",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"ReturnPathBehindAStrayByte", kReturnedHeaders + "To: a@example.net\r\n\rz",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"FromBehindAWebMailPage", "</table></div>\r\n<div class=\"message-", ""},
        GluedMailRow{"ReturnPathBehindAQuotedHeader",
                     "Time winter there.\r\n\r\n> > From: are.gran",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"FromBehindTheLastDashOfAClosingBoundary",
                     "<p>Signed</p>\r\n\r\n--b1--\r\n\r\n-", ""},
        GluedMailRow{"ReturnPathBehindTheLastDashOfARule", "Bye.\r\n\r\n-",
                     CrLf("Return-Path: <carol@example.org>\n")},
        GluedMailRow{"PrivateFieldBehindALoneDash", "\r\n-", CrLf("X-Account-Key: account3\n")}),
    [](const testing::TestParamInfo<GluedMailRow>& row) { return row.param.name; });

struct LineRow {
  const char* name;
  std::string_view line;
  std::size_t start;  // where the glued field's name begins; kNone for none
};

void PrintTo(const LineRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedNameInOldLineTest : public testing::TestWithParam<LineRow> {};

TEST_P(GluedNameInOldLineTest, FindsTheGluedName) {
  EXPECT_EQ(GluedFieldStart(GetParam().line), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GluedNameInOldLineTest,
    testing::Values(
        LineRow{"QuotedNameAlone", "> > From: are.granite@example.org", 4},
        LineRow{"QuotedNameAndAGluedOne", "> > From: are.granReturn-Path: <a@b.example>", 18},
        LineRow{"DateBehindTheBlankOfAnAddressLine", "From: Date: Mon, 11 Nov 2019 16:31:32 +0100",
                6},
        LineRow{"GroupNameBehindTheBlankOfAnAddressLine", "To: Friends: a@b.example;", kNone},
        LineRow{"WordBehindTheBlankOfAnAddressLine", "To: Date: tomorrow", kNone},
        LineRow{"FieldBehindASubjectsReplyPrefix", "Subject: Re:From: \"Doug\" <d@example.com>",
                12},
        LineRow{"FieldBehindAForwardPrefix",
                "Subject: AW: Fwd:Date: Mon, 11 Nov 2019 17:04:10 +0100", 17},
        LineRow{"SignedListStillNoLine", "DKIM-Signature: v=1; h=From:To:Date: Subject", kNone},
        LineRow{"DateBehindATwoLetterCut", "CoDate: Mon, 11 Nov 2019 17:04:10 +0100", 2},
        LineRow{"WordBehindATwoLetterCut", "CoDate: soon", kNone},
        LineRow{"DateBehindAOneLetterCut", "CDate: Sun, 9 Sep 2004 03:15:52 -0500", 1},
        LineRow{"WordBehindAOneLetterCut", "CDate: soon", kNone},
        LineRow{"OneLetterOfNoKnownName", "QDate: Sun, 9 Sep 2004 03:15:52 -0500", kNone},
        LineRow{"DateBehindTheBlankOfAType", "Content-Type: Date: Mon, 11 Nov 2019 17:04:10 +0100",
                14},
        LineRow{"ShortNameBehindTheBlankOfAnAddressLine", "To: Subject: 2 RCPT MIME", kNone},
        LineRow{"BehindAWordOfMarkup", "<div class=\"message-From: James <j@example.net>", 20},
        LineRow{"SignedNameWithAHyphen", "DKIM-Signature: v=1; h=Reply-To: Message-ID:", kNone},
        LineRow{"VersionBehindACutContentName", "Content-MIME-Version: 1.0", 8},
        LineRow{"DateBehindACutContentName", "Content-Date: Tue, 3 Nov 2020 08:00:00 +0100", 8},
        LineRow{"AddressBehindACutContentName", "Content-Delivered-To: a@b.example", 8},
        LineRow{"ReturnPathBehindACutPrivateWord", "X-Auto-RReturn-Path: <a@b.example>", 8},
        LineRow{"TraceBehindACutPrivateWord", "X-EnveReceived: from a.example by b.example", 6},
        LineRow{"NameWithoutItsGrammarBehindACutPrivateWord", "X-EnveReturn-Path: none", kNone},
        LineRow{"PrivateNameOfTwoWords", "X-Original-Return-Path: <a@b.example>", kNone},
        LineRow{"WordsBehindACutContentName", "Content-Delivered-To: the office", kNone},
        LineRow{"AddressOfAShortNameBehindACutName", "Content-To: a@b.example", kNone},
        // A name the two make is a field of its own.
        LineRow{"ResentMessageId", "Resent-Message-ID: <a@b.example>", kNone},
        LineRow{"OldReturnPath", "Old-Return-Path: <a@b.example>", kNone},
        LineRow{"PrivateOriginalMessageId", "X-Original-Message-ID: <a@b.example>", kNone},
        // Behind a cut name only a value in the field's own grammar begins a line.
        LineRow{"VersionOfSomethingElse", "Content-MIME-Version: draft", kNone},
        LineRow{"CutNameOfNoKnownField", "Original-Message-ID: <a@b.example>", kNone}),
    [](const testing::TestParamInfo<LineRow>& row) { return row.param.name; });

struct BlockEndRow {
  const char* name;
  std::string block;    // header lines, the empty line and a line of text
  std::string gluedAt;  // the text the block ends in front of; empty: at its empty line
};

void PrintTo(const BlockEndRow& row, std::ostream* out) {
  *out << row.name;
}

class BlockEndsAtGluedLineTest : public testing::TestWithParam<BlockEndRow> {};

TEST_P(BlockEndsAtGluedLineTest, EndsWhereTheOtherBlockBegins) {
  const BlockEndRow& row = GetParam();
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(row.block.data()),
                           row.block.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  if (row.gluedAt.empty()) {
    EXPECT_TRUE(block.valid);
    EXPECT_EQ(block.headerEnd, row.block.find("\r\n\r\n") + 4);
  } else {
    EXPECT_EQ(block.headerEnd, row.block.find(row.gluedAt));
    EXPECT_TRUE(block.endsWithoutEmptyLine);
  }
}

const std::string kTop = CrLf(
    "Received: from x by y; Sun, 21 Oct 2007 19:38:13 +1000\n"
    "Date: Sun, 21 Oct 2007 19:38:13 +1000\n"
    "Message-ID: <a@example.org>\n");
const std::string kBottom = CrLf(
    "From: Mikel <mikel@example.org>\n"
    "To: a@example.org\n"
    "\n"
    "Text.\n");

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockEndsAtGluedLineTest,
    testing::Values(
        BlockEndRow{
            "TraceLineInAnAddress",
            kTop + CrLf("Cc: that.summer@Received: from a.example by b.example\n") + kBottom,
            "Received: from a.example"},
        BlockEndRow{"ReturnPathInACutName",
                    kTop + CrLf("SubjecReturn-Path: <carol@example.org>\n") + kBottom,
                    "Return-Path: <carol"},
        BlockEndRow{
            "ReturnPathInAFold",
            kTop + CrLf("DKIM-Signature: v=1;\n\tb=Qx7faReturn-Path: <c@example.org>\n") + kBottom,
            "Return-Path: <c@"},
        BlockEndRow{"SubjectThatNamesFields",
                    kTop + CrLf("Subject: Re: Fwd: Date: tomorrow\n") + kBottom, ""},
        BlockEndRow{
            "SignedFieldList",
            kTop + CrLf("DKIM-Signature: v=1; h=From:To:Date:\n\t Subject; b=abc\n") + kBottom, ""},
        BlockEndRow{"ResentMessageId",
                    kTop + CrLf("Resent-Message-ID: <r@example.org>\n") + kBottom, ""},
        BlockEndRow{"FoldedTraceLine",
                    kTop +
                        CrLf("Received: from a.example\n\tby b.example with ESMTP id 4f2a;\n"
                             "\tSun, 21 Oct 2007 19:38:13 +1000\n") +
                        kBottom,
                    ""},
        BlockEndRow{"ReturnPathInANameCutInItsCapitals",
                    kTop + CrLf("Content-TReturn-path: <>\n") + kBottom, "Return-path: <>"},
        BlockEndRow{"VersionInANameCutInItsCapitals",
                    kTop + CrLf("MIMIME-Version: 1.0\n") + kBottom, "MIME-Version: 1.0"},
        // A private name behind capitals is one name ("MIM" + "X-Mailer").
        BlockEndRow{"PrivateNameBehindCapitals", kTop + CrLf("MIMX-Mailer: Mutt\n") + kBottom, ""},
        // A digest entry's subject run into the line of blanks a mail opens with.
        BlockEndRow{"LineRunIntoALineOfBlanks",
                    kTop + "Subject: Re: [use" + std::string(200, ' ') + "\r\n" +
                        CrLf("Delivered-To: a@example.org\n") + kBottom,
                    "Delivered-To: a@"},
        BlockEndRow{"PrivateLinePaddedWithBlanks",
                    kTop + "X-Mozilla-Keys:" + std::string(80, ' ') + "\r\n" + kBottom, ""}),
    [](const testing::TestParamInfo<BlockEndRow>& row) { return row.param.name; });

struct DashRow {
  const char* name;
  std::string_view line;
  char below;         // the first byte of the line under it
  std::size_t start;  // where the field's name begins; kNone for none
};

void PrintTo(const DashRow& row, std::ostream* out) {
  *out << row.name;
}

class FieldBehindALoneDashTest : public testing::TestWithParam<DashRow> {};

TEST_P(FieldBehindALoneDashTest, TakesTheFieldOnlyAboveAField) {
  EXPECT_EQ(FieldBehindALoneDash(GetParam().line, GetParam().below), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FieldBehindALoneDashTest,
    testing::Values(DashRow{"KnownFieldAboveAField", "-From: a@b.example", 'T', 1},
                    DashRow{"PrivateFieldAboveAField", "-X-Mozilla-Status: 0001", 'R', 1},
                    // A patch's removed line, with the added one or the context under it.
                    DashRow{"PatchLineAboveAnAddedLine", "-From: a@b.example", '+', kNone},
                    DashRow{"PatchLineAboveAContextLine", "-Subject: old", ' ', kNone},
                    DashRow{"PatchLineAboveARemovedLine", "-Date: Mon, 3 Mar 2008", '-', kNone},
                    DashRow{"NameNoListKnows", "-Summary: the plans", 'T', kNone},
                    DashRow{"ListItem", "-Buy milk: today", 'T', kNone},
                    DashRow{"TwoDashes", "--From: a@b.example", 'T', kNone},
                    DashRow{"NoColon", "-From a@b.example", 'T', kNone}),
    [](const testing::TestParamInfo<DashRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
