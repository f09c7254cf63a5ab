// Where a header block begins whose first line is a field no list of names knows, glued to old
// bytes in front of it: the walk back from the block's Date line ends at the field's name.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

constexpr std::size_t kNoMail = SIZE_MAX;

struct UnknownFieldRow {
  const char* name;
  std::string before;     // old bytes in front of the block, on its first line
  std::string firstLine;  // the block's first line
  std::size_t expected;   // where the block begins, counted from the first line; kNoMail
  Context context;
};

void PrintTo(const UnknownFieldRow& row, std::ostream* out) {
  *out << row.name;
}

class UnknownFirstFieldTest : public testing::TestWithParam<UnknownFieldRow> {};

TEST_P(UnknownFirstFieldTest, BlockBeginsAtTheField) {
  const UnknownFieldRow& row = GetParam();
  const std::string bytes =
      row.before + row.firstLine +
      CrLf("MIME-Version: 1.0\nFrom: a@b.example\nTo: c@d.example\nDate: Fri, 1 Jun 2001\n");
  // Away from a sector start, which would open a file of its own.
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           4096 + 100};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(start.context, row.context);
  if (row.expected == kNoMail) {
    EXPECT_FALSE(StartsAMail(buffer, start, true));
    return;
  }
  EXPECT_EQ(start.index, row.before.size() + row.expected);
  EXPECT_TRUE(StartsAMail(buffer, start, true));
}

const std::string kBinary("\x9c\xe1\x01\xfe\x03", 5);

