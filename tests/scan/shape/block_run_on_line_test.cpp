// A header block across one line that is no field (a value run on without its fold, a stray
// token) in front of From or Date, and the prose that is no such block.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

struct RunOnRow {
  const char* name;
  std::string bytes;  // the walk starts at the "From: " line
  std::size_t start;  // where the block begins: the index of the "Return-Path" line, or npos
  bool valid;         // what reading the block from where the walk ends makes of it
};

void PrintTo(const RunOnRow& row, std::ostream* out) {
  *out << row.name;
}

class RunOnLineTest : public testing::TestWithParam<RunOnRow> {};

TEST_P(RunOnLineTest, BlockGoesOnAcrossTheLine) {
  const std::string& bytes = GetParam().bytes;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 4096};
  const std::size_t anchor = bytes.find("From: ");
  ASSERT_NE(anchor, std::string::npos);
  const BlockStart start = FindBlockStart(buffer, anchor, 0);
  const std::size_t expected = GetParam().start == std::string::npos ? anchor : GetParam().start;
  EXPECT_EQ(start.index, expected);
  // Fields behind a line of prose that is not crossed sit in that text.
  if (GetParam().start == std::string::npos) {
    EXPECT_EQ(start.context, Context::TextLine);
  }
  const ParsedBlock block = ParseBlock(buffer, start.index);
  EXPECT_EQ(block.valid, GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(block.headerEnd, bytes.rfind("\r\n\r\n") + 4);
  }
}

const std::string kProse = CrLf("Some text of an older letter.\n\n");
const std::string kTop = CrLf(
    "Return-Path: <a@example.org>\n"
    "Message-ID: <1@example.org>\n"
    "Subject: the first half of a subject\n");
const std::string kFields = CrLf(
    "From: a@example.org\n"
    "Date: Sun, 21 Oct 2007 19:38:13 +1000\n"
    "To: b@example.org\n"
    "\n"
    "Text.\n");
const std::size_t kTopAt = kProse.size();
const std::string kZeros(64, '\0');
const std::string kBinary("\x8f\xe2\x01\x9c\x00\xb7", 6);
const std::string kVersion = CrLf("MIME-Version: 1.0\n");

INSTANTIATE_TEST_SUITE_P(
    Blocks, RunOnLineTest,
    testing::Values(
        RunOnRow{"SubjectRunOnWithoutFold",
                 kProse + kTop + CrLf("and the rest of a subject that lost its fold\n") + kFields,
                 kTopAt, true},
        RunOnRow{"StrayToken", kProse + kTop + CrLf("c3RyYXkgYmFzZTY0IHRhaWw=\n") + kFields, kTopAt,
                 true},
        // Two lines that are no field end the block: the fields below are a block of their own.
        RunOnRow{
            "TwoLinesOfProse",
            kProse + kTop + CrLf("and the rest of a subject\nand still more of it\n") + kFields,
            std::string::npos, true},
        // Sentences between runs of header-like lines are text that quotes them.
        RunOnRow{"SentenceBetweenHeaderLines",
                 kProse + kTop +
                     CrLf("Modern harbour of the museum was granite. By the quarter.\n") + kFields,
                 std::string::npos, true},
        // A line of prose and one field behind it is a letter quoting a header line.
        RunOnRow{"ProseThenOneField",
                 kProse + kTop + CrLf("as he wrote to me\nFrom: a@example.org\n\nText.\n"),
                 std::string::npos, false},
        // Behind prose that follows no header line the fields open a block of their own.
        RunOnRow{"ProseAboveWithoutFields", CrLf("Some text\nof a letter that goes on\n") + kFields,
                 std::string::npos, true},
        // A file's first line behind zeros or binary bytes, a field line with no line feed in
        // front of it, stands above the run-on line just as well.
        RunOnRow{"TopLineBehindZeros",
                 kZeros + kVersion + CrLf("continued here (no indent)\n") + kFields, kZeros.size(),
                 true},
        RunOnRow{"StrayTokenBehindZeros",
                 kZeros + kVersion + CrLf("c3RyYXkgYmFzZTY0IHRhaWw=\n") + kFields, kZeros.size(),
                 true},
        RunOnRow{"TopLineBehindBinary", kBinary + kVersion + CrLf("= =?utf-8?q?tail?=\n") + kFields,
                 kBinary.size(), true},
        // ... and one glued to old text.
        RunOnRow{"TopLineGluedToOldText",
                 CrLf("words of an older letter, morni") + kVersion +
                     CrLf("continued here (no indent)\n") + kFields,
                 CrLf("words of an older letter, morni").size(), true},
        // Refused behind zeros as anywhere: a line with a control byte, two lines that are no
        // field, a sentence, and one field line below.
        RunOnRow{"ControlByteInLine", kZeros + kVersion + CrLf("continued\x01here\n") + kFields,
                 std::string::npos, true},
        RunOnRow{
            "TwoLinesBehindZeros",
            kZeros + kVersion + CrLf("and the rest of a subject\nand still more of it\n") + kFields,
            std::string::npos, true},
        RunOnRow{"SentenceBehindZeros",
                 kZeros + CrLf("Subject: x\nMeet me at the harbour.\n") + kFields,
                 std::string::npos, true},
        RunOnRow{"OneFieldBelowBehindZeros",
                 kZeros + kVersion + CrLf("continued here\nFrom: a@example.org\n\nText.\n"),
                 std::string::npos, false}),
    [](const testing::TestParamInfo<RunOnRow>& row) { return row.param.name; });

