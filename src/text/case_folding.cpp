#include "text/case_folding.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <array>
#include <cstdint>
#include <memory>

namespace quillon {

namespace {

// Simple folding keeps one character one character, as the file systems' up-case tables do
// ("ß" stays "ß" rather than becoming "ss").
UChar32 Folded(UChar32 code) {
  return u_foldCase(code, U_FOLD_CASE_DEFAULT);
}

// Every unit of the BMP folded, worked out once and never changed: a million subjects folded for
// a search cost a look-up per unit instead of a call into ICU. Surrogate halves map to
// themselves; pairs are folded as the characters they make.
const std::array<char16_t, 0x10000>& BmpTable() {
  static const std::unique_ptr<const std::array<char16_t, 0x10000>> table = [] {
    auto folded = std::make_unique<std::array<char16_t, 0x10000>>();
    for (std::uint32_t unit = 0; unit < 0x10000; ++unit) {
      const UChar32 mapped =
          U16_IS_SURROGATE(unit) ? static_cast<UChar32>(unit) : Folded(static_cast<UChar32>(unit));
      (*folded)[unit] = static_cast<char16_t>(U_IS_BMP(mapped) ? mapped : unit);
    }
    return std::unique_ptr<const std::array<char16_t, 0x10000>>(std::move(folded));
  }();
  return *table;
}

}  // namespace

void AppendFoldedCase(std::u16string_view text, std::u16string& out) {
  const std::array<char16_t, 0x10000>& table = BmpTable();
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char16_t* into = out.data() + start;
  const std::size_t length = text.size();
  for (std::size_t at = 0; at < length; ++at) {
    const char16_t unit = text[at];
    if (!U16_IS_LEAD(unit) || at + 1 == length || !U16_IS_TRAIL(text[at + 1])) {
      *into++ = table[unit];
      continue;
    }
    const char16_t trail = text[++at];
    const UChar32 mapped = Folded(U16_GET_SUPPLEMENTARY(unit, trail));
    // A folding that left the supplementary planes would change the length; keep the pair then.
    if (U_IS_BMP(mapped)) {
      *into++ = unit;
      *into++ = trail;
      continue;
    }
    *into++ = static_cast<char16_t>(U16_LEAD(mapped));
    *into++ = static_cast<char16_t>(U16_TRAIL(mapped));
  }
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded;
  folded.reserve(text.size());
  AppendFoldedCase(text, folded);
  return folded;
}

}  // namespace quillon
