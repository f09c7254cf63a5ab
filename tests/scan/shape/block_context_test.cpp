// Where a header block begins when old bytes stand right in front of its first line, and what
// the scan makes of such blocks end to end.
#include "scan/shape/block_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "scan/shape/old_line_fields.h"
#include "support/paths.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

constexpr std::size_t kNone = std::string_view::npos;

struct GluedRow {
  const char* name;
  std::string_view line;
  std::size_t start;  // where the glued field's name begins; kNone for none
};

void PrintTo(const GluedRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedFieldStartTest : public testing::TestWithParam<GluedRow> {};

TEST_P(GluedFieldStartTest, FindsTheGluedName) {
  EXPECT_EQ(GluedFieldStart(GetParam().line), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GluedFieldStartTest,
    testing::Values(
        GluedRow{"BehindProse", "send you the POWERMAMIME-Version: 1.0", 20},
        GluedRow{"BehindAWord", "by following the stepsFrom: foo", 22},
        GluedRow{"BehindMarkupThatReadsAsAName", "<br><brReturn-Path: <a@b.example>", 7},
        GluedRow{"BehindBase64", "cz97SJ2r+7XoQfeOsM+Received: from x", 19},
        GluedRow{"InsideAPrivateName", "X-MS-ExchTo: to@example.com", kNone},
        GluedRow{"NameOfLettersOnly", "ResentFrom: neko@example.com", kNone},
        GluedRow{"InTheValueOfAnOldHeader", "Content-Disposition: attachment; filenReturn-Path: <>",
                 38},
        GluedRow{"PrivateFieldInAValue", "List-Id: bulletX-Gmail-Received: 2209", 15},
        GluedRow{"BehindAParameterSemicolon", "Content-Type: text/plain; X-UIDL: 1204", 26},
        GluedRow{"BehindASemicolonOfASubject", "Subject: plans; X-UIDL: 1204", kNone},
        GluedRow{"BehindAParameterWithoutSemicolon", "Content-Type: text/plain X-UIDL: 1", kNone},
        GluedRow{"BehindABlankInProse", "wrote at 10:30 To: x", 15},
        GluedRow{"FoldedValueFollows", "old textSender:", 8},
        GluedRow{"OwnField", "From: someone", kNone},
        GluedRow{"OwnPrivateField", "X-Mailer: foo", kNone},
        GluedRow{"HyphenatedName", "X-Original-To: a@b.example", kNone},
        GluedRow{"ResentField", "Resent-From: a@b.example", kNone},
        GluedRow{"QuotedInAValue", "Subject: see From: him", kNone},
        GluedRow{"SignedFieldList", "DKIM-Signature: a=rsa; h=Content-Type: MIME-Version:", kNone},
        GluedRow{"SignedFieldListFolded",
                 " t=13; h=Content-Type: MIME-Version: Date: From:", kNone},
        GluedRow{"SignedFieldListWithoutBlanks", "\th=From:To:Subject:In-Reply-To:", kNone},
        GluedRow{"FoldedFieldListGoesOn", " Mime-Version: Content-Transfer-Encoding;", kNone},
        GluedRow{"FoldedProseLine", "   <em>so</eMIME-Version: 1.0", 12},
        GluedRow{"NamesWithoutBlank", "h=From:To:Date", kNone},
        GluedRow{"LowerCaseWord", "Update: the server is down", kNone},
        GluedRow{"UnknownName", "the WeatherReport: sunny", kNone},
        GluedRow{"BehindATimeInALogLine", "2008-04-26 13:33:MIME-Version: 1.0", 17},
        GluedRow{"BehindBase64OfLettersAndDigits",
                 "MDAgbg0KMDAwMDAwMTIxMSAwMDAwMCBuDQowMDAwMDAxMzU2IDAwMDAwIG4NCMime-Version: 1.0",
                 61},
        GluedRow{"BehindLongBase64OfLetters", "PGRpdjSZGlPjxicjLRpdjPiZndDtHYWReturn-Path: <>", 31},
        GluedRow{"NameWithADigitAndAHyphen", "X-Office365-Filtering-CorrelationTo: x", kNone},
        GluedRow{"ShortNameOfLetters", "XyzFrom: a@b.example", kNone},
        GluedRow{"LongNameBehindAWord", "TablMIME-Version: 1.0", 4},
        GluedRow{"TraceNameBehindAWord", "CoReceived: from x by y", 2},
        GluedRow{"LongNameInsideAPrivateName", "X-ApMessage-ID: <a@b.example>", kNone},
        GluedRow{"BehindQuotedPrintable", "=B4=CA=D4=DA=CB=Return-Path: a@b.example", 16},
        GluedRow{"BehindAColonOfMarkup", "*:Content-Disposition: inline", 2},
        GluedRow{"BehindATagOfMarkup", "<record id=X-YMAIL-UMID: 1_28022_AGnHtEQ", 11},
        GluedRow{"BehindALowerCaseTail", "lpKCDate: Mon, 11 Nov 2019 16:27:11 +0100", 4},
        GluedRow{"PrivateNameBehindBase64Letters", "GRYEaGX-Envelope-From: <bob@example.com>", 6},
        GluedRow{"BehindARunOfDashes", "----------Return-Path: <a@b.example>", 10},
        GluedRow{"SignatureOpensTheBlock", "east value tableDKIM-Signature: v=1; a=rsa", 16},
        GluedRow{"BehindAnEmptyValue", "Status:Date: Mon, 6 Feb 1993 02:53:47 -0800", 7},
        GluedRow{"TwoNamesInAValue", "Keywords: From:Date: x", kNone},
        GluedRow{"BehindALowerCaseNameCut", "x-exchange-antispam-report-Return-Path: <a@b.example>",
                 27},
        GluedRow{"ShortNameBehindALowerCaseName", "x-spam-Status: No", kNone},
        GluedRow{"LongNameBehindACapitalisedName", "X-Original-Return-Path: <a@b.example>", kNone},
        GluedRow{"PrivateNameBehindAMediaType", "Content-Type: text/x-ruby-X-Gmail-Received: 2209",
                 26},
        GluedRow{"PrivateNameInsideANameInAValue", "Keywords: x-mailer-X-Spam: yes", kNone},
        GluedRow{"CutNameRunsIntoATraceName", "Content-Transfer-EncReturn-Path: <a@b.example>", 20},
        GluedRow{"CutNameRunsIntoTheVersionLine", "Diagnostic-CoMIME-Version: 1.0", 13},
        GluedRow{"CutNameRunsIntoItsOwnKind", "Content-TrContent-Type: multipart/report;", 10},
        GluedRow{"HyphenatedNameBehindAHyphen", "Original-Message-ID: <a@b.example>", kNone},
        GluedRow{"HyphenatedNameBehindAPrivateCutName", "x-spam-stAtContent-Type: text", kNone},
        GluedRow{"StructuredLineCutBehindItsBlank",
                 "Content-Transfer-Encoding: Return-Path: <a@b.example>", 27},
        GluedRow{"SubjectQuotesATraceLine", "Subject: Received: your order", kNone},
        GluedRow{"PrivateLineQuotesATraceLine", "X-Note: Return-Path: <a@b.example>", kNone},
        GluedRow{"StructuredLineQuotesAShortName", "Content-Type: To: x", kNone},
        GluedRow{"MisspeltTraceBehindBase64", "PpwFPXBOyGgRecieved: from x by y", 11},
        GluedRow{"BehindTheDateOfALogLine", "2008-05-From: a@b.example", 8},
        GluedRow{"NameJoinedByUnderscores", "X_Original_Sender: a@b.example", kNone},
        GluedRow{"PrivateNameJoinedByAnUnderscore", "X-Spam_Report: none", kNone},
        GluedRow{"JoinedNameBehindOldBytes", "the museum onX_Original_Sender: a@b.example", kNone},
        GluedRow{"BehindAnUnderscoreOfAWord", "user_name_From: a@b.example", 10},
        GluedRow{"BehindAPrivateNameWithoutUnderscore", "X-Spam-Sender: a@b.example", kNone},
        GluedRow{"GatewayNameBehindBase64", "gyNNCh+yrHBX400-Originator: a@b.example", 11},
        GluedRow{"GatewayNameOfItsOwn", "X400-Received: by mta relay.example.net", kNone},
        GluedRow{"GatewayNumberWithoutAName", "total X400-3: 12", kNone},
        GluedRow{"BehindBase64OfUtf16Text", "DQAKAEQAZQBhAFrom: V <v@example.com>", 13},
        GluedRow{"BehindAShoutedWord", "NOTICEDate: Fri, 1 Jun 2001", 6},
        GluedRow{"BehindAnAcronymOfAName", "DKIMFrom: a@b.example", kNone},
        GluedRow{"MisspeltTraceLineOfItsOwn", "Recieved: from x by y", kNone},
        GluedRow{"PrivateNameBehindACutName", "Content-DescriptiX-Gmail-Received: 2209", 17},
        GluedRow{"PrivateNameBehindACutPrivateName", "X-Spam-StX-Gmail-Received: 2209", kNone},
        GluedRow{"CutKnownNameRunsIntoAShortName", "MIME-VersiFrom: a@b.example", 10},
        GluedRow{"CutOpeningNameRunsIntoAShortName", "User-AgTo: a@b.example", 7},
        GluedRow{"KnownNameCutAtItsHyphen", "ContentFrom: a@b.example", kNone},
        GluedRow{"BehindAStyleLineCutBehindItsBlank",
                 "<span style=\"color: red; font-size: From: a@b.example", 36},
        GluedRow{"StyleLineQuotesANameList", "<p style=\"font-size: From: Date: x", kNone},
        GluedRow{"StyleLineEndsInAName", "<p style=\"font-size: From:", kNone},
        GluedRow{"LowerCaseSignedNameList", "h=mime-version: From: a@b.example", kNone},
        GluedRow{"TraceLineBehindAnOldLineCutBehindItsBlank",
                 "Remote-Mta: Received: from mx.example.com (x)", 12},
        GluedRow{"SubjectQuotesATraceLineInItsGrammar", "Subject: Received: from the bank", kNone},
        GluedRow{"PrivateLineQuotesATraceLineInItsGrammar", "x-note: Received: from x", kNone},
        GluedRow{"DeliveryLineQuotesATraceName", "Remote-Mta: Received: yes", kNone},
        GluedRow{"DateBehindAnOldLineCutBehindItsBlank",
                 "Status: Date: Fri, 19 Aug 2011 10:47:17 +0900", 8},
        GluedRow{"VersionBehindAnOldLineCutBehindItsBlank", "Action: MIME-Version: 1.0", 8},
        GluedRow{"OldLineQuotesADateThatIsNone", "Status: Date: to be set", kNone},
        GluedRow{"VersionLineBehindASignedNameList",
                 " s=smtp; h=MIME-Version: Message-Id:MIME-Version: 1.0", 36},
        GluedRow{"SignedNameListEndsInAName", " s=smtp; h=Date: Message-Id:MIME-Version:", kNone},
        GluedRow{"VersionLineInAFoldOfProse", " 550 Sender MIME-Version: 1.0 (Apple Mail)", 12},
        GluedRow{"TraceLineInADeliveryValue", "Diagnostic-Code: smtp; 550 Received: from x", 27},
        GluedRow{"SubjectQuotesAVersionLine", "Subject: why MIME-Version: 1.0 matters", kNone},
        GluedRow{"FoldQuotesAVersionName", " the MIME-Version: line is missing", kNone},
        GluedRow{"BehindMarkupThatReadsAsATag", "=09=09<p=Content-Type: multipart/report;", 9},
        GluedRow{"SignedListBehindASemicolon", "bh=x;h=Content-Type: MIME-Version:", kNone},
        GluedRow{"BehindAStrayLetterAndColon", "\xdf\xbeW:Return-Path: <a@b.example>", 4},
        GluedRow{"LongHyphenatedNameOfItsOwn", "ARC-Authentication-Results: i=1; mx.example.com",
                 kNone},
        GluedRow{"LongNameBehindACutLowerCaseName", "x-fReturn-Path: owner@example.org", 3},
        GluedRow{"ReturnPathInAFoldOfMarkup", "   USD 98.00</td>    Return-Path: <a@b.example>",
                 21},
        GluedRow{"ReturnPathQuotedWithText", " see Return-Path: <a@b.example> above", kNone},
        GluedRow{"IdLineInAFoldOfProse", " the end Message-ID: <x.1@b.example>", 9},
        GluedRow{"SubjectQuotesADate", "Subject: Date: Fri, 19 Aug 2011 10:47:17 +0900", kNone},
        GluedRow{"PrivateNameBehindATypeCutBehindItsBlank", "Content-Type: X-Account-Key: account3",
                 14},
        GluedRow{"PrivateNameBehindADateCutBehindItsBlank", "Date: X-UIDL: 1204", 6},
        GluedRow{"PrivateNameBehindAnAddressCutBehindItsBlank", "To: X-Team: a@b.example;", kNone},
        GluedRow{"PrivateNameBehindALowerCaseCutName",
                 "x-ms-publictraX-Envelope-From: <bob@example.com>", 14},
        GluedRow{"PrivateNameBehindACutNameWithACapital", "x-Spam-StX-Gmail-Received: 2209", kNone},
        GluedRow{"PrivateNameBehindAKnownNameCutAtAHyphen", "Content-Transfer-X-Envelope-From: <>",
                 17},
        GluedRow{"PrivateNameBehindAPrivateNameCutAtAHyphen", "X-Original-X-Envelope-From: <>",
                 kNone}),
    [](const testing::TestParamInfo<GluedRow>& row) { return row.param.name; });

struct Base64TailRow {
  const char* name;
  std::string_view above;
  std::string_view top;
  std::size_t start;  // where the known name begins in `top`; kNone for none
};

void PrintTo(const Base64TailRow& row, std::ostream* out) {
  *out << row.name;
}

class Base64TailTest : public testing::TestWithParam<Base64TailRow> {};

TEST_P(Base64TailTest, FindsTheNameBehindTheTail) {
  EXPECT_EQ(old_line_fields::KnownNameBehindABase64Tail(GetParam().above, GetParam().top),
            GetParam().start);
}

constexpr std::string_view kBase64Line = "jBc0xenZ4PfMG8QIcK0o4cuzC/BpxIkzAHNdkeO4iFljeIk9Bt57xUvK";

INSTANTIATE_TEST_SUITE_P(
    Lines, Base64TailTest,
    testing::Values(Base64TailRow{"LettersOfTheTail", kBase64Line, "TLFrom: a@b.example", 2},
                    Base64TailRow{"SlashOfTheTail", kBase64Line, "AAg/Date: Mon, 11 Nov 2019", 4},
                    Base64TailRow{"BehindProse", "a line of prose that is long enough for it",
                                  "TLFrom: a@b.example", kNone},
                    Base64TailRow{"BehindAShortLine", "QUJD", "TLFrom: a@b.example", kNone},
                    Base64TailRow{"KnownNameOfItsOwn", kBase64Line, "Content-Type: text/plain",
                                  kNone},
                    Base64TailRow{"NoKnownNameInside", kBase64Line, "TLWeather: sunny", kNone},
                    Base64TailRow{"BlankInFront", kBase64Line, "T From: a@b.example", kNone}),
    [](const testing::TestParamInfo<Base64TailRow>& row) { return row.param.name; });

CarveBuffer BufferOf(const std::string& bytes, std::uint64_t base = 1000) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), base};
}

