// Sender and recipient decoding of arbitrary bytes: the quoting rules on top of the header
// decoding. The first byte picks the ANSI code page.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/ascii.h"
#include "text/code_page.h"
#include "text/encoded_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr int kAnsiCodePages[] = {1252, 936, 932, 1251};
  const int ansiCodePage = kAnsiCodePages[data[0] % 4];
  const std::string_view value(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::u16string text = quillon::DecodeAddressText(value, ansiCodePage);
  if (text.find(u'\0') != std::u16string::npos) std::abort();
  // Without quotes or a leading encoded word there is no display name to rebuild, and the
  // value decodes exactly like any header text.
  const std::string_view trimmed = quillon::TrimWhiteSpace(value);
  if (trimmed.find('"') == std::string_view::npos && !trimmed.starts_with("=?") &&
      text != quillon::DecodeHeaderText(trimmed, ansiCodePage)) {
    std::abort();
  }
  return 0;
}
