// Recognises UTF-8 among 8-bit text whose charset is not declared.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

bool HasNonAsciiByte(std::string_view bytes);
// True when `bytes` is well-formed UTF-8 (RFC 3629 4: no overlong forms, no surrogates, nothing
// above U+10FFFF). Pure ASCII is valid.
bool IsValidUtf8(std::string_view bytes);
// The UTF-16 text of `bytes`, which IsValidUtf8 accepts (anything else gives an unspecified
// text): what a converter gives for it, without one.
std::u16string Utf16OfValidUtf8(std::string_view bytes);

}  // namespace quillon
