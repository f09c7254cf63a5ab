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

}  // namespace quillon::mail_reader
