// How much text behind a multipart mail's closing boundary is still the mail's: the epilogue.
// Private to the re-reader.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon::mail_reader {

// Lines in a row, ending otherwise than a mail's own lines, that end it: old text seldom ends
// its lines the way the mail's header block does.
inline constexpr std::size_t kOtherEndingsThatEnd = 2;

// Lines of text an epilogue holds at most: a list footer or a note to readers without MIME.
inline constexpr std::size_t kEpilogueLines = 10;

// What lies behind the text an epilogue is looked for in.
enum class BehindText {
  Unread,    // bytes not read yet: text running on to the end is not taken
  NextMail,  // the next mail found starts there
  MailEnd,   // the end of the mail's text as the scan saw it (a NUL)
};

// How much of `rest`, the text right behind a multipart's closing boundary line, is its
// epilogue: the empty lines (and lines of blanks alone), then at most kEpilogueLines lines of text
// in paragraphs (one line when it stands right behind the boundary line, but for a signature
// written without its delimiter: a short paragraph naming a mail or web address, closed by an
// empty line, which is read as a footer is) that come to an end: at a
// NUL, binary bytes, lines ending otherwise than the mail's own (`lineFeedMail`), a mailbox
// separator, or the end of `rest` unless `behind` is BehindText::Unread. Old text that runs on
// longer is no epilogue: the mail then ends behind its first paragraph (at the boundary line when
// the text began right behind it), or, where that paragraph began as written, at the line in it
// where old bytes show they began: one that begins as an old line's tail (of the other line end,
// inside a UTF-8 character, or with old text right behind it), or old encoded data (or the tail of
// a line of it) behind lines written as sentences. Text that runs on to the end of what was read
// is not taken
// beyond the empty lines. A last line without a line break that runs into binary data or a NUL, or
// that `behind` is BehindText::MailEnd cuts, takes nothing in front of it along: the lines before
// it stay as the rules above have them (a footer under its rule, a first paragraph an empty line
// ended; not a first paragraph that begins as an old line's tail, nor, where the mail's end
// cuts the line, that tail alone), the line itself is for the last-line rules (last_line.h).
std::size_t EpilogueLength(std::string_view rest, BehindText behind, bool lineFeedMail);

// True when the closing boundary line that ends at `behind` (behind its "--") runs into binary
// data: the mail's last line had no line break of its own, and bytes no text holds follow it.
bool ClosingLineRunsIntoData(std::string_view text, std::size_t behind);

// True when `line` opens a mail as it arrived (its trace or delivery line). A bounce may carry
// a whole mail in its epilogue; old text seldom begins so.
bool OpensAMail(std::string_view line);

// `text`, which runs up to the next mail found, without the blank line and the mailbox separator
// that stand between the two mails: its length without them.
std::size_t TrimSeparatorBeforeNextMail(std::string_view text);

}  // namespace quillon::mail_reader
