// Byte-string helpers that fold only the ASCII letters, as mail headers require.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

constexpr unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// True when `text` begins with `prefix`, ignoring the case of ASCII letters.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(static_cast<unsigned char>(text[i])) !=
        AsciiLower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// True when every byte of `text` is printable ASCII, a tab, a carriage return or a line feed:
// text that reads as itself in every page that reads ASCII as ASCII. Read eight bytes at a time.
bool IsPlainAscii(std::string_view text);
// True when `text` holds a byte of 0x80 or above.
bool HoldsEightBitByte(std::string_view text);

std::string AsciiLowered(std::string_view text);
// Position of `needle` in `haystack` ignoring ASCII case, or npos.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);
// Trims blanks, tabs, CR and LF from both ends.
std::string_view TrimWhiteSpace(std::string_view text);
std::u16string_view TrimWhiteSpace(std::u16string_view text);

}  // namespace quillon
