// Header blocks of files that open oddly where a sector starts or zeros end: with an empty line,
// or with a field no list knows that the sector start cuts out of a line of old text or of an old
// header line's value. None of them has a trace line, so what stands in front decides alone.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "support/scan_harness.h"

namespace quillon {

namespace {

using test::CrLf;

constexpr std::size_t kNoSector = SIZE_MAX;

struct OpeningRow {
  const char* name;
  std::string before;     // old bytes and the file's opening in front of the block
  std::string firstLine;  // the block's first line
  std::size_t sector;     // index in `before` a sector starts at, or kNoSector
  std::size_t expected;   // index in `before` (or past it) the block begins at
  bool opensAMail;
};

void PrintTo(const OpeningRow& row, std::ostream* out) {
  *out << row.name;
}

class SectorOpeningTest : public testing::TestWithParam<OpeningRow> {};

TEST_P(SectorOpeningTest, FileOpensWhereTheBytesSay) {
  const OpeningRow& row = GetParam();
  const std::string bytes =
      row.before + row.firstLine +
      CrLf("From: a@b.example\nTo: c@d.example\nSubject: plans\nDate: Fri, 1 Jun 2001\n");
  const std::uint64_t base = row.sector == kNoSector ? 4096 + 100 : 4096 - row.sector;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), base};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(start.index, row.expected);
  EXPECT_EQ(StartsAMail(buffer, start, false), row.opensAMail);
}

const std::string kZeros(12, '\0');

INSTANTIATE_TEST_SUITE_P(
    Openings, SectorOpeningTest,
    testing::Values(
        OpeningRow{"EmptyLineBehindZeros", kZeros + "\r\n", CrLf("X-Note: a\n"), kNoSector, 14,
                   true},
        OpeningRow{"BareLfEmptyLineBehindBinary", "\x9c\xe1\xfe\x01\n", "X-Note: a\r\n", kNoSector,
                   5, true},
        // A file may open with a run of empty lines, not only with one.
        OpeningRow{"EmptyLinesBehindZeros", kZeros + "\r\n\r\n", CrLf("X-Note: a\n"), kNoSector, 16,
                   true},
        OpeningRow{"EmptyLinesAtASectorBehindZeros", kZeros + "\r\n\r\n\r\n", CrLf("X-Note: a\n"),
                   12, 18, true},
        OpeningRow{"BareLfEmptyLinesBehindBinary", "\x9c\xe1\xfe\x01\n\n\n", "X-Note: a\r\n",
                   kNoSector, 7, true},
        // ... also where old bytes ran up to the sector without a line end of their own.
        OpeningRow{"EmptyLineAtASectorBehindBinary", kZeros + "iL\r\n", CrLf("X-Note: a\n"), 14, 16,
                   true},
        OpeningRow{"UnknownFieldBehindALowerCaseWordAtASector",
                   "hecksum: 66E1DD7C\r\n  information available fro", CrLf("Importance: normal\n"),
                   46, 46, true},
        OpeningRow{"UnknownFieldInAnOldHeaderValueAtASector", "Content-Disposition: attachme",
                   CrLf("Importance: normal\n"), 29, 29, true},
        OpeningRow{"MailboxSeparatorOpeningASector",
                   "old prose cutFrom sender@example.com Sat Jan  1 00:00:00 2000\r\n",
                   CrLf("X-Note: a\n"), 13, 63, true},
        // What stays as it was: behind text a sector start alone does not tell an
        // empty line a file opens with from a body's (a forward's header below it).
        OpeningRow{"EmptyLineOpeningASector", "old line of prose\r\n\r\n", CrLf("X-Note: a\n"), 19,
                   21, false},
        OpeningRow{"ProseLineEndAtASector", "old prose cut\r\n", CrLf("X-Note: a\n"), 13, 15,
                   false},
        OpeningRow{"EmptyLineBehindProse", "old line of prose\r\n\r\n", CrLf("X-Note: a\n"),
                   kNoSector, 21, false},
        OpeningRow{"EmptyLinesBehindProse", "old line of prose\r\n\r\n\r\n", CrLf("X-Note: a\n"),
                   kNoSector, 23, false},
        OpeningRow{"EmptyLinesOpeningASectorBehindProse", "old line of prose\r\n\r\n\r\n",
                   CrLf("X-Note: a\n"), 19, 23, false},
        OpeningRow{"EmptyLinesBehindZerosAndProse", kZeros + "old prose\r\n\r\n\r\n",
                   CrLf("X-Note: a\n"), kNoSector, 27, false},
        OpeningRow{"EmptyLineAtASectorBehindPartHeaders", "Content-Type: message/rfc822\r\n\r\n",
                   CrLf("X-Note: a\n"), 30, 32, false},
        OpeningRow{"QuotedSeparatorCutBehindItsMark",
                   "old line\r\n>From sender@example.com Sat Jan  1 00:00:00 2000\r\n",
                   CrLf("X-Note: a\n"), 11, 61, false},
        OpeningRow{"CapitalisedWordBehindABlankInAValue", "Subject: notes on the ",
                   CrLf("Agenda: monday\n"), 22, 0, false},
        OpeningRow{"UnknownFieldBehindALowerCaseWordAwayFromASector",
                   "hecksum: 66E1DD7C\r\n  information available fro", CrLf("Importance: normal\n"),
                   kNoSector, 0, false},
        // A colon of old code in front of the sector lists no names.
        OpeningRow{"KnownFieldBehindAColonOfCodeAtASector",
                   "def totals(rows):\r\n    for row in rows:",
                   CrLf("Received: (from majordom@localhost)\n\tby mx.example;\n"), 39, 39, true}));

