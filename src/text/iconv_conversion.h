// Conversion through the C library's iconv, for the few code pages ICU does not carry (Johab,
// the IA5 national variants, some EBCDIC pages). Private to src/text; where the C library has
// no iconv the functions report that nothing converts.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// False when iconv has no converter of that name. Invalid input becomes U+FFFD.
[[nodiscard]] bool IconvToUtf16(const char* converterName, std::string_view bytes,
                                std::u16string& text);
// Characters the target lacks become '?'.
[[nodiscard]] bool IconvFromUtf16(const char* converterName, std::u16string_view text,
                                  std::string& bytes);
bool IsIconvConverterAvailable(const char* converterName);

}  // namespace quillon