// Once From and Date are read, a line of prose is where the body begins without its empty line,
// whatever field-like lines follow it.
TEST(RunOnLineTest, ProseBehindFromAndDateEndsTheBlock) {
  const std::string bytes =
      kTop + CrLf(
                 "From: a@example.org\nDate: Sun, 21 Oct 2007 19:38:13 +1000\n"
                 "Call me at the office\nTel: 1234\nFax: 5678\n\nText.\n");
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  EXPECT_TRUE(block.endsWithoutEmptyLine);
  EXPECT_EQ(block.headerEnd, bytes.find("Call me"));
}

struct FirstLineRow {
  const char* name;
  std::string bytes;  // the walk starts at the "From: " line
  std::uint64_t base;
  std::size_t text;  // where the mail's text begins, npos: at the "From: " line
};

void PrintTo(const FirstLineRow& row, std::ostream* out) {
  *out << row.name;
}

class RunOnFirstLineTest : public testing::TestWithParam<FirstLineRow> {};

TEST_P(RunOnFirstLineTest, TextBeginsWithTheLine) {
  const FirstLineRow& row = GetParam();
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(row.bytes.data()),
                           row.bytes.size(), row.base};
  const std::size_t anchor = row.bytes.find("From: ");
  ASSERT_NE(anchor, std::string::npos);
  const BlockStart start = FindBlockStart(buffer, anchor, 0);
  EXPECT_EQ(start.TextIndex(), row.text == std::string::npos ? anchor : row.text);
}

const std::string kToken = CrLf("c3RyYXkgYmFzZTY0IHRhaWw=\n");
// Old bytes whose last four are text bytes, the sector start behind them.
const std::string kBinaryTail("\x9c\x01\xc3\xa9\xb7", 5);

INSTANTIATE_TEST_SUITE_P(
    Blocks, RunOnFirstLineTest,
    testing::Values(
        FirstLineRow{"RunOnBehindZeros", kZeros + CrLf("continued here (no indent)\n") + kFields,
                     4096, kZeros.size()},
        FirstLineRow{"RunOnAtASectorBehindBinary",
                     kBinaryTail + CrLf("and the rest of a subject\n") + kFields, 4096 - 5, 5},
        FirstLineRow{"TokenAtASectorBehindBinary", kBinaryTail + kToken + kFields, 4096 - 5, 5},
        // Refused: a sector start inside a line of the block above, a line that introduces a
        // forwarded mail, old bytes that show no file's start, one field line below.
        FirstLineRow{"SectorInsideATokenOfABlock", kVersion + kToken + kFields,
                     4096 - kVersion.size() - 6, 0},
        FirstLineRow{"ForwardedAtASector",
                     CrLf("Some old text.\n---------- Forwarded message ---------\n") + kFields,
                     4096 - 16, std::string::npos},
        FirstLineRow{"TokenBehindOtherBytes", "ab\x01" + kToken + kFields, 4096, std::string::npos},
        FirstLineRow{"LetterRunBehindZeros", kZeros + CrLf("nnnnnnnnnnnnnnnnnnnnnnnn\n") + kFields,
                     4096, std::string::npos},
        FirstLineRow{"ClauseBehindZeros", kZeros + CrLf("and the rest of a letter,\n") + kFields,
                     4096, std::string::npos},
        FirstLineRow{"TokenAtASectorBehindText", "abcd" + kToken + kFields, 4096 - 4,
                     std::string::npos},
        // A token alone is no file's first line where no binary bytes stand in front of it: a
        // sector starts on such lines inside a mail's own encoded parts (a returned mail's header
        // lines, quoted-printable), and a block begun there ran on over the mails behind it.
        FirstLineRow{"TokenBehindZeros", kZeros + kToken + kFields, 4096, std::string::npos},
        FirstLineRow{"TokenAboveOneField", kZeros + kToken + CrLf("From: a@example.org\n\nText.\n"),
                     4096, std::string::npos}),
    [](const testing::TestParamInfo<FirstLineRow>& row) { return row.param.name; });

struct RunOnTextRow {
  const char* name;
  const char* line;
  bool runOn;
};

class MayBeARunOnValueTest : public testing::TestWithParam<RunOnTextRow> {};

TEST_P(MayBeARunOnValueTest, TellsARunOnFromASentence) {
  EXPECT_EQ(MayBeARunOnValue(GetParam().line), GetParam().runOn);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MayBeARunOnValueTest,
    testing::Values(RunOnTextRow{"LowerCaseWords", "and the rest of a subject", true},
                    RunOnTextRow{"EncodedWord", "= =?utf-8?q?tail?=", true},
                    RunOnTextRow{"CapitalWithoutFullStop", "Continued here (no indent)", true},
                    RunOnTextRow{"Sentence", "Meet me at the harbour.", false},
                    RunOnTextRow{"Question", "  Where is the council? ", false},
                    RunOnTextRow{"Blanks", "   ", false},
                    RunOnTextRow{"ControlByte", "and the \x01rest", false},
                    RunOnTextRow{"DeleteByte", "and the rest\x7f", false},
                    RunOnTextRow{"BoundaryLine", "--=_Part_12_345.678", false},
                    RunOnTextRow{"TabAndEightBitText", "and the\tr\xc3\xa9sum\xc3\xa9", true}),
    [](const testing::TestParamInfo<RunOnTextRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