// A file that opens with blanks in front of its first name: where the file is seen to begin,
// the blanks are its text's first bytes; inside old text they are the old text's own.
struct BlanksRow {
  const char* name;
  std::string before;  // old bytes and the blanks in front of the first name
  std::size_t sector;  // index in `before` a sector starts at, or kNoSector
  std::size_t text;    // where the mail's text begins
  bool opensAMail;
};

void PrintTo(const BlanksRow& row, std::ostream* out) {
  *out << row.name;
}

class OpeningBlanksTest : public testing::TestWithParam<BlanksRow> {};

TEST_P(OpeningBlanksTest, TextBeginsWhereTheFileDoes) {
  const BlanksRow& row = GetParam();
  const std::string bytes =
      row.before + CrLf("Return-Path: <a@b.example>\nFrom: a@b.example\nDate: Fri, 1 Jun 2001\n");
  const std::uint64_t base = row.sector == kNoSector ? 4096 + 100 : 4096 - row.sector;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), base};
  const BlockStart start = FindBlockStart(buffer, bytes.find("Date: "), 0);
  EXPECT_EQ(start.index, row.before.size());
  EXPECT_EQ(start.TextIndex(), row.text);
  EXPECT_EQ(StartsAMail(buffer, start, true), row.opensAMail);
}

INSTANTIATE_TEST_SUITE_P(
    Openings, OpeningBlanksTest,
    testing::Values(
        BlanksRow{"BlanksBehindZeros", kZeros + "  \t", kNoSector, 12, true},
        BlanksRow{"BlankBehindZerosAtASector", kZeros + " ", 12, 12, true},
        BlanksRow{"BlankAtASectorBehindProse", "old line\r\nsome words of old te ", 30, 30, true},
        BlanksRow{"BlanksAtASectorBehindProse", "old line\r\nsome words of ol   ", 26, 26, true},
        // Behind binary bytes or prose away from a sector start a blank is as likely theirs.
        BlanksRow{"BlankBehindBinary", "\x9c\xe1\xfe\x01 ", kNoSector, 5, true},
        BlanksRow{"BlankOfUtf16Text", std::string("t\0e\0x\0t\0 ", 9), kNoSector, 9, true},
        BlanksRow{"BlankBehindProse", "old line\r\nsome words of old te ", kNoSector, 31, true},
        BlanksRow{"SectorInsideTheOldWord", "old line\r\nsome words of old te ", 27, 31, true},
        // An empty line a file opens with at a sector start, behind old text without a line end
        // of its own: the trace line tells it from a body's line end.
        BlanksRow{"EmptyLineAtASectorBehindProse", "old line\r\nsome words of old te\r\n", 30, 32,
                  true},
        BlanksRow{"EmptyLineAtASectorBehindBinary", "\x9c\xe1\xfe\x01iL\r\n", 6, 8, true},
        BlanksRow{"EmptyLineAtASectorBehindPartHeaders", "Content-Type: message/rfc822\r\n\r\n", 30,
                  32, false},
        BlanksRow{"ProseLineEndAwayFromASector", "old line\r\nsome words of old te\r\n", kNoSector,
                  32, false},
        BlanksRow{"ForwardIntroductionEndingAtASector",
                  "old line\r\n---------- Forwarded message ---------\r\n", 48, 50, false}));

}  // namespace

}  // namespace quillon
