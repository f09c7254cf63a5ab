// Shapes of lines that no mail text takes, for finding where a mail ends among old bytes.
// Private to the re-reader.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon::mail_reader {

// True when `line` (without its line end) holds 8-bit bytes and a shift code (ESC, SO or SI)
// both: the charsets that shift so (ISO-2022) are 7-bit, and 8-bit text has no use for them.
// Such a line is random bytes that happen to hold no other control byte.
bool NoTextOfAnyCharset(std::string_view line);

// Characters a line of an epilogue holds at most: a note or a list footer is written as mail
// text is, in lines of at most 78 characters (RFC 5322 2.1.1). Longer lines behind a closing
// boundary are old text.
inline constexpr std::size_t kEpilogueLineLength = 78;

// True when `line` is a MIME part's header line ("Content-Type: ..."): behind a closing
// boundary such lines are a part of another mail, not the epilogue of this one.
bool IsPartHeaderLine(std::string_view line);

// True when `line` holds HTML markup (a tag such as "<br>" or "</style>") or a style sheet rule
// ("td { margin: 3px; }", or the tail of one). Behind a closed HTML text or a closing boundary
// such lines are an old page's: a footer or an epilogue is plain text. A mail address or a web
// address in angle brackets is no tag.
bool HoldsMarkup(std::string_view line);

// True when `line` holds what only a page's head holds: a style sheet rule, or the end of a
// style block or of the head ("</style>", "</head>"). An HTML text that has closed its document
// goes on with none of that: a page's body may follow (a second document, a spammer's trick),
// but no head without its "<html>".
bool HoldsPageHead(std::string_view line);

// Where `line` opens or closes an HTML document ("<html", "</html>" in any letter case).
enum class HtmlDocument { Neither, Opens, Closes };
HtmlDocument HtmlDocumentOf(std::string_view line);

}  // namespace quillon::mail_reader
