// A mail's last line without a line break: up to its file's end padded by zeros, or up to the
// end of the cluster its file was cut at.
#include "scan/reread/last_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace quillon::mail_reader {
namespace {

const std::string kMultipartHead =
    "From: a@x\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
    "Content-Type: text/plain\r\n\r\n";

const std::string kHtmlHead = "From: a@x\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";

// A mail text laid out so that `line` begins `beforeEnd` bytes before a cluster's end, with
// `behind` following it there; `lines` stand between the head and `line`.
struct Layout {
  std::string text;
  std::size_t lineStart = 0;
  std::uint64_t start = 0;
};

Layout LineAtClusterEnd(const std::string& head, const std::string& line, std::size_t beforeEnd,
                        const std::string& behind) {
  Layout layout;
  std::string filler;
  while (head.size() + filler.size() + 40 < kClusterBytes - beforeEnd)
    filler += "a line of the mail's text, written on\r\n";
  const std::size_t padding = kClusterBytes - beforeEnd - head.size() - filler.size() - 2;
  filler += std::string(padding, 'w') + "\r\n";
  layout.text = head + filler + line + behind;
  layout.lineStart = head.size() + filler.size();
  layout.start = 3 * kClusterBytes;
  return layout;
}

struct ClusterRow {
  const char* name;
  std::string head;
  std::string line;    // the mail's last line up to the cluster's end
  std::string behind;  // the next cluster's bytes
  std::string boundary;
  std::size_t kept;  // bytes of `line` that are the mail's
};

void PrintTo(const ClusterRow& row, std::ostream* out) {
  *out << row.name;
}

class LastLineToClusterEndTest : public testing::TestWithParam<ClusterRow> {};

TEST_P(LastLineToClusterEndTest, KeepsACutLineOfAnOpenMultipart) {
  const ClusterRow& row = GetParam();
  const Layout layout = LineAtClusterEnd(row.head, row.line, row.line.size(), row.behind);
  EXPECT_EQ(LastLineToClusterEnd(layout.text, layout.lineStart, layout.start, row.boundary),
            row.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LastLineToClusterEndTest,
    testing::Values(ClusterRow{"Base64CutIntoText", kMultipartHead, "QUJDREVGR0hJSktM",
                               "river garden bridge\nmore old text\n", "b", 16},
                    ClusterRow{"TextCutIntoBinary", kMultipartHead, "CONFIG_SATA_U",
                               std::string("\x8e\x01\xd3q\x1f\xa9\x02\r\n"), "b", 13},
                    ClusterRow{"TextCutIntoZeros", kMultipartHead, "double-checking the",
                               std::string(64, '\0'), "b", 19},
                    ClusterRow{"HeaderBlockCut", "From: a@x\r\nSubject: s\r\n",
                               "Content-Type: mult", "ipart old text\n", "", 18},
                    ClusterRow{"OpenHtmlText", kHtmlHead + "<html><body>\r\n",
                               "<table border=3D0 cell", "old text\n", "", 22},
                    ClusterRow{"OpenMultipartRunsIntoBinaryAmidTheCluster", kMultipartHead,
                               std::string("QUJDREVG\x01\x02zz"), "old\r\n", "b", 0},
                    ClusterRow{"ClosedHtmlText", kHtmlHead + "<html><body></body></HTML>\r\n",
                               "old slack tex", "t of another file\r\n", "", 0},
                    ClusterRow{"SinglePartMailEndedWithItsLine", "From: a@x\r\n\r\n",
                               "old slack tex", "t of another file\r\n", "", 0},
                    ClusterRow{"ClosedMultipartEndedWithItsLine",
                               kMultipartHead + "hi\r\n--b--\r\n", "old slack tex",
                               "t of another file\r\n", "b", 0},
                    ClusterRow{"LineBreakBeforeTheClusterEnd", kMultipartHead, "line\r\nnext",
                               "old\r\n", "b", 0},
                    ClusterRow{"ClosedMultipartRunsIntoBinary", kMultipartHead + "hi\r\n--b--\r\n",
                               std::string("ab\x01\x02zz"), "old\r\n", "b", 0}),
    [](const testing::TestParamInfo<ClusterRow>& row) { return row.param.name; });

TEST(LastLineToClusterEndTest, ALineThatEndsBehindTheClusterEndIsReadByTheOtherRules) {
  // The text read stops at the cluster's end: nothing shows what the next cluster holds.
  const Layout layout = LineAtClusterEnd(kMultipartHead, "QUJDREVGR0hJSktM", 16, "");
  EXPECT_EQ(LastLineToClusterEnd(layout.text, layout.lineStart, layout.start, "b"), 0U);
}

TEST(LastLineToClusterEndTest, ALineAtACutClusterStartIsNoLastLine) {
  const std::string text = kMultipartHead + std::string(kClusterBytes + 8, 'Q');
  // The line begins exactly at a cluster's start: the cluster before it ended the file.
  const std::uint64_t start = 2 * kClusterBytes - kMultipartHead.size();
  EXPECT_EQ(LastLineToClusterEnd(text, kMultipartHead.size(), start, "b"), 0U);
}

struct FileEndRow {
  const char* name;
  std::string text;
  std::size_t at;
  std::uint64_t start;
  std::size_t length;
};

void PrintTo(const FileEndRow& row, std::ostream* out) {
  *out << row.name;
}

class LastLineToFileEndTest : public testing::TestWithParam<FileEndRow> {};

TEST_P(LastLineToFileEndTest, KeepsALastLinePaddedByZeros) {
  const FileEndRow& row = GetParam();
  EXPECT_EQ(LastLineToFileEnd(row.text, row.at, row.start), row.length);
}

const std::string kBody = "From: a@x\r\n\r\nlast words";

INSTANTIATE_TEST_SUITE_P(
    Rules, LastLineToFileEndTest,
    testing::Values(
        FileEndRow{"ZerosToTheSectorEnd", kBody + std::string(512, '\0'), 13, 0, 10},
        FileEndRow{"DataBehindTheZeros", kBody + std::string(8, '\0') + "data", 13, 0, 0},
        FileEndRow{"LineAtASectorStart", kBody + std::string(512, '\0'), 13, 512 - 13, 0},
        FileEndRow{"NoNul", kBody, 13, 0, 0}),
    [](const testing::TestParamInfo<FileEndRow>& row) { return row.param.name; });

struct IntoDataRow {
  const char* name;
  std::string line;  // the last line and what follows it
  std::size_t kept;
  std::string above = "";  // the line above it, with its line end
};

void PrintTo(const IntoDataRow& row, std::ostream* out) {
  *out << row.name;
}

class LastLineIntoDataTest : public testing::TestWithParam<IntoDataRow> {};

TEST_P(LastLineIntoDataTest, KeepsTheTextInFrontOfTheData) {
  const std::string text = "From: a@x\r\n\r\nfirst line\r\n" + GetParam().above + GetParam().line;
  EXPECT_EQ(LastLineIntoData(text, text.size() - GetParam().line.size()), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LastLineIntoDataTest,
    testing::Values(
        IntoDataRow{"TextThenRandomBytes", std::string("Body Text - not important\xe3\x01\x9a\x02"),
                    25},
        // Zeros are a file's padding or the end of old bytes' cluster: the file-end rule weighs
        // them.
        IntoDataRow{"TextThenZeros", std::string("Body Text") + std::string(8, '\0'), 0},
        // Random bytes that begin with printable ones: they are taken, the mail is whole.
        IntoDataRow{"PrintableRandomBytesTaken", std::string("Body Text;q\x8e\x01\xd3"), 11},
        IntoDataRow{"TooShortToTell", std::string("Bye\x8e\x01\xd3\x1f"), 0},
        // A signature's name behind a closing, the comma of which random bytes seldom follow.
        IntoDataRow{"NameBehindAClosing", std::string("Bob\x8e\x01\xd3\x1f"), 3, "Regards,\r\n"},
        IntoDataRow{"NameBehindAClosingWithBlanks", std::string("Bob\x8e\x01\xd3\x1f"), 3,
                    "BR,  \n"},
        IntoDataRow{"PunctuationBehindAClosing", std::string("#b\x8e\x01\xd3\x1f"), 0,
                    "Regards,\r\n"},
        IntoDataRow{"ShortLineBehindProseWithAComma", std::string("Bob\x8e\x01\xd3\x1f"), 0,
                    "which the committee, having weighed it all, found sound,\r\n"},
        IntoDataRow{"NameBehindAClosingThenZeros", "Bob" + std::string(8, '\0'), 0, "Regards,\r\n"},
        // An HTML text's end tag, which random bytes never begin with.
        IntoDataRow{"DocumentsEndTag", std::string("</html>\x8e\x01\xd3\x1f"), 7, "</body>\r\n"},
        IntoDataRow{"ElementsEndTag", std::string("</p>\xe3\x01\x9a"), 4},
        IntoDataRow{"EndTagThenZeros", "</html>" + std::string(8, '\0'), 0},
        IntoDataRow{"NoEndTag", std::string("</ht\x8e\x01\xd3"), 0},
        IntoDataRow{"TagThatOpens", std::string("<html>\x8e\x01\xd3"), 0},
        IntoDataRow{"EndTagOfNoName", std::string("</1p>\x8e\x01\xd3"), 0},
        IntoDataRow{"ALineOfItsOwn", "Body Text - not important\r\n", 0},
        IntoDataRow{"EightBitTextGoesOn", std::string("Body Text caf\xe9 au lait, merci"), 0},
        IntoDataRow{"RandomBytesOnly", std::string("\x8e\x01\xd3q\x1f\xa9\x02"), 0},
        // A CR that no LF follows ends no line: random bytes may begin with one.
        IntoDataRow{"TextThenRandomBytesBeginningWithACr",
                    std::string("Body Text\r\x01\xb9\x35gJ\x82\xb0"), 9},
        IntoDataRow{"ALineOfItsOwnThenRandomBytes", std::string("Body Text\r\n\x01\xb9\x82"), 0},
        IntoDataRow{"ACrThenTextOfOldLines", std::string("Body Text\rold line one\rold two"), 0},
        IntoDataRow{"ACrWhereTheBytesEnd", std::string("Body Text\r"), 0},
        // An HTML document ends with its close: random bytes behind it are not taken, printable
        // or 8-bit ones (which no text puts behind a document's close on its line).
        IntoDataRow{"DocumentCloseThenPrintableRandomBytes",
                    std::string("<p>last words</p></html>E\x93QB\x18\xa4"), 24},
        IntoDataRow{"DocumentCloseThenEightBitBytes",
                    std::string("<p>words</p></HTML>E\x93QB\xa4R\xc1\xca\n"), 19},
        IntoDataRow{"MarkupThenEightBitBytesWithoutAClose",
                    std::string("<p>words</p></body>E\x93QB\xa4R\xc1\xca\n"), 0},
        IntoDataRow{"DocumentCloseFarInsideTheLine",
                    std::string("</html> closes the page, a note below it\x01\x9a"), 40}),
    [](const testing::TestParamInfo<IntoDataRow>& row) { return row.param.name; });

struct ShortReplyRow {
  const char* name;
  std::string line;  // the body's only line and what follows it
  std::size_t kept;
};

void PrintTo(const ShortReplyRow& row, std::ostream* out) {
  *out << row.name;
}

class ShortReplyIntoDataTest : public testing::TestWithParam<ShortReplyRow> {};

TEST_P(ShortReplyIntoDataTest, KeepsAShortReplyThatIsTheWholeBody) {
  const std::string text = "From: a@x\r\nSubject: hi\r\n\r\n" + GetParam().line;
  EXPECT_EQ(LastLineIntoData(text, text.size() - GetParam().line.size()), GetParam().kept);
}

// A body of one short reply without a line break, random bytes behind it.
INSTANTIATE_TEST_SUITE_P(
    Rules, ShortReplyIntoDataTest,
    testing::Values(ShortReplyRow{"TwoLetters", std::string("ok\x8a\x8d\xd4\x18"), 2},
                    ShortReplyRow{"AWordAndAFullStop", std::string("Yes.\x8e\x01\xd3"), 4},
                    ShortReplyRow{"PrintableRandomBytesBehind", std::string("ok]\xda\x18"), 2},
                    ShortReplyRow{"ADigitBehind", std::string("Sure!5\xda\x18"), 5},
                    // Random bytes that begin with letters seldom make a word of them.
                    ShortReplyRow{"LettersWithoutAVowel", std::string("hx\x8a\x8d\xd4\x18"), 0},
                    // One letter is as likely a random byte behind an empty body.
                    ShortReplyRow{"OneLetter", std::string("x\x8e\x01\xd3"), 0},
                    ShortReplyRow{"DigitsFirst", std::string("42\x8e\x01\xd3"), 0},
                    ShortReplyRow{"MarkFirst", std::string("]ok\x8e\x01\xd3"), 0},
                    ShortReplyRow{"ZerosBehind", "ok" + std::string(8, '\0'), 0},
                    ShortReplyRow{"EightBitTextBehind", std::string("ok caf\xe9 au lait"), 0},
                    ShortReplyRow{"ALineOfItsOwn", "ok\r\n", 0}),
    [](const testing::TestParamInfo<ShortReplyRow>& row) { return row.param.name; });

struct ClosingSentenceRow {
  const char* name;
  std::string above;  // the lines in front of the last one, with their line ends
  std::string line;   // the last line and what follows it
  std::size_t kept;
};

void PrintTo(const ClosingSentenceRow& row, std::ostream* out) {
  *out << row.name;
}

class ClosingSentenceIntoDataTest : public testing::TestWithParam<ClosingSentenceRow> {};

TEST_P(ClosingSentenceIntoDataTest, KeepsAClosingSentenceOfItsOwnParagraph) {
  const ClosingSentenceRow& row = GetParam();
  const std::string text = "From: a@x\r\n\r\nThe figures are in.\r\n" + row.above + row.line;
  EXPECT_EQ(LastLineIntoData(text, text.size() - row.line.size()), row.kept);
}

// A plain text that ends with a sentence of its own without a line break, random bytes behind.
INSTANTIATE_TEST_SUITE_P(
    Rules, ClosingSentenceIntoDataTest,
    testing::Values(
        ClosingSentenceRow{"AWordAndAFullStop", "\r\n", std::string("Done.\x8e\x01\xd3"), 5},
        ClosingSentenceRow{"LineFeedParagraphs", "\n", std::string("Bye!\xe3\x01\x9a\x02"), 4},
        ClosingSentenceRow{"PrintableRandomBytesBehind", "\r\n", std::string("Bye?q\x8e\x01\xd3"),
                           4},
        // Without its mark random bytes begin so once in a hundred: no sentence to tell.
        ClosingSentenceRow{"NoMarkAtItsEnd", "\r\n", std::string("Done\x8e\x01\xd3\x1f"), 0},
        ClosingSentenceRow{"SmallLetterFirst", "\r\n", std::string("bye.\x8e\x01\xd3"), 0},
        ClosingSentenceRow{"OneCapitalAlone", "\r\n", std::string("D.\x8e\x01\xd3\x1f"), 0},
        // Under a line of the same paragraph a short line is as likely random bytes' first.
        ClosingSentenceRow{"NoEmptyLineInFront", "", std::string("Done.\x8e\x01\xd3"), 0},
        ClosingSentenceRow{"ZerosBehind", "\r\n", "Done." + std::string(8, '\0'), 0},
        ClosingSentenceRow{"ALineOfItsOwn", "\r\n", "Done.\r\n", 0}),
    [](const testing::TestParamInfo<ClosingSentenceRow>& row) { return row.param.name; });

class SmallWordIntoDataTest : public testing::TestWithParam<ShortReplyRow> {};

TEST_P(SmallWordIntoDataTest, KeepsALastWordInSmallLetters) {
  const std::string text = "From: a@x\r\n\r\nSorry, one more thing.\r\n" + GetParam().line;
  EXPECT_EQ(LastLineIntoData(text, text.size() - GetParam().line.size()), GetParam().kept);
}

// A last line of one word in small letters without a line break, random bytes behind it.
INSTANTIATE_TEST_SUITE_P(
    Rules, SmallWordIntoDataTest,
    testing::Values(ShortReplyRow{"FourLetters", std::string("test\x9d\x01q\xf3"), 4},
                    ShortReplyRow{"SixLetters", std::string("sadsad\x99\x02\xe6\xfa"), 6},
                    ShortReplyRow{"PrintableRandomBytesBehind", std::string("test^-\x9d\x01"), 4},
                    ShortReplyRow{"CapitalRandomByteBehind", std::string("okay\x22K\x01\x9d"), 4},
                    // Random bytes begin with three small letters once in a thousand.
                    ShortReplyRow{"ThreeLetters", std::string("bye\x8e\x01\xd3"), 0},
                    ShortReplyRow{"NoVowel", std::string("xkcd\x8e\x01\xd3"), 0},
                    ShortReplyRow{"CapitalFirst", std::string("Test\x8e\x01\xd3"), 0},
                    // A blank behind the word: the line goes on in words, which random bytes
                    // cut short.
                    ShortReplyRow{"WordsGoOn", std::string("test ok\x8e\x01\xd3"), 0},
                    ShortReplyRow{"ZerosBehind", "test" + std::string(8, '\0'), 0},
                    ShortReplyRow{"ALineOfItsOwn", "test\r\n", 0}),
    [](const testing::TestParamInfo<ShortReplyRow>& row) { return row.param.name; });

struct SoftBreakRow {
  const char* name;
  std::string line;
  std::size_t kept;
  std::string encoding = "quoted-printable";
};

void PrintTo(const SoftBreakRow& row, std::ostream* out) {
  *out << row.name;
}

class SoftBreakIntoDataTest : public testing::TestWithParam<SoftBreakRow> {};

TEST_P(SoftBreakIntoDataTest, TakesTheLineUpToItsSoftBreak) {
  const std::string text = "From: a@x\r\nContent-Transfer-Encoding: " + GetParam().encoding +
                           "\r\n\r\nfirst line\r\n" + GetParam().line;
  EXPECT_EQ(LastLineIntoData(text, text.size() - GetParam().line.size()), GetParam().kept);
}

// A quoted-printable soft break ends no text: a short line that ends in one was cut by the
// file's end; random printable bytes behind the "=" are not taken.
INSTANTIATE_TEST_SUITE_P(
    Rules, SoftBreakIntoDataTest,
    testing::Values(
        SoftBreakRow{"ShortLineEndingInASoftBreak", std::string("Bye=\x8e\x01\xd3\x1f"), 4},
        SoftBreakRow{"SoftBreakThenPrintableRandomBytes", std::string("ok=q}\x8e\x01\xd3"), 3},
        SoftBreakRow{"OneCharacterInFrontOfASoftBreak", std::string("c=\x8e\x01\xd3\x1f"), 0},
        SoftBreakRow{"HexEscapeIsNoSoftBreak", std::string("a=3D\x8e\x01\xd3\x1f"), 0},
        SoftBreakRow{"HexEscapeThenSoftBreak", std::string("=E9t=\x8e\x01\xd3\x1f"), 5},
        SoftBreakRow{"CafeThenSoftBreak", std::string("caf=E9=\x8e\x01\xd3\x1f"), 7},
        SoftBreakRow{"EqualsBehindABlankIsNoSoftBreak", std::string("ab =\x8e\x01\xd3\x1f"), 0},
        SoftBreakRow{"EqualsAloneIsNoSoftBreak", std::string("=\x8e\x01\xd3\x1f"), 0},
        SoftBreakRow{"SoftBreakThenZeros", "Bye=" + std::string(8, '\0'), 0},
        // Old bytes hold "=" as any other byte: a text not written quoted-printable keeps to the
        // longer minimum.
        SoftBreakRow{"TextNotQuotedPrintable", std::string("Bye=\x8e\x01\xd3\x1f"), 0, "8bit"}),
    [](const testing::TestParamInfo<SoftBreakRow>& row) { return row.param.name; });

struct Base64TailRow {
  const char* name;
  std::string above;  // the data lines above the last one, with their line ends
  std::string line;   // the last line and what follows it
  std::size_t kept;
};

void PrintTo(const Base64TailRow& row, std::ostream* out) {
  *out << row.name;
}

class Base64TailIntoDataTest : public testing::TestWithParam<Base64TailRow> {};

TEST_P(Base64TailIntoDataTest, KeepsTheDataInFrontOfTheOldBytes) {
  const Base64TailRow& row = GetParam();
  const std::string text =
      "From: a@x\r\nContent-Transfer-Encoding: base64\r\n\r\n" + row.above + row.line;
  EXPECT_EQ(Base64TailIntoData(text, text.size() - row.line.size()), row.kept);
}

const std::string kDataLine =
    "SDRzSUFPSEJtRDhBQTR2TUwxWFB5VkhJU3kxTExWSklyOHhMVWNoTlZlUUNBSGJl\r\n";
const std::string kDataLines = kDataLine + kDataLine;

INSTANTIATE_TEST_SUITE_P(
    Rules, Base64TailIntoDataTest,
    testing::Values(
        Base64TailRow{"QuantumThenRandomBytes", kDataLines, std::string("64WA\x8e\x01\xd3\x1f\xa9"),
                      4},
        Base64TailRow{"PaddedQuantumThenRandomBytes", kDataLines,
                      std::string("QUJDREU=\x8e\x01\xd3"), 8},
        // Random bytes behind the data that begin with base64 characters: whole quanta alone.
        Base64TailRow{"RandomBaseCharactersBehindAQuantum", kDataLines,
                      std::string("64WAq\x8e\x01\xd3"), 4},
        Base64TailRow{"LinesOfTwoLengthsEndedTheData", kDataLine + "QUJDREVG\r\n",
                      std::string("64WA\x8e\x01\xd3"), 0},
        Base64TailRow{
            "PaddedLineEndedTheData",
            kDataLine + "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdA==\r\n",
            std::string("64WA\x8e\x01\xd3"), 0},
        Base64TailRow{"OneLineAlone", kDataLine, std::string("64WA\x8e\x01\xd3"), 0},
        Base64TailRow{"NoWholeQuantum", kDataLines, std::string("64W\x8e\x01\xd3"), 0},
        Base64TailRow{"ZerosAreTheFileEndRulesToWeigh", kDataLines, "64WA" + std::string(16, '\0'),
                      0},
        Base64TailRow{"OldTextBehind", kDataLines, "64WA, old words of a line\r\n", 0},
        Base64TailRow{"ALineOfItsOwn", kDataLines, "64WA\r\n", 0},
        Base64TailRow{"LinesOfText", "the lines above are prose\r\nthe lines above are prose\r\n",
                      std::string("64WA\x8e\x01\xd3"), 0}),
    [](const testing::TestParamInfo<Base64TailRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
