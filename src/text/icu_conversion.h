// Conversion through ICU converters, each thread with its own cache of opened converters (an
// ICU converter keeps state and must not be shared between threads). Private to src/text.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// False when ICU has no converter of that name; `text` is then left empty. Invalid input
// becomes U+FFFD.
[[nodiscard]] bool IcuToUtf16(std::string_view converterName, std::string_view bytes,
                              std::u16string& text);
// Characters the target lacks become its substitute ('?' where it has one).
[[nodiscard]] bool IcuFromUtf16(std::string_view converterName, std::u16string_view text,
                                std::string& bytes);
bool IsIcuConverterAvailable(std::string_view converterName);

}  // namespace quillon
