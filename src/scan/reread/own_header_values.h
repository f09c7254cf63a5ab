// What a mail's own header block says about its body, read again from the mail's text: where the
// record's values miss it (a parameter written in a way the scan's reader passed over), the
// re-reader still ends the mail by it. Private to the re-reader.
#pragma once

#include <string>
#include <string_view>

namespace quillon::mail_reader {

// The boundary of the multipart that `headerBlock` (the mail's header lines, folds included)
// names in its first Content-Type field, however its parameters are written (RFC 2045 5.1: a
// fold or blanks around "=", a quoted value with blanks in it); empty for any other body.
std::string MultipartBoundaryOf(std::string_view headerBlock);

// True when `contentType`, a Content-Type value as the scan kept it (its boundary parameter taken
// out), names a media type that is no multipart ("text/html;"): a boundary on it, which a part's
// template may leave, parts nothing. False for a multipart and for a value that names no type.
bool NamesSinglePart(std::string_view contentType);

// True when the header block names an HTML text as the mail's body.
bool DeclaresHtmlText(std::string_view headerBlock);

// True when the header block names a multipart body, whether or not its boundary was kept.
bool DeclaresMultipart(std::string_view headerBlock);

// True when the header block names a mail as the body (message/rfc822, message/global).
bool DeclaresMessage(std::string_view headerBlock);

// True when the header block names a plain text as the mail's body, or no type at all (RFC 2045
// 5.2: plain text is what a mail without a Content-Type field holds).
bool DeclaresPlainText(std::string_view headerBlock);

// The transfer encoding the header block names for the mail's body, lower case without blanks
// ("base64", "quoted-printable"); empty when it names none.
std::string TransferEncodingOf(std::string_view headerBlock);

// True when the mail of `headerBlock` answers the mail of `otherHeaderBlock`: its In-Reply-To or
// References field names the other's Message-ID (RFC 5322 3.6.4). A mail that answers another
// may carry it whole in its text (a patch bot's note, a forward), mailbox separator and all; in a
// mailbox the mail answered comes before the answer, never inside it.
bool AnswersMail(std::string_view headerBlock, std::string_view otherHeaderBlock);

// True when a mailbox separator `separator` in a mail's text, with `quotedHeader` behind it,
// begins a mail quoted in it rather than the next one: a patch written out by git (its fixed
// date), or the very mail this one answers (`ownHeader` names it), which a mailbox holds before
// the answer, not behind it.
bool QuotesAMail(std::string_view separator, std::string_view ownHeader,
                 std::string_view quotedHeader);

// True when `line` (without its line end) is what a mail program writes above a mail it quotes
// whole in the text of another, its header block behind it: "---------- Forwarded message
// ----------", "-----Original Message-----", "Begin forwarded message:".
bool IntroducesQuotedMail(std::string_view line);

// True when `before`, the bytes in front of a mail's first header line, end with a line that
// introduces a quoted mail (an empty line may stand between): that header block is a part of
// the text around it, not the next mail.
bool EndsIntroducingQuotedMail(std::string_view before);

}  // namespace quillon::mail_reader
