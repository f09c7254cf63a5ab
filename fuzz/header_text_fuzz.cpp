// Header value decoding of arbitrary bytes: every encoded word, charset lookup and RFC 2231
// value. The first byte picks the ANSI code page untagged bytes are read with; the decoders
// must return without reading outside the value and without a NUL in the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/charset_table.h"
#include "text/code_page.h"
#include "text/encoded_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr int kAnsiCodePages[] = {1252, 936, 932, 949, 950, 1251, 1256, 874};
  const int ansiCodePage = kAnsiCodePages[data[0] % 8];
  const std::string_view value(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::u16string text = quillon::DecodeHeaderText(value, ansiCodePage);
  if (text.find(u'\0') != std::u16string::npos) std::abort();

  if (const quillon::CharsetEntry* entry = quillon::FindCharsetForEncodedWord(value)) {
    (void)quillon::DecodeEncodedWord(*entry, value, ansiCodePage);
    (void)quillon::DecodeWithCharset(*entry, value, ansiCodePage);
  }
  (void)quillon::FindCharsetForParameter(value);
  (void)quillon::DecodeExtendedParameter(value, ansiCodePage);
  return 0;
}
