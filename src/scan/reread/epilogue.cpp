#include "scan/reread/epilogue.h"

#include <algorithm>

#include "scan/find/base64_run.h"
#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/reread/old_text_lines.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

// The line break in front of `at`, which belongs to the line before it.
std::size_t BeforeLineBreak(std::string_view text, std::size_t at) {
  return at >= 2 && text.substr(at - 2, 2) == "\r\n" ? at - 2 : at > 0 ? at - 1 : 0;
}

// A line of a few blanks alone (spaces and tabs) reads as empty: mail programs leave such lines
// under a text as often as empty ones. A longer run of blanks is old text's layout.
constexpr std::size_t kMostTrailingBlanks = 8;
bool BlanksOnly(std::string_view line) {
  return line.size() <= kMostTrailingBlanks &&
         line.find_first_not_of(" \t") == std::string_view::npos;
}

// The line a signature stands under: two dashes and a blank.
constexpr std::string_view kSignatureDelimiter = "-- ";

// Longer than a note or footer is written, markup, or the data of a transfer encoding: no text
// for readers without MIME.
bool ShowsOldText(std::string_view line) {
  return line.size() > kEpilogueLineLength || HoldsMarkup(line) || ReadsAsEncodedData(line);
}

// Whether `line` is a link alone, from its scheme on, as a list's footer names its page: an old
// line's tail seldom begins right at a link's start.
bool IsLinkLine(std::string_view line) {
  return (line.starts_with("http://") || line.starts_with("https://")) &&
         line.find_first_of(" \t") == std::string_view::npos;
}

// Whether `line` reads as the tail of a line of base64 data: its characters alone, no blank, and
// a digit, "+" or "/" among them, which a word of text has not.
bool ReadsAsDataTail(std::string_view line) {
  return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
    return IsBase64Byte(static_cast<std::uint8_t>(c));
  }) && line.find_first_of("0123456789+/") != std::string_view::npos;
}

// Whether `line` has the shape of a multipart's closing boundary line, "--" a token "--": one
// the mail's own closing line came behind (a list server that wrapped the mail closes its own
// multipart so) is written by a mail program, as a footer is, not cut out of old text.
bool ShapedAsClosingLine(std::string_view line) {
  return line.size() > 4 && line.starts_with("--") && line.ends_with("--") &&
         line.find_first_of(" \t") == std::string_view::npos;
}

// Whether `line` begins as the tail of an old line cut right behind a blank: one blank, then a
// word in small letters. A mail's own lines seldom begin so.
bool BeginsBehindOneBlank(std::string_view line) {
  return line.size() > 1 && line[0] == ' ' && line[1] >= 'a' && line[1] <= 'z';
}

// Lines a signature written without its delimiter holds at most: a name, a title or an
// address, a way to reach its writer, a motto.
constexpr std::size_t kSignatureBlockLines = 4;

// Whether `line` names a way to reach its writer, as a signature's lines do: a mail address or a
// web address. Old text's lines seldom hold one.
bool HoldsContact(std::string_view line) {
  const std::size_t at = line.find('@');
  return (at != std::string_view::npos && at > 0 && at + 1 < line.size() && line[at - 1] != ' ' &&
          line[at + 1] != ' ') ||
         line.find("://") != std::string_view::npos || StartsWithNoCase(line, "www.");
}

// Whether `rest`, the text right behind a closing boundary line, opens with a signature written
// without its delimiter: a paragraph of two to kSignatureBlockLines short lines of the mail's line
// end, the first begun as written (with a capital, as a name is), the others so or with a mail or
// web address, one at least naming one, and an empty line behind it. Mail programs sign below the
// closing line so; old bytes cut out behind a mail begin inside one of their lines and seldom
// with a contact that close.
bool OpensWithSignatureBlock(std::string_view rest, bool lineFeedMail) {
  const CarveBuffer buffer = BufferOf(rest);
  std::size_t lines = 0;
  bool contact = false;
  for (Line line = ReadLine(buffer, 0, kBodyLineRules);
       line.complete && line.lineFeedOnly == lineFeedMail && !line.binary;
       line = ReadLine(buffer, line.next, kBodyLineRules)) {
    const std::string_view content = TextOf(buffer, line);
    if (content.empty()) return lines >= 2 && contact;
    const bool lineContact = HoldsContact(content);
    const bool written = content.front() >= 'A' && content.front() <= 'Z';
    const bool firstLine = lines++ == 0;
    if (lines > kSignatureBlockLines || !(written || (lineContact && !firstLine)) ||
        ShowsOldText(content) || IsPartHeaderLine(content))
      return false;
    contact = contact || lineContact;
  }
  return false;
}

}  // namespace