struct StartRow {
  const char* name;
  std::string before;  // bytes in front of the block, on the block's first line
  std::string block;   // header lines; the walk starts at its "Date: " line
  Context context;
  bool startsAMail;
};

class GluedBlockStartTest : public testing::TestWithParam<StartRow> {};

TEST_P(GluedBlockStartTest, BlockBeginsAtTheGluedLine) {
  const std::string bytes = GetParam().before + GetParam().block;
  const CarveBuffer buffer = BufferOf(bytes);
  const std::size_t anchor = bytes.find("Date: ");
  ASSERT_NE(anchor, std::string::npos);
  const BlockStart start = FindBlockStart(buffer, anchor, 0);
  EXPECT_EQ(start.context, GetParam().context);
  if (GetParam().context == Context::Glued) {
    EXPECT_EQ(start.index, GetParam().before.size());
  }
  EXPECT_EQ(StartsAMail(buffer, start, true), GetParam().startsAMail);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, GluedBlockStartTest,
    testing::Values(
        StartRow{"FirstLineBehindProse", "line\r\nsome words of prose Qu",
                 CrLf("MIME-Version: 1.0\nFrom: a@b.example\nDate: Fri, 1 Jun 2001 10:00:00\n"),
                 Context::Glued, true},
        StartRow{"AnchorItselfGlued", "line\r\nfollowing the steps",
                 CrLf("Date: Fri, 1 Jun 2001 10:00:00\nFrom: a@b.example\n"), Context::Glued, true},
        StartRow{"BehindMarkup", "<html><body><br><br><br",
                 CrLf("Return-Path: <a@b.example>\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"InsideAnOldHeaderValue", "Content-Type: text/plain; name=old",
                 CrLf("Received: by x\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::Glued,
                 true},
        StartRow{"DkimNamesStayInTheirLine", "DKIM-Signature: v=1; h=From:To:",
                 CrLf("Date: Fri, 1 Jun 2001\n"), Context::Header, false},
        StartRow{"SignatureFoldNamesFields",
                 "prose\r\nDKIM-Signature: v=1;\r\n h=Content-Type: From:\r\n",
                 CrLf("From: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false},
        StartRow{"BehindAHeaderLineWithoutValue", "Diagnostic-Code: smtp; 550\r\nStatus:",
                 CrLf("Date: Mon, 6 Feb 1993\nFrom: a@b.example\n"), Context::Glued, true},
        StartRow{"BehindALowerCaseNameCut", "Received: by x\r\nx-ms-exchange-antispam-",
                 CrLf("Return-Path: <a@b.example>\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"BehindACapitalisedWordOfAnOldPart", "Reporting-MTA: dns; x\r\n\r\nFina",
                 CrLf("From: a@b.example\nTo: c@d.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"LowerCaseReturnPathBehindProse", "line\r\nsome words of prose can has",
                 CrLf("return-path: <a@b.example>\nfrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"LowerCaseTraceLineBehindMarkup", "<p>x</p>\r\n<html><body><p>see below</p><br",
                 CrLf("received: from mx.example.net by x\nfrom: a@b.example\n"
                      "Date: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"LowerCaseReturnPathBehindIndentedMarkup", "line\r\n  <record><text>can has",
                 CrLf("return-path: <a@b.example>\nfrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"LowerCaseVersionBehindBase64", "line\r\nAexJEFB17QfypTX7",
                 CrLf("mime-version: 1.0\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"LowerCaseHeaderLineOfItsOwn", "line\r\n\r\nx-original-received: from x\r\n",
                 CrLf("From: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::EmptyLine, true},
        StartRow{"LowerCaseNameInProseWithoutItsGrammar",
                 "line\r\nsome words of prose, we never set a return-path: x",
                 CrLf("\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false},
        StartRow{"LowerCaseNameEndingALongerOne",
                 "line\r\nsome words of prose, the x-original-received: from x",
                 CrLf("\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false},
        StartRow{"BehindTheLastWordOfProse", "line\r\nsome words of prose\nSilver",
                 CrLf("From: a@b.example\nTo: c@d.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"BehindALetterOfProse", "line\r\nsome words of prose\nW",
                 CrLf("Subject: x\nDate: Fri, 1 Jun 2001\nFrom: a@b.example\n"), Context::Glued,
                 true},
        StartRow{"ProseWordNameWithItsFieldBelow", "line\r\nsome words of prose\n",
                 CrLf("SilverFrom: x\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::TextLine, false},
        StartRow{"WordNameWithItsFieldBelow", "Reporting-MTA: dns; x\r\n\r\n",
                 CrLf("ReplyTo: a@b.example\nTo: c@d.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::EmptyLine, false},
        StartRow{"BehindTheCutNameOfAnOldLine", "Received: by x\r\nContent-Transfer-Enc",
                 CrLf("Return-Path: <a@b.example>\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"BehindAnOldLineCutBehindItsBlank",
                 "Received: by a relay of old\r\nContent-Transfer-Encoding: ",
                 CrLf("Return-Path: <a@b.example>\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"MisspeltTraceBehindBase64", "line\r\nXecZPpGD1MCq+nA48CIBTIs5\r\nPpwFPXBOyGg",
                 CrLf("Recieved: from x\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"SubjectQuotingATraceLine", "line\r\nSubject: ",
                 CrLf("Received: from x\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::TextLine, false},
        StartRow{"BehindAWordOfProseOpeningASplitList", "line\r\nsome words of prose\nSout",
                 CrLf("Cc: a@b.example\n\tb@b.example\nCc: c@d.example\nCc: e@f.example\n"
                      "From: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::Glued, true},
        StartRow{"WordNameWithOneLineOfItsFieldBelow", "line\r\nsome words of prose\n",
                 CrLf("SilverCc: x\nCc: a@b.example\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n"),
                 Context::TextLine, false},
        // Prose ends a line in a blank or two, a padded column in a few: no line of blanks.
        StartRow{"ProseLineEndingInTwoBlanks", "line\r\nthis is no header at all  \r\n",
                 CrLf("From: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false},
        StartRow{"PaddedColumnInFront",
                 "line\r\nsome more old words of it\r\ntotal        12.50       \r\n",
                 CrLf("From: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false},
        StartRow{"ProseLineInFront", "line\r\nthis is no header at all\r\n",
                 CrLf("From: a@b.example\nDate: Fri, 1 Jun 2001\n"), Context::TextLine, false}),
    [](const testing::TestParamInfo<StartRow>& row) { return row.param.name; });

// Where a block begins whose first line shares its name's run of bytes with older bytes in front
// of it: the walk back from the block's Date line ends at the first line's true start.
struct SplitRow {
  const char* name;
  std::string before;        // the old bytes in front of the block
  std::string firstLine;     // the block's first line
  std::uint64_t at;          // absolute position of the first line
  std::uint64_t expectedAt;  // where the block must be found to begin
  Context context;
};

void PrintTo(const SplitRow& row, std::ostream* out) {
  *out << row.name;
}

class SplitNameTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitNameTest, BlockBeginsAtTheTrueFirstLine) {
  const SplitRow& row = GetParam();
  const std::string bytes = row.before + row.firstLine +
                            CrLf("From: a@b.example\nTo: c@d.example\nDate: Fri, 1 Jun 2001\n");
  const CarveBuffer buffer = BufferOf(bytes, row.at - row.before.size());
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(buffer.base + start.index, row.expectedAt);
  EXPECT_EQ(start.context, row.context);
  EXPECT_TRUE(StartsAMail(buffer, start, true));
}

constexpr std::uint64_t kSector = 16 * 512;
const std::string kBinary("\x9c\xe1\x01\xfe\x03", 5);

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitNameTest,
    testing::Values(
        SplitRow{"StrayByteBehindBinaryAtASector", kBinary + "x", CrLf("Return-path: <a@b>\n"),
                 kSector, kSector, Context::MidLine},
        SplitRow{"HyphenatedStrayBytesAtASector", kBinary + "eC-",
                 CrLf("Return-Path: a@b.example\n"), kSector, kSector, Context::MidLine},
        SplitRow{"PrivateNameBehindStrayBytesAtASector", kBinary + "xq",
                 CrLf("X-Account-Key: account3\n"), kSector, kSector, Context::MidLine},
        SplitRow{"OldHeaderNameAtASector", "From x Tue Jul 10 18:50:15 2012\r\nX-Ap",
                 CrLf("Received: from x by y\n"), kSector, kSector, Context::MidLine},
        SplitRow{"OldLetterBehindAnEmptyLineAtASector", "old text\r\n\r\nS",
                 CrLf("Message-Id: <a@b>\n"), kSector, kSector, Context::MidLine},
        SplitRow{"StrayByteBehindBinary", kBinary + "m", CrLf("Return-Path: a@b.example\n"),
                 kSector + 88, kSector + 88, Context::NonText},
        SplitRow{"StrayLetterAndDigitBehindBinary", kBinary + "V9", CrLf("Received: from x by y\n"),
                 kSector + 452, kSector + 452, Context::NonText},
        SplitRow{"StrayLetterBehindBinaryBeforeMime", kBinary + "f", CrLf("MIME-Version: 1.0\n"),
                 kSector + 280, kSector + 280, Context::NonText},
        SplitRow{"OldWordAcrossTheSectorStart", "prose meeting marb", CrLf("Return-Path: <a@b>\n"),
                 kSector + 4, kSector + 4, Context::Glued},
        SplitRow{"GluedAnchorAtASector", std::string("\x0b\xc8W\xab", 4),
                 CrLf("Date: Fri, 1 Jun 2001\n"), kSector, kSector, Context::MidLine},
        SplitRow{"IndentedOldTextGluedToTheLine", "old text\r\n  and continue the ",
                 CrLf("Message-Id: <a@b>\n"), kSector + 90, kSector + 90, Context::Glued},
        SplitRow{"IndentedOldTextBehindTheBlanks", "=3C=2Ffont=3E\r\n          ",
                 CrLf("Received: from x by y\n"), kSector + 77, kSector + 77, Context::Glued},
        SplitRow{"IndentedOldTextAboveAFoldedLine",
                 "old</record>\r\n  <record id=\"1\">x</record>\r\n  <record ",
                 CrLf("Received: from x\n\t Thu, 29 Apr 2012 23:34:45 -0700\n"), kSector + 300,
                 kSector + 300, Context::Glued},
        SplitRow{"BehindProseThatBeginsLikeASeparator", "old\r\nFrom window the other morning ",
                 CrLf("Return-Path: a@b.example\n"), kSector + 200, kSector + 200, Context::Glued},
        SplitRow{"FileOpensWithALineOfBlanksAtASector",
                 "old prose Repo" + std::string(255, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 257, kSector + 257,
                 Context::NonText},
        SplitRow{"LineOfBlanksGluedToOldText", "old prose kitche" + std::string(150, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 400, kSector + 400, Context::Glued},
        SplitRow{"ShortLineOfBlanksGluedToOldText",
                 "old prose kitche" + std::string(8, ' ') + "\r\n", CrLf("Mime-Version: 1.0\n"),
                 kSector + 400, kSector + 400, Context::Glued},
        SplitRow{"TabsAndBlanksGluedToOldText", "old prose kitche \t \t \t \t\r\n",
                 CrLf("Message-Id: <a@b>\n"), kSector + 400, kSector + 400, Context::Glued},
        // A draft's or sent mail's first line names where the copy is filed: "FCC" holds no
        // field "CC" behind a stray byte.
        SplitRow{"DraftFiledCopyBehindBinary", kBinary, CrLf("FCC: imap://a@b.example/Sent\n"),
                 kSector + 88, kSector + 88, Context::NonText},
        SplitRow{"DraftFiledCopyAtASectorBehindOldText", "old prose kitchen",
                 CrLf("FCC: mailbox://nobody@Local%20Folders/Sent\n"), kSector, kSector,
                 Context::MidLine},
        SplitRow{"FileOpensWithAShortLineOfBlanksAtASectorBehindProse", "old prose line\r\n",
                 std::string(20, ' ') + "\r\n" + CrLf("Message-Id: <a@b>\n"), kSector, kSector + 22,
                 Context::NonText},
        // ... but behind a header line a line of blanks at a sector start is the block's fold.
        SplitRow{"FoldOfBlanksAtASectorBehindAHeaderLine", "old\r\n\r\nSubject: hello\r\n",
                 "    \r\n" + CrLf("Message-Id: <a@b>\n"), kSector, kSector - 16,
                 Context::EmptyLine},
        SplitRow{"FileOpensWithALineOfBlanksAtASectorBehindAUrl",
                 "old prose\r\nhttp://a.example/x" + std::string(20, ' ') + "\r\n",
                 CrLf("Return-Path: <a@b>\n"), kSector + 22, kSector + 22, Context::NonText},
        // A private field's padding of blanks across a sector start is the block's own line.
        SplitRow{"PaddedPrivateFieldAcrossASector",
                 "old\r\n\r\nX-Mozilla-Keys:" + std::string(40, ' ') + "\r\n",
                 CrLf("Message-Id: <a@b>\n"), kSector + 22, kSector + 22 - 57, Context::EmptyLine},
        // Old markup pads its indented lines with blanks: a sector start in them opens no file.
        SplitRow{"PaddedIndentedMarkupAcrossASector",
                 "old\r\n          8 million addresses</td>" + std::string(16, ' ') +
                     "\r\n        <td><font face=\"Arial\" ",
                 CrLf("Path: news.example.net!not-for-mail\nNewsgroups: comp.mail.misc\n"),
                 kSector + 41, kSector + 41, Context::Glued},
        SplitRow{"LineOfBlanksGluedToMarkupWithAUrl",
                 "old\r\nsrc=\"http://a.example/s.gif\" width=1" + std::string(12, ' ') + "\r\n",
                 CrLf("Return-Path: <a@b>\n"), kSector + 300, kSector + 300, Context::Glued},
        // A mailbox's mail opens with its separator, the line of blanks at a sector behind it.
        SplitRow{"LineOfBlanksAtASectorBehindAMailboxSeparator",
                 "old\r\n\r\nFrom a@b.example Sat Jan  1 00:00:00 2000\r\n",
                 std::string(20, ' ') + "\r\n" + CrLf("Delivered-To: a@b.example\n"), kSector,
                 kSector, Context::MboxSeparator},
        SplitRow{"FieldAtASectorInsideAnIndentedOldLine", "Note: an old row\r\n      <tr>     ",
                 CrLf("Mime-Version: 1.0\n"), kSector, kSector, Context::MidLine},
        SplitRow{"FieldAtASectorInsideAFoldOfAnOldSignature",
                 "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed;\r\n     ",
                 CrLf("Delivered-To: a@b.example\n"), kSector, kSector, Context::MidLine},
        SplitRow{"LineOfBlanksAtASectorInsideAnIndentedOldLine",
                 "old</record>\r\n  <record id=\"921\"><name" + std::string(255, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 257, kSector + 257,
                 Context::NonText},
        SplitRow{"LineOfBlanksGluedToAnIndentedOldLine",
                 "old\r\n  <record id=\"172\"><text>total number!</text" + std::string(255, ' ') +
                     "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 300, kSector + 300, Context::Glued},
        SplitRow{"GluedNameBehindASectorInsideAnOldValue",
                 "old\r\nContent-Type: text/plain\r\nContent-Disposition: inli",
                 CrLf("Message-Id: <a@b>\n"), kSector + 20, kSector + 20, Context::Glued},
        SplitRow{"StrayBytesWithAColonBehindBinary", kBinary + "\xda'a0:",
                 CrLf("Message-Id: <a@b>\n"), kSector + 238, kSector + 238, Context::NonText},
        SplitRow{"StrayBytesWithAColonBehindBinaryAtASector", kBinary + "q:",
                 CrLf("Return-Path: <a@b>\n"), kSector + 2, kSector + 2, Context::NonText},
        SplitRow{"LineOfBlanksGluedToAnOldHeaderLine",
                 "old\r\nContent-Type: text/plain; charset=utf-" + std::string(255, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 400, kSector + 400, Context::Glued},
        SplitRow{"GluedLineWithASectorInItsValue", "old\r\n=84=AA=84=AA=",
                 CrLf("X-Authentication-Warning: hq.pro-ns.net: Host x claimed to be y\n"),
                 kSector - 36, kSector - 36, Context::Glued},
        SplitRow{"KnownNameBehindTheTailOfABase64Line",
                 "old\r\njBc0xenZ4PfMG8QIcK0o4cuzC/BpxIkzAHNdkeO4iFljeIk9Bt57xUvK\r\nTL",
                 CrLf("Subject: Certified\n"), kSector + 300, kSector + 300, Context::Glued},
        SplitRow{
            "LongLineOfBlanksGluedToOldText", "old prose kitche" + std::string(1700, ' ') + "\r\n",
            CrLf("Delivered-To: a@b.example\n"), kSector + 400, kSector + 400, Context::NonText},
        SplitRow{"LongLineOfBlanksGluedToAnOldHeaderLine",
                 "old\r\nX-Old: " + std::string(1700, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 400, kSector + 400, Context::Glued},
        SplitRow{"CutKnownNameBehindAnEmptyLine", "Encoding: 7bit\r\n\r\nMIME-Versi",
                 CrLf("Cc: x@y.example\n"), kSector + 90, kSector + 90, Context::Glued},
        // What must stay as it is: a name of the block's own that a sector start cuts.
        SplitRow{"LineOfBlanksOfTheMailBehindASeparatorAcrossASector",
                 "old\r\n\r\nFrom a@b.example Sat Jan  1 00:00:00 2000\r\n" +
                     std::string(255, ' ') + "\r\n",
                 CrLf("Delivered-To: a@b.example\n"), kSector + 100, kSector + 100 - 257,
                 Context::MboxSeparator},
        // A sector start inside a signature's folded list of names ("in-" + "reply-to:") of
        // the block's own, as on a dense mailbox image: the block goes on above it.
        SplitRow{"SignedNameListCutBySectorInAFold", kBinary,
                 CrLf("Received: from x\nDKIM-Signature: v=1; a=rsa-sha256;\n"
                      "  h=date:from:to:cc:subject:message-id:in-reply-to:\n   mime-version;\n"),
                 kSector - 96, kSector - 96, Context::NonText},
        SplitRow{"NameQuotedInAFoldOfTheBlock", kBinary,
                 CrLf("Subject: a\n and the Message-Id: <x>\n"), kSector + 50, kSector + 50,
                 Context::NonText},
        SplitRow{"KnownNameCutBySector", kBinary, CrLf("Received: from x by y\n"), kSector - 2,
                 kSector - 2, Context::NonText},
        SplitRow{"PrivateNameOfTheBlockCutBySector", kBinary,
                 CrLf("Received: from x\nX-Spam-Status: No\n"), kSector - 25, kSector - 25,
                 Context::NonText},
        SplitRow{"HyphenatedKnownNameBehindBinary", kBinary + "X-Original-",
                 CrLf("To: a@b.example\n"), kSector + 100, kSector + 100 - 11, Context::NonText},
        SplitRow{"LongNameOfTheBlockCutBehindItsHyphenAtASector",
                 kBinary + "Received: from x\r\nARC-",
                 CrLf("Authentication-Results: i=1; lists.example.org\n"), kSector, kSector - 22,
                 Context::NonText},
        SplitRow{"PrivateNameOfTheBlockCutBehindItsHyphenAtASector",
                 kBinary + "Received: from x\r\nX-Original-", CrLf("Return-Path: <a@b.example>\n"),
                 kSector, kSector - 29, Context::NonText},
        SplitRow{"ResentNameOfTheBlockCutBehindItsHyphenAtASector",
                 kBinary + "Received: from x\r\nResent-", CrLf("Message-ID: <a@b.example>\n"),
                 kSector, kSector - 25, Context::NonText}),
    [](const testing::TestParamInfo<SplitRow>& row) { return row.param.name; });

// Whether a real mail opens with a field a header block is known to begin with.
bool OpensWithACommonField(const std::string& mail) {
  static const std::string_view kFields[] = {
      "return-path:",  "received:",     "from:",       "mime-version:", "date:",
      "content-type:", "delivered-to:", "message-id:", "to:",           "subject:"};
  if (mail.starts_with("X-")) return true;
  std::string head = mail.substr(0, 16);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::any_of(std::begin(kFields), std::end(kFields),
                     [&](std::string_view field) { return head.starts_with(field); });
}

// Where the walk back from the first From or Date line of `mail`'s header block ends when `lead`
// stands in front of the mail and the mail begins at absolute `at`; npos without such a line.
std::uint64_t WalkedStart(const std::string& lead, const std::string& mail, std::uint64_t at) {
  std::string head = mail.substr(0, mail.find("\r\n\r\n"));
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t anchor = std::min(head.find("\r\nfrom:"), head.find("\r\ndate:"));
  if (anchor == std::string::npos) return kNone;
  const std::string bytes = lead + mail;
  const CarveBuffer buffer = BufferOf(bytes, at - lead.size());
  return buffer.base + FindBlockStart(buffer, lead.size() + anchor + 2, 0).index;
}

// Real header blocks behind old bytes that run into their first line's name, and with sector
// starts wherever they fall in the lines below it: the walk ends at the first line all the same.
TEST(SplitNameTest, CorpusBlocksBeginAtTheirFirstLine) {
  const std::vector<std::filesystem::path> files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  struct Lead {
    const char* name;
    std::string bytes;
    std::uint64_t at;
  };
  const Lead leads[] = {{"stray byte at a sector", kBinary + "x", kSector},
                        {"old name at a sector", "old\r\nOld", kSector + 512},
                        {"stray bytes behind binary", kBinary + "m9", kSector + 88}};
  std::size_t checked = 0;
  for (const auto& file : files) {
    const std::string mail = test::ReadFileBytes(file);
    if (mail.size() > 64 * 1024 || !OpensWithACommonField(mail)) continue;
    // Blocks the walk cannot cross even behind zeros (an over-long line) say nothing here.
    if (WalkedStart(kBinary, mail, kSector + 300) != kSector + 300) continue;
    ++checked;
    for (const Lead& lead : leads)
      EXPECT_EQ(WalkedStart(lead.bytes, mail, lead.at), lead.at) << file << ": " << lead.name;
  }
  EXPECT_GT(checked, files.size() / 2);
}

const std::string kGluedMail = CrLf(
    "Return-Path: <carol@example.org>\n"
    "Delivered-To: dan@example.net\n"
    "Received: by mx.example.net; Tue, 3 Nov 2020 08:00:02 +0100\n"
    "From: Carol Example <carol@example.org>\n"
    "To: Dan Example <dan@example.net>\n"
    "Subject: Glued to old data\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-ID: <glued@example.org>\n"
    "\n"
    "The text.\n");

struct PlaceRow {
  const char* name;
  std::string before;  // old bytes right in front of the mail's first line
  std::uint64_t at;    // where the mail's first line begins
};

class GluedMailTest : public testing::TestWithParam<PlaceRow> {};

// The mail's text begins at its first line, Return-Path, not at the trace line the walk
// finds it by; without a trace line the record itself begins there.
TEST_P(GluedMailTest, TextBeginsAtTheFirstLine) {
  const std::string trace = CrLf("Received: by mx.example.net; Tue, 3 Nov 2020 08:00:02 +0100\n");
  for (const bool withTrace : {true, false}) {
    std::string mail = kGluedMail;
    if (!withTrace) mail.erase(mail.find(trace), trace.size());
    ImageBuilder image;
    image.Put(GetParam().at - GetParam().before.size(), GetParam().before)
        .Put(GetParam().at, mail)
        .Resize(2 * 1024 * 1024 + 64 * 1024);
    const auto records = ScanBytes(image.Bytes()).records;
    ASSERT_EQ(records.size(), 1u) << "with trace line: " << withTrace;
    EXPECT_EQ(records[0]->Extent().TextStartOr(UINT64_MAX), GetParam().at) << withTrace;
    if (!withTrace) {
      EXPECT_EQ(records[0]->StartByte(), GetParam().at);
    }
    EXPECT_EQ(records[0]->SubjectText(), u"Glued to old data");
  }
}

const std::string kProse = "old text\r\nwords that ran on and on until the disk reused th";
// An old header line whose name a sector start cuts behind its "X-": the tail at the sector
// reads as a name, yet the mail begins where its first line is glued to the old value.
const std::string kCutOldName =
    "\r\nX-Microsoft-Exchange-Diagnostics: 1;DB5PR06MB1800;25:QhToXBW84g8b1E0tDQz+n";

INSTANTIATE_TEST_SUITE_P(
    Places, GluedMailTest,
    testing::Values(PlaceRow{"BehindProse", kProse, 5000 + 37},
                    PlaceRow{"BehindBase64", "\r\nTWFuIGlzIGRpc3Rpbmd1aXNoZWQsIG5vdCBvbmx5+", 9001},
                    PlaceRow{"BehindMarkup", "<p>x</p>\r\n<html><body><br><br><br", 12345},
                    // "eturn-Path" opens a sector, yet the line began a byte before it.
                    PlaceRow{"NameCutBySectorStart", kProse + "!\rv", 8191},
                    PlaceRow{"HeaderBlockAcrossAChunkBoundary", kProse, 1024 * 1024 - 70},
                    PlaceRow{"FirstLineAcrossAChunkBoundary", kProse, 1024 * 1024 - 9},
                    PlaceRow{"OldNameCutBySectorStartInFront", kCutOldName,
                             8192 - 4 + kCutOldName.size()}),
    [](const testing::TestParamInfo<PlaceRow>& row) { return row.param.name; });

// A first line in another shape than most programs write: where the mail's text begins.
struct ShapeRow {
  const char* name;
  std::string opening;  // what stands in place of the mail's "Return-Path" name
  std::uint64_t at;     // where the mail's first byte lies, right behind old prose
  std::uint64_t text;   // where its text must begin
};

void PrintTo(const ShapeRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedShapeTest : public testing::TestWithParam<ShapeRow> {};

TEST_P(GluedShapeTest, TextBeginsWhereTheFileDoes) {
  const std::string mail =
      GetParam().opening + kGluedMail.substr(std::string("Return-Path").size());
  ImageBuilder image;
  image.Put(GetParam().at - kProse.size(), kProse).Put(GetParam().at, mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->Extent().TextStartOr(UINT64_MAX), GetParam().text);
  EXPECT_EQ(records[0]->SubjectText(), u"Glued to old data");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, GluedShapeTest,
    testing::Values(ShapeRow{"LowerCaseName", "return-path", 5037, 5037},
                    ShapeRow{"BlankOpeningAFileAtASector", " Return-Path", 8192, 8192},
                    // A sector start inside the glued name opens no file there.
                    ShapeRow{"LowerCaseNameCutBySectorStart", "return-path", 8192 - 4, 8192 - 4},
                    // Behind prose away from a sector start the blank is as likely the prose's.
                    ShapeRow{"BlankBehindProse", " Return-Path", 5037, 5038}),
    [](const testing::TestParamInfo<ShapeRow>& row) { return row.param.name; });

// A file that opens with a short line that is no field (an export's banner): behind zeros, or at
// a sector start behind binary bytes, the mail begins with that line; behind a line end or
// stray text it is a body's line or old text, and the block behind it no mail of its own.
struct OpeningLineRow {
  const char* name;
  std::string before;   // old bytes right in front of the opening line
  std::string opening;  // the line, its line end included
  std::uint64_t at;     // where the opening line begins
  bool found;           // whether a mail beginning at `at` is found
};

void PrintTo(const OpeningLineRow& row, std::ostream* out) {
  *out << row.name;
}

class OpeningLineTest : public testing::TestWithParam<OpeningLineRow> {};

TEST_P(OpeningLineTest, MailBeginsWithTheFilesFirstLine) {
  const OpeningLineRow& row = GetParam();
  const std::string trace = CrLf("Received: by mx.example.net; Tue, 3 Nov 2020 08:00:02 +0100\n");
  std::string mail = kGluedMail;
  mail.erase(mail.find(trace), trace.size());
  ImageBuilder image;
  image.Put(row.at - row.before.size(), row.before + row.opening + mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  if (!row.found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), row.at);
  EXPECT_EQ(records[0]->SubjectText(), u"Glued to old data");
}

const std::string kBanner = CrLf("Exported by MailArchive 3.2 on 2011-05-04 10:22:31\n");

INSTANTIATE_TEST_SUITE_P(
    Lines, OpeningLineTest,
    testing::Values(OpeningLineRow{"BannerBehindZeros", std::string(16, '\0'), kBanner, 5000, true},
                    OpeningLineRow{"BannerAtASectorBehindBinary", kBinary, kBanner, 8192, true},
                    OpeningLineRow{"SavedHeadersTitleBehindZeros", std::string(16, '\0'),
                                   CrLf("Internet Headers Version 2.0\n"), 5000, true},
                    OpeningLineRow{"BannerBehindStrayTextOfBinary", kBinary + "f bridge most, ",
                                   kBanner, 5000 + 15, false},
                    OpeningLineRow{"ForwardIntroducerBehindALineEndAtASector", "old text\r\n",
                                   CrLf("---------- Forwarded message ----------\n"), 8192, false},
                    OpeningLineRow{"SentenceOfProseBehindZeros", std::string(16, '\0'),
                                   CrLf("After gentle level window weather orange which not,\n"),
                                   5000, false},
                    OpeningLineRow{"LongLineBehindZeros", std::string(16, '\0'),
                                   std::string(200, 'x') + "\r\n", 5000, false}),
    [](const testing::TestParamInfo<OpeningLineRow>& row) { return row.param.name; });

// Header-like lines glued into prose, without trace lines, MIME or an identity, are no mail.
TEST(GluedMailTest, ProseWithGluedFieldsIsNoMail) {
  ImageBuilder image;
  image
      .Put(4096 + 100, kProse + CrLf("From: Carol <carol@example.org>\nTo: dan@example.net\n"
                                     "Subject: lunch\nDate: Tue, 3 Nov 2020 08:00:00 +0100\n\n"
                                     "see you\n"))
      .Resize(64 * 1024);
  EXPECT_TRUE(ScanBytes(image.Bytes()).records.empty());
}

// A block glued into old text without a trace line opens a mail with the marks of a real one.
struct MarksRow {
  const char* name;
  std::string fields;  // besides From, To, Subject and Date
  bool found;
};

void PrintTo(const MarksRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedMarksTest : public testing::TestWithParam<MarksRow> {};

TEST_P(GluedMarksTest, OpensAMailWithMarksOnly) {
  const std::string block = CrLf(
                                "From: Carol <carol@example.org>\nTo: dan@example.net\n"
                                "Subject: lunch\nDate: Tue, 3 Nov 2020 08:00:00 +0100\n") +
                            CrLf(GetParam().fields) + CrLf("\nsee you\n");
  ImageBuilder image;
  image.Put(4096 + 100, kProse + block).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), GetParam().found ? 1u : 0u);
  if (GetParam().found) {
    EXPECT_EQ(records[0]->StartByte(), 4096 + 100 + kProse.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, GluedMarksTest,
    testing::Values(MarksRow{"ContentTypeWithoutVersion", "Content-Type: text/plain\n", true},
                    MarksRow{"MultipartWithoutVersion",
                             "Content-Type: multipart/signed; boundary=\"b\"\n", true},
                    MarksRow{"Identity", "Message-ID: <lunch@example.org>\n", true},
                    MarksRow{"PriorityOnly", "X-Priority: 3\n", false},
                    MarksRow{"MailerOnly", "X-Mailer: swaks\n", true}),
    [](const testing::TestParamInfo<MarksRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
