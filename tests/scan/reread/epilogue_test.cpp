// How much text behind a multipart's closing boundary is still the mail's.
#include "scan/reread/epilogue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "scan/reread/old_text_lines.h"

namespace quillon::mail_reader {
namespace {

struct EpilogueRow {
  const char* name;
  std::string epilogue;  // the mail's own text behind its closing boundary line
  std::string old;       // old bytes behind it
  BehindText behind;     // what lies behind `old`
  bool lineFeedMail = false;
};

void PrintTo(const EpilogueRow& row, std::ostream* out) {
  *out << row.name;
}

std::string OldText(int lines, const char* ending = "\r\n") {
  std::string text;
  for (int line = 0; line < lines; ++line)
    text += "window garden " + std::to_string(line) + " river bridge" + ending;
  return text;
}

// A footer's lines: text written to be read, which begins with a capital.
std::string Footer(int lines) {
  std::string text = OldText(lines);
  text[0] = 'W';
  return text;
}

// A list footer under its rule, and the empty lines behind it.
const std::string kFooter =
    "\r\n\r\n-----------------------------------\r\nThis list is sponsored by:us\r\n"
    "http://x.org/sf\r\n______________\r\nusers mailing list\r\nhttps://x.org/listinfo/users"
    "\r\n\r\n\r\n";

// A line of base64 data as an encoder writes it.
const std::string kBase64Line =
    "XpMd2bDXq/YJ6yAC4fUOzQ46KkQvJ8+1aK5QWqElkraxpSK8YL0MYEO8VZxwLHG6Eo8Z3Cr8iR4+";

// Longer than lines of mail text are written.
const std::string kLong(kEpilogueLineLength + 1, 'w');

class EpilogueLengthTest : public testing::TestWithParam<EpilogueRow> {};

TEST_P(EpilogueLengthTest, TakesTheMailsEpilogueOnly) {
  const EpilogueRow& row = GetParam();
  EXPECT_EQ(EpilogueLength(row.epilogue + row.old, row.behind, row.lineFeedMail),
            row.epilogue.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, EpilogueLengthTest,
    testing::Values(
        EpilogueRow{"NothingBehindTheBoundary", "", "", BehindText::Unread},
        // Lines of blanks alone under the text read as the empty lines a mail ends with.
        EpilogueRow{"LinesOfBlanksThenBinaryData", "\r\n \r\n\t\r\n   \r\n", "\x9f\xcf.Y\t\xe0 x",
                    BehindText::MailEnd},
        EpilogueRow{"LinesOfBlanksThenTheNextMail", "\r\n \r\n", "\r\n", BehindText::NextMail},
        // A long run of blanks is an old page's layout, not a line the mail ends with.
        EpilogueRow{"ALongLineOfBlanksToTheEndOfWhatWasRead", "\r\n", std::string(24, ' ') + "\r\n",
                    BehindText::Unread},
        EpilogueRow{"LinesOfBlanksThenOldText", "\r\n  \r\n", OldText(kEpilogueLines + 1),
                    BehindText::NextMail},
        // A blank line of the other line end style is where old bytes begin, as an empty one.
        EpilogueRow{"ALineFeedLineOfBlanksBehindACrLfMail", "\r\n", " \nold one\r\n",
                    BehindText::NextMail},
        // A footer under its rule, the tail of an old page's line glued to its last line.
        EpilogueRow{"FooterThenTheTailOfAnOldLine",
                    "\r\n\r\n________________\r\nusers mailing list\r\nhttp://x/listinfo\r\n",
                    " harbour.</p>\r\n<p class=\"is\">River</p>\r\n", BehindText::MailEnd},
        // Without the rule nothing tells a footer from an old paragraph.
        EpilogueRow{"TextThenTheTailOfAnOldLine", "\r\n",
                    "users mailing list\r\nhttp://x/listinfo\r\n harbour.</p>\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"FooterThenOldEncodedText", "\r\n________________\r\nusers mailing list\r\n",
                    " 10px;        padding-right: 10px;        backgrou=\r\nnd-color: #f2f5fa;\r\n",
                    BehindText::MailEnd},
        // A lone line under a rule is too little to tell a footer by.
        EpilogueRow{"ARuleThenOldText", "\r\n", "________________\r\n<p class=\"is\">River</p>\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"EmptyLinesThenANul", "\r\n\r\n", std::string(1, '\0') + "x",
                    BehindText::Unread},
        EpilogueRow{"OldTextRightBehindTheBoundaryLine", "", OldText(3), BehindText::Unread},
        EpilogueRow{"OldTextRightBehindReachingTheNextMail", "", OldText(3), BehindText::NextMail},
        EpilogueRow{"OneNoteLineRightBehindTheBoundaryLine", "End of MIME message\r\n",
                    std::string(1, '\0'), BehindText::Unread},
        // Cut out of UTF-8 text inside a character: "\xd0\xb4" is a Cyrillic letter.
        EpilogueRow{"OldUtf8LineCutInsideACharacterRightBehind", "",
                    "\xb4\xd0\xb6\xd0\xb5.\r\n" + std::string(1, '\0') + "x", BehindText::MailEnd},
        // A Latin-1 note may open with an inverted question mark.
        EpilogueRow{"ALatinNoteRightBehindOpeningWithAMark", "\xbfQu\xe9 tal?\r\n", "",
                    BehindText::MailEnd},
        EpilogueRow{"OldTextBehindAnEmptyLine", "\r\n", OldText(kEpilogueLines + 1),
                    BehindText::NextMail},
        EpilogueRow{"ListFooterThenOldText", "\r\n____\r\nList footer\r\nhttp://x/listinfo\r\n\r\n",
                    OldText(kEpilogueLines + 1), BehindText::NextMail},
        EpilogueRow{"OldParagraphsBehindTheFirst", "\r\nfirst\r\n\r\n",
                    "second\r\n\r\n" + OldText(kEpilogueLines), BehindText::NextMail},
        // A line right behind the boundary line with old paragraphs behind it is old text too.
        EpilogueRow{"OldParagraphsBehindALineRightBehind", "",
                    "ancient.\r\n\r\n" + OldText(kEpilogueLines), BehindText::NextMail},
        // A stray boundary line, then the list footer: two paragraphs, both the mail's.
        EpilogueRow{"TwoParagraphsBeforeTheNul",
                    "\r\n--outer--\r\n\r\n\r\n----\r\nList footer\r\nhttp://x/listinfo\r\n\r\n",
                    std::string(1, '\0'), BehindText::Unread},
        EpilogueRow{"FooterOfTheMostLinesBeforeTheNextMail", "\r\n" + Footer(kEpilogueLines), "",
                    BehindText::NextMail},
        // The scan saw the mail end at a NUL right behind the text.
        EpilogueRow{"FooterUpToTheMailsEnd", "\r\n----\r\nList footer\r\n", "",
                    BehindText::MailEnd},
        EpilogueRow{"OldTextUpToTheMailsEnd", "\r\n", OldText(kEpilogueLines + 1),
                    BehindText::MailEnd},
        EpilogueRow{"TextRunningToTheEndOfWhatWasRead", "\r\n", OldText(2), BehindText::Unread},
        EpilogueRow{"LineFeedTextBehindACrLfMail", "\r\nfooter\r\n", OldText(3, "\n"),
                    BehindText::Unread},
        EpilogueRow{"CrLfTextBehindALineFeedMail", "\nfooter\n", OldText(3), BehindText::Unread,
                    true},
        EpilogueRow{"BinaryBytes", "\r\nfooter\r\n", "\x01\x02\xf3\xa0\r\n", BehindText::Unread},
        // A bounce may carry the returned mail behind its closing boundary.
        EpilogueRow{"AMailCarriedInTheEpilogue",
                    "\r\nReceived: by relay\r\nFrom: a@x\r\n\r\n" + OldText(kEpilogueLines + 5),
                    std::string(1, '\0'), BehindText::Unread},
        // Lines longer than a note or footer is written are old text, and their paragraph too.
        EpilogueRow{"LongOldLinesBehindTheEmptyLine", "\r\n", "old\r\n" + kLong + "\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"LongOldLinesRightBehind", "", kLong + "\r\n", BehindText::NextMail},
        EpilogueRow{"LongOldLinesBehindAFooter", "\r\n____\r\nList footer\r\n\r\n",
                    "old\r\n" + kLong + "\r\n", BehindText::MailEnd},
        // Old text begins with the tail of one of its lines, alone in its paragraph.
        EpilogueRow{"ALoneLineInFrontOfLongOldLines", "\r\n",
                    "tail of a line.\r\n\r\n" + kLong + "\r\n", BehindText::MailEnd},
        // A link alone is a list footer's line: old text seldom begins right at a link.
        EpilogueRow{"ALoneLinkInFrontOfLongOldLines", "\r\nhttp://x.org/listinfo/fork\r\n\r\n",
                    "nsfer-Encoding: base64\r\n\r\n" + kLong + "\r\n", BehindText::MailEnd},
        EpilogueRow{"ALoneLinkWithWordsIsATail", "\r\n",
                    "https://x.org/a page of it\r\n\r\n" + kLong + "\r\n", BehindText::MailEnd},
        // A part's header lines belong behind a boundary line, not in an epilogue.
        EpilogueRow{"PartHeadersOfAnotherMail", "\r\n",
                    "Content-Type: application/ms-tnef\r\nContent-Transfer-Encoding: "
                    "base64\r\n\r\nQUJD\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"PartHeadersBehindAFooter", "\r\n____\r\nList footer\r\n\r\n",
                    "Content-Type: text/plain\r\n\r\nold\r\n", BehindText::NextMail},
        EpilogueRow{"LongLinesOfACarriedMailStay",
                    "\r\nReceived: by relay\r\nFrom: a@x\r\n\r\n" + kLong + "\r\n",
                    std::string(1, '\0'), BehindText::Unread},
        EpilogueRow{"AnOddLineUpToTheMailsEnd", "\r\nfooter\r\n", "old\n", BehindText::MailEnd},
        EpilogueRow{"AnOddLineUpToTheNul", "\r\nfooter\r\n", "old\n" + std::string(1, '\0'),
                    BehindText::Unread},
        EpilogueRow{"ShiftCodeAmidEightBitBytes", "\r\nfooter\r\n", "\x88\x9f\x0f\xe5\r\n",
                    BehindText::Unread},
        // An empty line of the other line end style is where old bytes begin.
        EpilogueRow{"AnEmptyLineFeedLineBehindTheEmptyLines", "\r\n\r\n",
                    "\nold one\r\nold two\r\n", BehindText::NextMail},
        EpilogueRow{"AnEmptyCrLfLineBehindALineFeedMail", "\n", "\r\nold one\nold two\n",
                    BehindText::NextMail, true},
        // Text for readers without MIME holds no markup: an old page's lines.
        EpilogueRow{"MarkupRightBehindTheBoundaryLine", "", "think ?<br><br>\r\n\r\nHello!<br>\r\n",
                    BehindText::NextMail},
        EpilogueRow{"StyleRulesBehindTheEmptyLine", "\r\n", ".x td { margin: 3px; }\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"AnAddressInAngleBracketsIsNoMarkup", "\r\n--\r\nList <list@x.org>\r\n", "",
                    BehindText::MailEnd},
        // An epilogue is never encoded, and a footer begins as text written to be read.
        EpilogueRow{"QuotedPrintableLinesBehindTheEmptyLine", "\r\n",
                    "      a strong increase in price for severa=\r\nl=20\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"Base64DataBehindTheEmptyLine", "\r\n",
                    "u7Lz9iXdm7nqLF9468McNOO8HOgPT2rqiZXYoFn6SLBY\r\n", BehindText::MailEnd},
        EpilogueRow{"CharacterReferencesBehindTheEmptyLine", "\r\n", "and&nbsp;more\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"AParagraphBeginningInsideALine", "\r\n",
                    "o local officials. Archaeologists\r\nthe fallen hunter's body\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"CsvRowsBehindTheEmptyLine", "\r\n", "44949;is;Or;99.39\r\n26699;village\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"AFooterBeginningWithAnAddressStays",
                    "\r\nhttp://x.org/listinfo/fork\r\nthe list\r\n", "", BehindText::MailEnd},
        EpilogueRow{"AOneLineNoteBeginningSmallStays", "\r\nend of message\r\n", "",
                    BehindText::MailEnd},
        EpilogueRow{"ALongLineOfOtherLineEndsBehindTheEmptyLines", "\r\n\r\n",
                    kLong + "\nshort old\r\n", BehindText::NextMail},
        EpilogueRow{"ABoundaryClosedTwiceThenEncodedOldText", "\r\n--b--\r\n\r\n",
                    "price for severa=\r\nl days\r\n", BehindText::MailEnd},
        EpilogueRow{"AnOldLinesTailRightBehindTheBoundaryLine", "",
                    "letter into; Station for silver\r\n", BehindText::MailEnd},
        EpilogueRow{"AnIndentedParagraphBeginningInsideALine", "\r\n",
                    " the\r\nsection labeled: x\r\n", BehindText::MailEnd},
        EpilogueRow{"MailboxSeparatorBeginsTheNextMail", "\r\n",
                    "\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\n", BehindText::NextMail},
        // Lines ending otherwise, then a line cut where the bytes end or at a NUL: old bytes,
        // behind a footer of the mail's own line ends.
        EpilogueRow{"OtherLineEndsUpToALineCutAtTheMailsEnd", "\nfooter\n\n\n",
                    "old one\r\nold, cut", BehindText::MailEnd, true},
        EpilogueRow{"OtherLineEndsUpToALineCutAtANul", "\nfooter\n\n\n",
                    "old one\r\nold, cut" + std::string(1, '\0'), BehindText::Unread, true},
        // A footer, then binary data with no line break in what was read: the footer came to
        // an end there, whatever lies behind the data.
        EpilogueRow{"FooterThenBinaryDataNotReadToItsEnd", kFooter, "\x01\xf3\x02 data",
                    BehindText::Unread},
        EpilogueRow{"FooterThenBinaryDataUpToTheNextMail", kFooter, "\x01\xf3\x02 data",
                    BehindText::NextMail},
        EpilogueRow{"FooterThenTextRunningIntoBinaryData", kFooter, "old text\x01\xf3\x02",
                    BehindText::NextMail},
        // A footer whose last line has no line break, the file's zeros behind it: that line is
        // the last line's rules' to take.
        EpilogueRow{"FooterWhoseLastLineRunsToANul", "\r\n____\r\nList footer\r\n",
                    "http://x/listinfo" + std::string(3, '\0'), BehindText::Unread},
        // Old text glued behind a footer up to where the scan saw the mail end, cut inside a
        // line: the footer stays.
        EpilogueRow{"FooterThenOldTextCutAtTheMailsEnd", kFooter,
                    "was some bridge.\r\n> That been two this also", BehindText::MailEnd},
        EpilogueRow{"FooterWhoseLastLineIsCutAtTheMailsEnd",
                    "\r\n________________\r\nList footer\r\n", "http://x/listinfo",
                    BehindText::MailEnd},
        // Old text's first paragraph begins as the tail of a line: no footer.
        EpilogueRow{"AnOldParagraphThenTextCutAtTheMailsEnd", "\r\n",
                    "ht meeting had one island.\r\nWeather on the river.\r\n\r\nMore old te",
                    BehindText::MailEnd},
        EpilogueRow{"ALoneOldLineThenTextCutAtTheMailsEnd", "\r\n",
                    "Had one island.\r\n\r\nMore old te", BehindText::MailEnd},
        EpilogueRow{"AnOldLinesTailThenParagraphsUpToANul", "\r\n\r\n",
                    "ht meeting had one island.\r\n\r\n--------\r\n\r\nMessage: 36\r\nTo: a@x\r\n"
                    "Message-" +
                        std::string(3, '\0'),
                    BehindText::Unread},
        EpilogueRow{"ANoteLineThenTheFilesZeros", "\r\nEnd of Ppp Digest\r\n\r\n",
                    std::string(3, '\0'), BehindText::Unread},
        // Old bytes begin inside one of their lines: a line that begins as such a tail, behind
        // lines written to be read, is where the mail's own lines stop.
        EpilogueRow{"ANoteThenAnOldPagesTail", "\r\n\r\nThis is the multipart epilogue.\r\n",
                    "ass=\"garden\">Level kitchen.</section>\r\n<p class=\"x\">One.</p>\r\n",
                    BehindText::NextMail},
        EpilogueRow{"ANoteRightBehindThenOldProseBeginningInsideALine",
                    "That was a multi-part message in MIME format.\r\n\r\n",
                    "ther been library and market its index;\r\n" + Footer(kEpilogueLines),
                    BehindText::NextMail},
        EpilogueRow{"ANoteThenLongOldLinesBeginningInsideALine", "\n\nEnd of Ppp Digest\n\n",
                    "can new weather " + kLong + "\nSummer\n", BehindText::NextMail, true},
        // A line of encoded data begins anywhere: nothing tells where old bytes begin by it.
        EpilogueRow{"ANoteThenEncodedDataBeginningSmall", "\r\n",
                    "QUJD\r\nu7Lz9iXdm7nqLF9468McNOO8HOgPT2rqiZXYoFn6SLBY\r\n",
                    BehindText::MailEnd},
        // A style rule begins with a dot, an indented line with a blank: neither tells a cut
        // word, nor does a first line indented as old lines are.
        EpilogueRow{"AStyleSheetsTailThenARule", "",
                    " }\r\n.project section { padding: 40px; }\r\n</style></head>\r\n",
                    BehindText::NextMail},
        EpilogueRow{"ALineThenAnIndentedLongOldLine", "\r\n",
                    "End of note\r\n With all ancient " + kLong + "\r\n", BehindText::MailEnd},
        EpilogueRow{"AnIndentedLineThenAWordsTail", "\r\n",
                    "  Weather station\r\nort of the " + kLong + "\r\n", BehindText::MailEnd},
        EpilogueRow{"ANoteThenLongOldProseCutBehindABlank", "\r\n\r\nEnd of Ppp Digest\r\n\r\n",
                    " copper from level " + kLong + "\r\nIt its project\r\n", BehindText::NextMail},
        EpilogueRow{"ANoteThenAnIndentedShortLine", "\r\n",
                    "End of note\r\n copper from level\r\n" + kLong + "\r\n", BehindText::MailEnd},
        // A token alone in front is as likely the tail of an old line as a note.
        EpilogueRow{"AnOldTokenThenAParagraphBeginningSmall", "",
                    "TF-8\r\n\r\ntesting\r\n\r\n-- \r\nhttp://x.net/\r\n\r\n--0003\r\n"
                    "Content-Type: text/plain; charset=UTF-8\r\n",
                    BehindText::NextMail},
        // Old text that begins as the tail of a line goes on in paragraphs that may begin
        // small as well: its first line is where old bytes begin.
        EpilogueRow{"AnOldLinesTailThenAParagraphBeginningSmall", "\r\n",
                    "ther been library.\r\n\r\nwhich simple\r\n" + kLong + "\r\n",
                    BehindText::MailEnd},
        // A signature under its delimiter right behind the boundary line: its lines stay, the
        // name cut where the mail's bytes end is the last line's rules' to weigh.
        EpilogueRow{"SignatureThenANameCutAtTheMailsEnd", "-- \r\nAnn Ng | Sales\r\n", "Kim",
                    BehindText::MailEnd},
        EpilogueRow{"SignatureThenANameIntoBinaryData", "-- \r\nBob Miller\r\n+1 555 0100\r\n",
                    "Kim\x9f\xcf\x01\xe0", BehindText::MailEnd},
        EpilogueRow{"DashesWithoutTheBlankAreNoSignature", "", "--\r\nBob Miller\r\nKim",
                    BehindText::MailEnd},
        EpilogueRow{"SignatureThenOldText", "", "-- \r\n" + kLong + "\r\n" + OldText(2),
                    BehindText::MailEnd},
        // Without a rule or an empty line nothing tells a footer from old text.
        EpilogueRow{"TextCutAtTheMailsEnd", "\r\n", "users list\r\nhttp://x/listinfo",
                    BehindText::MailEnd},
        // Written lines, then a line of the other line end that begins as an old line's tail:
        // the old bytes begin there, whatever line ends their later lines have.
        EpilogueRow{"WrittenLinesThenAnOldTailOfTheOtherLineEnd",
                    "\r\nInvoice draft server question\r\nNotes the answer release\r\n",
                    "n council ancient signal village by.\nGarden is in it page? " + kLong + "\r\n",
                    BehindText::MailEnd},
        // A note right behind the boundary line is one line.
        EpilogueRow{"ANoteThenAnOldTailOfTheOtherLineEnd", "Invoice draft\r\n",
                    "n council ancient.\nGarden\r\n" + kLong + "\r\n", BehindText::MailEnd},
        // Written lines, then an old line's tail and old markup behind it in the same paragraph.
        EpilogueRow{"WrittenLinesThenAnOldTailThenMarkup",
                    "\r\nFigures budget question\r\nAnswer release review team\r\n",
                    "yle>\r\n.garden div { color: 8px; margin: 34px; }\r\n</style></head>\r\n",
                    BehindText::MailEnd},
        // A line of the other line end that begins written is no tail to tell old bytes by:
        // the paragraph is taken for old text as a whole.
        EpilogueRow{"WrittenLinesThenAWrittenLineOfTheOtherLineEnd", "\r\n",
                    "Invoice draft\r\nGarden is in it page.\n" + kLong + "\r\n",
                    BehindText::MailEnd},
        // A tail in a later paragraph leaves the first paragraph's end the mail's end.
        EpilogueRow{
            "ATailInTheSecondParagraphThenMarkup", "\r\n",
            "Invoice draft\r\n\r\nNotes the answer\r\nyle>\r\n.garden div { color: 8px; }\r\n",
            BehindText::MailEnd},
        // Written lines, then old base64 data: the data's lines begin where the old bytes do.
        EpilogueRow{"WrittenLinesThenOldBase64Data",
                    "\r\nReport server please\r\nAttached release answer notes\r\n",
                    kBase64Line + "\r\n" + kBase64Line + "\r\n", BehindText::MailEnd},
        EpilogueRow{"WrittenLinesThenTheTailOfABase64Line",
                    "\r\nReport server please\r\nAttached release answer notes\r\n",
                    "RW92/vNr+JC6RXc/nD6BZZ++SGlRFhH\r\n" + kBase64Line + "\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"AWrittenLineThenTheTailOfABase64Line", "\r\nReport server please\r\n",
                    "RW92/vNr+JC6RXc/nD6BZZ++SGlRFhH\r\n" + kBase64Line + "\r\n",
                    BehindText::MailEnd},
        // A word alone in front of the data tells no written text from the data's tail: the
        // paragraph is old text as a whole.
        EpilogueRow{"WrittenLinesThenAWordThenBase64Data", "\r\n",
                    "Report server please\r\nThanks\r\n" + kBase64Line + "\r\n",
                    BehindText::MailEnd},
        // Data that begins the paragraph leaves nothing written in front of it.
        EpilogueRow{"TheTailOfABase64LineBehindTheEmptyLine", "\r\n",
                    "RW92/vNr+JC6RXc/nD6BZZ++SGlRFhH\r\n" + kBase64Line + "\r\n",
                    BehindText::MailEnd},
        // A signature written without its delimiter right behind the boundary line: a name and
        // a way to reach its writer, closed by an empty line, whatever follows.
        EpilogueRow{"ASignatureBlockRightBehindUpToANul",
                    "Ann Ng <ann@x.org>\r\nDept. of Sales, North Office\r\nSell well!\r\n\r\n",
                    std::string(3, '\0'), BehindText::Unread},
        EpilogueRow{"ASignatureBlockRightBehindUpToTheMailsEnd",
                    "Ann Ng\r\nhttps://x.org/ann\r\n\r\n", "", BehindText::MailEnd},
        EpilogueRow{"ASignatureBlockRightBehindThenOldText", "Ann Ng <ann@x.org>\r\nSales\r\n\r\n",
                    OldText(kEpilogueLines + 1), BehindText::NextMail},
        EpilogueRow{"ASignatureBlockThenOldLongLines", "Ann Ng <ann@x.org>\nSales\n\n",
                    "Had one island.\n\n" + kLong + "\n", BehindText::MailEnd, true},
        // Written lines without a contact are as likely old lines begun at their start; five
        // lines are more than a signature holds; old lines of the other line end are none.
        EpilogueRow{"WrittenLinesRightBehindWithoutAContact", "",
                    "Had one island.\r\nSome of it old.\r\n\r\n" + OldText(3),
                    BehindText::NextMail},
        EpilogueRow{"AContactBlockOfFiveLinesRightBehind", "",
                    "Ann <a@x.org>\r\nB\r\nC\r\nD\r\nE\r\n\r\n" + OldText(3), BehindText::NextMail},
        EpilogueRow{"AContactBlockBeginningSmallRightBehind", "",
                    "ann@x.org\r\nSales\r\n\r\n" + OldText(3), BehindText::NextMail},
        EpilogueRow{"AContactBlockOfTheOtherLineEndRightBehind", "",
                    "Ann Ng <ann@x.org>\nSales\n\n" + OldText(3), BehindText::NextMail},
        // A footer under its rule goes on in small letters as it likes.
        EpilogueRow{"FooterInSmallLettersThenMarkup",
                    "\r\n________________\r\nusers mailing list\r\nunsubscribe at x.org\r\n",
                    ".garden div { color: 8px; }\r\n", BehindText::MailEnd},
        // Old prose that begins with "From" is no mailbox separator, which carries a date: the
        // empty lines in front of it are the mail's, whatever follows.
        EpilogueRow{"OldProseBeginningWithFromBehindTheEmptyLine", "\r\n",
                    "From at with bridge time.\r\nWhen there south.\r\n\r\n" + kLong + "\r\n",
                    BehindText::MailEnd},
        EpilogueRow{"OldProseBeginningWithFromNotReadToItsEnd", "\r\n\r\n",
                    "From the river council, east\r\n" + OldText(3), BehindText::Unread},
        EpilogueRow{"OldProseBeginningWithFromOfLineFeeds", "\n",
                    "From a window garden\n" + OldText(kEpilogueLines + 1, "\n"),
                    BehindText::NextMail, true},
        // Old prose cut right behind a blank begins with one and a small letter: a note right
        // behind the boundary line in front of it stays.
        EpilogueRow{
            "ANoteRightBehindThenAnOldLineCutBehindABlank", "Potentially harmful content\r\n",
            " ancient version,\r\nWeather planet meeting council?\r\n\r\nCopper kitchen.\r\n",
            BehindText::MailEnd},
        // An indented line of a note is no such tail.
        EpilogueRow{"ANoteRightBehindWithAnIndentedLine", "", "See below:\r\n   the notes\r\n",
                    BehindText::MailEnd},
        // A list server that wrapped the mail closes its own multipart behind the mail's and
        // adds its footer; old bytes behind begin as the tail of a line.
        EpilogueRow{"AWrappersClosingLineAndFooterThenAnOldLinesTail",
                    "\r\n--WrapperWrapperWrapper--\r\n" + kFooter,
                    "nge-SenderCheck;\r\nbh=ZNQHcROZaWXHO8+l2fhLZXe5VfIt47c2F1H8SknHVOc=;\r\n" +
                        kBase64Line + "\r\n",
                    BehindText::MailEnd}),
    [](const testing::TestParamInfo<EpilogueRow>& row) { return row.param.name; });

struct TrimRow {
  const char* name;
  std::string mail;
  std::string between;  // what stands between the mail and the next one
};

void PrintTo(const TrimRow& row, std::ostream* out) {
  *out << row.name;
}

class TrimSeparatorTest : public testing::TestWithParam<TrimRow> {};

TEST_P(TrimSeparatorTest, LeavesTheSeparatorToNeitherMail) {
  EXPECT_EQ(TrimSeparatorBeforeNextMail(GetParam().mail + GetParam().between),
            GetParam().mail.size());
}

INSTANTIATE_TEST_SUITE_P(Rules, TrimSeparatorTest,
                         testing::Values(TrimRow{"Nothing", "body\r\n", ""},
                                         TrimRow{"BlankLine", "body\r\n", "\r\n"},
                                         TrimRow{"LineFeedBlankLine", "body\n", "\n"},
                                         TrimRow{"MailboxSeparator", "body\r\n",
                                                 "\r\nFrom x@y Sat Jan  1 00:00:00 2000\r\n"}),
                         [](const testing::TestParamInfo<TrimRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
