// RFC 2045 6.8 base64, decoded leniently: bytes outside the alphabet are skipped, decoding stops
// at the first '=' that follows a data character, and a partial last group yields what it holds.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

std::string Base64Decode(std::string_view text);
// Replaces `text` by its decoding read up to the first NUL, unless the decoding is empty.
void Base64DecodeInPlace(std::string& text);

}  // namespace quillon