bool ClosingLineRunsIntoData(std::string_view text, std::size_t behind) {
  std::string_view rest = text.substr(behind, text.find('\n', behind) - behind);
  const std::size_t first = rest.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return false;
  return static_cast<std::uint8_t>(rest[first]) >= 0x80 || HoldsNonText(rest);
}

bool OpensAMail(std::string_view line) {
  for (const HeaderField field : kMailStartFields)
    if (StartsWithNoCase(line, LinePrefix(field))) return true;
  return false;
}

std::size_t TrimSeparatorBeforeNextMail(std::string_view text) {
  std::size_t end = text.size();
  const std::size_t lastLine = text.rfind('\n', end >= 2 ? end - 2 : 0);
  const std::size_t separator = lastLine == std::string_view::npos ? 0 : lastLine + 1;
  if (IsMboxSeparator(text.substr(separator), MboxSeparatorRule::Prefix)) end = separator;
  // The blank line between two mails belongs to neither.
  if (end >= 4 && text.substr(end - 4, 4) == "\r\n\r\n") return end - 2;
  if (end >= 2 && text.substr(end - 2, 2) == "\n\n") return end - 1;
  return end;
}

std::size_t EpilogueLength(std::string_view rest, BehindText behind, bool lineFeedMail) {
  const CarveBuffer buffer = BufferOf(rest);
  std::size_t emptyLines = 0;
  for (Line line = ReadLine(buffer, 0, kBodyLineRules);
       line.complete && BlanksOnly(TextOf(buffer, line)) && line.lineFeedOnly == lineFeedMail;
       line = ReadLine(buffer, line.next, kBodyLineRules))
    emptyLines = line.next;
  // A note right behind the boundary line is one line; a footer stands behind an empty line, and
  // so is a signature's block read, which its empty line closes as a footer's does.
  const bool rightBehind = emptyLines == 0 && !OpensWithSignatureBlock(rest, lineFeedMail);
  std::size_t textLines = 0;
  std::size_t paragraphs = 0;
  std::size_t paragraphEnd = emptyLines;
  std::size_t otherEndings = 0;
  std::size_t firstOtherEnding = emptyLines;
  std::size_t at = emptyLines;
  bool previousEmpty = true;
  bool carriesAMail = false;
  std::size_t firstParagraphLines = 0;
  bool firstLineMidLine = false;
  bool firstLineBoundary = false;
  bool firstLineRule = false;
  bool firstLineWritten = false;
  bool firstLineWords = false;
  bool firstLineLink = false;
  // A signature under its delimiter line right behind the boundary line: a mail program that
  // wrote the closing line as text and signed below it (the name often without a line break).
  bool signature = false;
  // The first line of the current paragraph that begins as an old line's tail.
  std::size_t tailInParagraph = std::string_view::npos;
  // Lines of the first paragraph written as sentences are, and whether one ended otherwise.
  std::size_t writtenLines = 0;
  bool otherEndingInParagraph = false;
  bool previousDataTail = false;
  std::size_t previousLine = 0;
  while (at < rest.size()) {
    const Line line = ReadLine(buffer, at, kBodyLineRules);
    // A last line without a line break that runs into binary data or a NUL: the lines before
    // it came to an end there, whatever lies behind the data; the line itself is the last
    // line's rules' to weigh.
    if (!line.complete) {
      if (otherEndings > 0 && HoldsNonText(TextOf(buffer, line))) return firstOtherEnding;
      // Old text's first paragraph begins as the tail of a line; a note of one line may stand
      // alone in front of the file's zeros.
      if (HoldsNonText(TextOf(buffer, line)))
        return paragraphs > 0 && firstLineMidLine ? emptyLines : at;
      const bool oldTail = firstLineMidLine || (firstParagraphLines < 2 && !firstLineBoundary);
      // A line cut where the mail's bytes end takes no paragraph in front of it along: a footer
      // under its rule, or a first paragraph an empty line ended, stays.
      if (behind == BehindText::MailEnd && otherEndings == 0) {
        if (signature && paragraphs == 0) return at;
        if (paragraphs > 0 && !oldTail) return paragraphEnd;
        if (firstLineRule && firstParagraphLines >= 2) return at;
      }
      break;
    }
    if (ReadsAsBinaryBytes(TextOf(buffer, line), line.binary))
      return otherEndings > 0 ? firstOtherEnding : at;
    const std::string_view content = TextOf(buffer, line);
    // Old bytes begin where the mail ended, mostly inside one of their lines: a line that begins
    // as such a tail, a word cut at its front, behind lines written to be read (from their
    // first column, with a capital or under a rule), is where they begin. A paragraph is written
    // to begin so never; a line of encoded data may begin anywhere, a style rule with a dot.
    const bool oldLinesTail = textLines > 0 && !carriesAMail && firstLineWritten &&
                              !content.empty() && content.front() >= 'a' &&
                              content.front() <= 'z' && BeginsMidLine(content) &&
                              !ReadsAsEncodedData(content);
    // Old prose is cut as often right behind a blank (under a note right behind the boundary
    // line: a paragraph's short indented line behind an empty line may be either).
    const bool oldLinesTailBehindBlank = textLines > 0 && !carriesAMail && firstLineWritten &&
                                         BeginsBehindOneBlank(content) &&
                                         !ReadsAsEncodedData(content) && !HoldsMarkup(content);
    if (line.lineFeedOnly != lineFeedMail) {
      // An empty line of another line end style is where old bytes begin.
      if (BlanksOnly(content)) return otherEndings > 0 ? firstOtherEnding : at;
      if (otherEndings++ == 0) firstOtherEnding = at;
      otherEndingInParagraph = otherEndingInParagraph || paragraphs == 0;
      // So is one that shows old text by its shape as well as by its line end, or that begins
      // as an old line's tail right behind the mail's own lines.
      if (otherEndings == kOtherEndingsThatEnd || ShowsOldText(content) ||
          (otherEndings == 1 && oldLinesTail))
        return firstOtherEnding;
      at = line.next;
      continue;
    }
    otherEndings = 0;
    // A mailbox separator begins the next mail; the blank line before it belongs to neither.
    // A line of old prose that begins with "From" carries no date: the empty lines in front of
    // it are the mail's own.
    if (previousEmpty && IsMboxSeparator(content, MboxSeparatorRule::Prefix))
      return IsMboxSeparator(content) ? BeforeLineBreak(rest, at) : at;
    if (textLines == 0 && !rightBehind && OpensAMail(content)) carriesAMail = true;
    // Behind an empty line the lines in front must be words (a token alone is as likely an old
    // line's tail as a note): a paragraph of old text may begin small, a word of one line.
    if (oldLinesTail && previousEmpty && firstLineWords) return at;
    if (!carriesAMail && (ShowsOldText(content) || IsPartHeaderLine(content))) {
      // Old prose is cut as often right behind a blank: one blank, then a word of a line longer
      // than a note is written.
      const bool cutBehindBlank = textLines > 0 && !carriesAMail && firstLineWritten &&
                                  content.size() > kEpilogueLineLength && content[0] == ' ' &&
                                  content[1] >= 'a' && content[1] <= 'z' &&
                                  !ReadsAsEncodedData(content) && !HoldsMarkup(content);
      if (oldLinesTail || cutBehindBlank) return at;
      // The first paragraph, begun as written, ran into old text through a line that began as
      // an old line's tail: the old bytes began there. A footer under its rule may go on in
      // small letters ("users mailing list").
      if (paragraphs == 0 && !firstLineRule && tailInParagraph != std::string_view::npos)
        return tailInParagraph;
      // Encoded data may begin anywhere, and lines written to be read in front of it (words
      // from a capital on, each with the mail's line end) are no part of it: an old part's data
      // begins at its line, or at the tail of a line of it right in front.
      const std::size_t dataTail = previousDataTail ? 1 : 0;
      if (paragraphs == 0 && !otherEndingInParagraph && writtenLines > 0 &&
          writtenLines + dataTail == firstParagraphLines && ReadsAsEncodedData(content))
        return previousDataTail ? previousLine : at;
      // Longer than a note or footer is written, a part's header line that belongs behind a
      // boundary line, markup or encoded data where text for readers without MIME stands: old
      // text, and so is its paragraph. Old text begins where the mail ended,
      // with the tail of one of its lines: a lone line in front of it is that tail, unless it
      // is a boundary line (a multipart closed twice) or a link written whole (a list's footer).
      const bool loneTail = firstParagraphLines < 2 && !firstLineBoundary && !firstLineLink;
      // A footer under its rule that runs into old text without an empty line between them:
      // old bytes are cut out inside a line, the footer's lines are written to be read.
      if (paragraphs == 0 && firstLineRule && firstParagraphLines >= 2) return at;
      return rightBehind || paragraphs == 0 || loneTail ? emptyLines : paragraphEnd;
    }
    if (oldLinesTail && tailInParagraph == std::string_view::npos) tailInParagraph = at;
    previousDataTail = ReadsAsDataTail(content);
    previousLine = at;
    if (content.empty()) {
      tailInParagraph = std::string_view::npos;
      // The first paragraph ends here, with the empty lines behind it.
      if (!previousEmpty) ++paragraphs;
      if (paragraphs == 1) paragraphEnd = line.next;
    } else {
      if (paragraphs == 0 && content.front() >= 'A' && content.front() <= 'Z' &&
          content.find(' ') != std::string_view::npos)
        ++writtenLines;
      if (paragraphs == 0 && firstParagraphLines++ == 0) {
        firstLineMidLine = BeginsMidLine(content) || BeginsInsideUtf8Character(content);
        firstLineBoundary = content.starts_with("--");
        firstLineRule = IsRuleLine(content);
        const bool closingShape = ShapedAsClosingLine(content);
        firstLineWritten =
            (content.front() >= 'A' && content.front() <= 'Z') || firstLineRule || closingShape;
        firstLineWords = content.find(' ') != std::string_view::npos || closingShape;
        firstLineLink = IsLinkLine(content);
        signature = rightBehind && content == kSignatureDelimiter;
      }
      // A paragraph that begins inside a line is old text that runs on: a footer of more than
      // one line begins as written.
      if (paragraphs == 0 && firstParagraphLines == 2 && firstLineMidLine && !rightBehind &&
          !carriesAMail)
        return emptyLines;
      // A note right behind the boundary line is one line written as such, not an old line's
      // tail.
      if (rightBehind && firstLineMidLine) return 0;
      // Nor is an old line's tail behind it any of the mail's: the note stands alone.
      if (rightBehind && paragraphs == 0 && textLines == 1 && !signature && oldLinesTailBehindBlank)
        return at;
      if ((++textLines > kEpilogueLines && !carriesAMail) ||
          (rightBehind && paragraphs == 0 && textLines > 1 && !signature)) {
        // Old text runs on: the mail ends behind the first paragraph, or at the boundary line
        // when the text began right behind it (a note there stands alone).
        return rightBehind ? 0 : paragraphEnd;
      }
    }
    previousEmpty = content.empty();
    at = line.next;
  }
  // Lines ending otherwise up to where the bytes end are old bytes, whatever stands behind; so is
  // a line without a line end behind them that runs up to a NUL or that end.
  const bool atNul = at < rest.size() && rest[at] == '\0';
  const std::size_t lastLineEnd = rest.find('\n', at);
  const bool lastLineToNul = rest.find('\0', at) < lastLineEnd;
  const bool lastLineToEnd = lastLineEnd == std::string_view::npos;
  if (otherEndings > 0 &&
      (atNul || lastLineToNul || (lastLineToEnd && behind != BehindText::Unread)))
    return firstOtherEnding;
  if (at < rest.size() && rest[at] == '\0') return at;
  if (behind == BehindText::Unread) return emptyLines;
  if (behind == BehindText::MailEnd) return at == rest.size() ? at : emptyLines;
  // Text glued to the next mail without a line break is old bytes, not the mail's last line.
  return TrimSeparatorBeforeNextMail(rest.substr(0, at));
}

}  // namespace quillon::mail_reader
