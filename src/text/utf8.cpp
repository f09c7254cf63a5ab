#include "text/utf8.h"

namespace quillon {

bool HasNonAsciiByte(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // RFC 3629 4: the second byte's range depends on the lead byte; later bytes are 80..BF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

std::u16string Utf16OfValidUtf8(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    auto next = [&](std::size_t k) { return static_cast<char32_t>(bytes[i + k] & 0x3F); };
    char32_t code = lead;
    if (lead < 0x80) {
      i += 1;
    } else if (lead < 0xE0) {
      code = static_cast<char32_t>(lead & 0x1F) << 6 | next(1);
      i += 2;
    } else if (lead < 0xF0) {
      code = static_cast<char32_t>(lead & 0x0F) << 12 | next(1) << 6 | next(2);
      i += 3;
    } else {
      code = static_cast<char32_t>(lead & 0x07) << 18 | next(1) << 12 | next(2) << 6 | next(3);
      i += 4;
    }
    if (code < 0x10000) {
      text += static_cast<char16_t>(code);
      continue;
    }
    code -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (code >> 10));
    text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
  return text;
}

}  // namespace quillon
