// Letter case as file systems that ignore it see names: vfat, exFAT and NTFS compare names
// after mapping each character on its own, so "Résumé.eml" and "RÉSUMÉ.eml" are one file there.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// `text` with every character replaced by its simple (one-to-one) case folding, so that two
// names one of those file systems takes for the same file fold to the same text. Unpaired
// surrogates stay as they are.
std::u16string FoldCase(std::u16string_view text);

}  // namespace quillon
