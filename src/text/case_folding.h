// Letter case as file systems that ignore it see names, and as the searches of found mails see
// texts: each character mapped on its own by simple Unicode case folding, so "Résumé.eml" and
// "RÉSUMÉ.eml" are one file on vfat, exFAT and NTFS, and "КАЗАНЬ" finds "Казань".
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// `text` with every character replaced by its simple (one-to-one) case folding, so that two
// names one of those file systems takes for the same file fold to the same text. Unpaired
// surrogates stay as they are.
std::u16string FoldCase(std::u16string_view text);

// Appends FoldCase(text) to `out`. The folded text has as many UTF-16 units as `text` (simple
// folding never moves a character into or out of the Basic Multilingual Plane), so a position
// in one is the same position in the other. Costs one table look-up per unit of the BMP.
void AppendFoldedCase(std::u16string_view text, std::u16string& out);

}  // namespace quillon
