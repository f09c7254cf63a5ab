// RFC 2047 encoded words in header values, and RFC 2231 extended parameter values.
// `ansiCodePage` is the code page untagged 8-bit text is read in, and the one the charset
// table's "system" row stands for.
#pragma once

#include <string>
#include <string_view>

#include "text/charset_table.h"

namespace quillon {

// One encoded word "=?charset?B|Q?text?=" converted with `entry`. "_" is a space in Q words
// (RFC 2047 4.2). Decoded text shorter than 2 bytes gives the empty string; the result is
// trimmed of white space.
std::u16string DecodeEncodedWord(const CharsetEntry& entry, std::string_view word,
                                 int ansiCodePage);

// A header value that may hold encoded words among plain text. Every encoded word is decoded;
// white space between adjacent encoded words is dropped (RFC 2047 6.2) and adjacent words in one
// charset are joined before conversion, so a character split across two words decodes whole.
// Plain 8-bit text is read as UTF-8 when it is valid UTF-8, else with the ANSI code page. A word
// in a charset the table lacks is converted by that name when a converter knows it, else read
// like plain 8-bit text. NUL characters are dropped.
std::u16string DecodeHeaderText(std::string_view text, int ansiCodePage);

// A sender or recipient value: like DecodeHeaderText, and a quoted display name comes back
// between double quotes followed by the rest of the value.
std::u16string DecodeAddressText(std::string_view text, int ansiCodePage);

// Whether DecodeHeaderText / DecodeAddressText would give `text` back with each byte widened to
// one unit, told without decoding it (most header values are plain ASCII): then a caller that
// keeps only the texts that differ from their raw values need not make the decoded one at all.
// False where it cannot be told this cheaply.
bool DecodesAsItself(std::string_view text, int ansiCodePage);
bool AddressDecodesAsItself(std::string_view text, int ansiCodePage);

// An RFC 2231 extended value "charset'language'percent%20encoded" (as in filename*=), decoded to
// UTF-16; a value without the two quotes is taken as percent-encoded ANSI text.
std::u16string DecodeExtendedParameter(std::string_view value, int ansiCodePage);

}  // namespace quillon