INSTANTIATE_TEST_SUITE_P(
    Lines, UnknownFirstFieldTest,
    testing::Values(
        UnknownFieldRow{"BehindTheDateOfALogLine", "2008-01-01 19:57:07 [WARN] old\n2008-06-0",
                        CrLf("Errors-To: owner@b.example\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindAWordOfProse", "old line\r\nthe water runs",
                        CrLf("Thread-Topic: Plans\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindAFieldOfCsv", "7855;new;Is;2948.03;were\r\n46272;museum;Its;but",
                        CrLf("Path: news!example\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindNameBytesOfOldText", "old line\r\nxq7",
                        CrLf("Received-SPF: pass (x: domain of a@b.example)\n"), 0, Context::Glued},
        UnknownFieldRow{
            "InAnIndentedLineOfMarkup",
            "old line\r\n  <record id=\"6344\"><name>as</name>\r\n  <text>About value market",
            CrLf("Precedence: bulk\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindAHighByteOfOldData", kBinary + "\xab",
                        CrLf("Disposition-Notification-To: a@b.example\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindBinaryBytesThatReadAsEightBitText", kBinary + "P5\x99\x8a(n\x9e",
                        CrLf("Content-Duration: 120\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindStrayBytesOfBinary", kBinary + "mQ", CrLf("Thread-Index: AQHX\n"), 0,
                        Context::NonText},
        UnknownFieldRow{"AcronymsInTheName", "old line\r\nthe end",
                        CrLf("ARC-Message-Signature: i=1; a=rsa-sha256\n"), 0, Context::Glued},
        UnknownFieldRow{"HyphenatedNameBehindABlank", "old line\r\nsee the notes below ",
                        CrLf("Thread-Topic: Plans\n"), 0, Context::Glued},
        UnknownFieldRow{"OneWordWithATokenBehindABlank", "old line\r\nblock budget ",
                        CrLf("Priority: normal\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindACapitalisedWordOfProse", "old line\r\nwas quiet. Letter",
                        CrLf("Approved: moderator@b.example\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindAShortWordOfProseOnItsOwnLine", "old line\r\npaper.\nCa",
                        CrLf("Originator: doug@b.example\n"), 0, Context::Glued},
        UnknownFieldRow{"BehindTheDateOfALogLineCutAtItsHyphen", "old line\r\n2008-",
                        CrLf("Original-Message-ID: <o.1@b.example>\n"), 0, Context::Glued},
        UnknownFieldRow{"NameWithACapitalInsideALaterWord", "old line\r\nthe version",
                        CrLf("Prevent-NonDelivery-Report: \n"), 0, Context::Glued},
        UnknownFieldRow{"BehindARuleOfUnderscores", "old line\r\n__________",
                        CrLf("Approved: moderator@b.example\n"), 0, Context::Glued},
        // What stays as it was: a block behind prose does not begin a mail.
        UnknownFieldRow{"EightBitLettersInsideAName", kBinary,
                        CrLf("X-Empf\xe4nger: a@b.example\nImportance: high\n"), 0,
                        Context::NonText},
        UnknownFieldRow{"CapitalisedNameBehindZeros", std::string(8, '\0'), CrLf("ExtLoop1: 1\n"),
                        0, Context::NonText},
        UnknownFieldRow{"NameBehindABlankIsProse", "old line\r\nsee the notes below ",
                        CrLf("Summary: the plans for May\n"), kNoMail, Context::TextLine},
        UnknownFieldRow{"NameBehindQuoteMarksIsAQuotedLine", "old line\r\n> ",
                        CrLf("Thread-Topic: Plans\n"), kNoMail, Context::TextLine},
        UnknownFieldRow{"WholeNameBelowProse", "old line\r\nsee the notes below\r\n",
                        CrLf("Thread-Topic: Plans\n"), kNoMail, Context::TextLine},
        UnknownFieldRow{"NameWithACapitalInsideBelowProse", "old line\r\nsee below\r\n",
                        CrLf("DomainKey-Signature: a=rsa-sha1\n"), kNoMail, Context::TextLine},
        UnknownFieldRow{"KnownNameBelowProse", "old line\r\nsee below\r\n", CrLf("SilverFrom: x\n"),
                        kNoMail, Context::TextLine},
        UnknownFieldRow{"NameBehindAHyphenOfOldText", "old line\r\nnon-",
                        CrLf("Precedence: bulk\n"), kNoMail, Context::TextLine},
        UnknownFieldRow{"LowerCaseName", "old line\r\nthe water", CrLf("precedence: bulk\n"),
                        kNoMail, Context::TextLine}),
    [](const testing::TestParamInfo<UnknownFieldRow>& row) { return row.param.name; });

// A file that begins at a sector with a field no list knows, behind old text that runs into
// its first line.
struct SectorRow {
  const char* name;
  std::string before;  // old bytes in front of the sector, on the block's first line
  std::string firstLine;
  Context context;
};

void PrintTo(const SectorRow& row, std::ostream* out) {
  *out << row.name;
}

class UnknownFieldAtASectorTest : public testing::TestWithParam<SectorRow> {};

TEST_P(UnknownFieldAtASectorTest, BlockBeginsAtTheSector) {
  constexpr std::uint64_t kSector = 16 * 512;
  const SectorRow& row = GetParam();
  const std::string bytes =
      row.before + row.firstLine +
      CrLf("Received: from x by y\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n");
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           kSector - row.before.size()};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(buffer.base + start.index, kSector);
  EXPECT_EQ(start.context, row.context);
  EXPECT_TRUE(StartsAMail(buffer, start, true));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnknownFieldAtASectorTest,
    testing::Values(
        SectorRow{"InsideTheCutNameOfAnOldLine", "Content-Type: text/plain\r\nContent-Transfer-E",
                  CrLf("Errors-To: owner@b.example\n"), Context::MidLine},
        SectorRow{"InsideTheValueOfAProseLine", "old prose line\r\nemail:  POWERMAN10MILLION@hotm",
                  CrLf("Content-Language: en-US\n"), Context::MidLine},
        SectorRow{"BehindABlankInAnIndentedLineOfMarkup",
                  "old line\r\n  <record id=\"8528\"><text>Most ancient after ",
                  CrLf("List-Unsubscribe: <mailto:leave@b.example>\n"), Context::Glued}),
    [](const testing::TestParamInfo<SectorRow>& row) { return row.param.name; });

// A sector start inside the old bytes whose run of name bytes swallows the glued name: the
// glued name begins the block, not the sector.
TEST(UnknownFieldAtASectorTest, SectorInOldBytesInFrontOfTheGluedName) {
  constexpr std::uint64_t kSector = 16 * 512;
  const std::string before = "U05LDff27GI3X\r\nRXKGq3VoN/brnhjyxJBy";
  const std::string glued = "GRRF6CB+CbGx";
  const std::string bytes =
      before + glued +
      CrLf("Importance: high\nReturn-Path: <>\nFrom: a@b.example\nDate: Fri, 7 Mar 1997\n");
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           kSector - before.size()};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(start.index, before.size() + glued.size());
  EXPECT_EQ(start.context, Context::Glued);
}

// A message quoted in a mailbox's body, whose first line's own name a sector start cuts
// ("Return-" + "Path: <...>"), as on a dense mailbox image: no file begins inside it.
TEST(UnknownFieldAtASectorTest, OwnNameCutBySectorBelowProse) {
  constexpr std::uint64_t kSector = 16 * 512;
  const std::string before = "AA==\r\n>From - Fri Mar  7 02:51:22 1997\r\nReturn-";
  const std::string bytes =
      before + CrLf(
                   "Path: <a@b.example>\nReceived: from x\nFrom: a@b.example\nDate: Fri, 7 Mar "
                   "1997\n");
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           kSector - before.size()};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(start.context, Context::TextLine);
  EXPECT_FALSE(StartsAMail(buffer, start, true));
}

}  // namespace
}  // namespace quillon
