#include "text/case_folding.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace quillon {

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded;
  folded.reserve(text.size());
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t at = 0; at < length;) {
    UChar32 code = 0;
    U16_NEXT(text.data(), at, length, code);
    // Simple folding keeps one character one character, as the file systems' up-case tables do
    // ("ß" stays "ß" rather than becoming "ss").
    const UChar32 mapped = u_foldCase(code, U_FOLD_CASE_DEFAULT);
    if (U_IS_BMP(mapped)) {
      folded += static_cast<char16_t>(mapped);
    } else {
      folded += static_cast<char16_t>(U16_LEAD(mapped));
      folded += static_cast<char16_t>(U16_TRAIL(mapped));
    }
  }
  return folded;
}

}  // namespace quillon
