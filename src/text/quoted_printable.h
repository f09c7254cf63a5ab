// RFC 2045 6.7 quoted-printable, decoded leniently: "=XY" with hex digits of either case gives
// one byte, "=" before CR LF or a bare LF is a soft line break, and an "=" not followed by two
// hex digits is kept as it stands.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

std::string QuotedPrintableDecode(std::string_view text);
// Replaces `text` by its decoding read up to the first NUL, unless the decoding is empty.
void QuotedPrintableDecodeInPlace(std::string& text);

// The "Q" encoding of RFC 2047 4.2 inside encoded words: quoted-printable in which "_" stands
// for a space ("=5F" is still an underscore).
std::string QEncodingDecode(std::string_view text);

}  // namespace quillon
