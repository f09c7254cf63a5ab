// Which converter turns each Windows code page number into Unicode on this machine. Private to
// src/text: the rest of the program names code pages by number only.
#pragma once

namespace quillon {

struct ConverterNames {
  const char* icu = nullptr;    // an ICU converter name, or null when ICU has none
  const char* iconv = nullptr;  // the iconv name for pages ICU lacks, or null
};

// Both names are null for a page that nothing here converts.
ConverterNames ConverterNamesFor(int codePage);

}  // namespace quillon
