#include "text/quoted_printable.h"

#include <array>
#include <cstring>

namespace quillon {

namespace {

constexpr signed char kNotHex = -1;

// RFC 2045 6.7 rule (1) asks senders for upper-case hex digits; robustness note (1) of the same
// section lets a receiver read lower case as well, and mailers do send it.
constexpr std::array<signed char, 256> kHexValues = [] {
  std::array<signed char, 256> values{};
  values.fill(kNotHex);
  for (int digit = 0; digit < 10; ++digit) values['0' + digit] = static_cast<signed char>(digit);
  for (int letter = 0; letter < 6; ++letter) {
    values['A' + letter] = static_cast<signed char>(10 + letter);
    values['a' + letter] = static_cast<signed char>(10 + letter);
  }
  return values;
}();

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string DecodeQuotedPrintable(std::string_view text, bool underscoreIsSpace) {
  std::string decoded(text.size(), '\0');
  char* target = decoded.data();
  const char* const begin = text.data();
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Copy the run up to the next '=' in one go.
    const void* equals = std::memchr(begin + i, '=', size - i);
    const std::size_t runEnd =
        equals == nullptr ? size
                          : static_cast<std::size_t>(static_cast<const char*>(equals) - begin);
    if (underscoreIsSpace) {
      for (std::size_t k = i; k < runEnd; ++k) *target++ = begin[k] == '_' ? ' ' : begin[k];
    } else {
      std::memcpy(target, begin + i, runEnd - i);
      target += runEnd - i;
    }
    i = runEnd;
    if (i == size) break;

    // At an '='. RFC 2045 6.7 (5): "=" at the end of a line is a soft line break. CR LF is the
    // canonical line end; a bare LF or CR is what line-end conversion leaves behind.
    if (i + 1 == size) {
      *target++ = '=';  // note (3): a truncated object; keep what is there
      break;
    }
    const char next = begin[i + 1];
    if (next == '\r') {
      i += 2;
      if (i < size && begin[i] == '\n') ++i;
      continue;
    }
    if (next == '\n') {
      i += 2;
      continue;
    }
    if (i + 2 < size) {
      const signed char high = kHexValues[static_cast<unsigned char>(next)];
      const signed char low = kHexValues[static_cast<unsigned char>(begin[i + 2])];
      if (high != kNotHex && low != kNotHex) {
        *target++ = static_cast<char>(high << 4 | low);
        i += 3;
        continue;
      }
    }
    // RFC 2045 6.7 rule (3): blanks a transport appended after a soft line break's "=" are not
    // data and must be deleted.
    std::size_t afterBlanks = i + 1;
    while (afterBlanks < size && IsBlank(begin[afterBlanks])) ++afterBlanks;
    if (afterBlanks > i + 1 && afterBlanks < size &&
        (begin[afterBlanks] == '\r' || begin[afterBlanks] == '\n')) {
      i = afterBlanks + 1;
      if (begin[afterBlanks] == '\r' && i < size && begin[i] == '\n') ++i;
      continue;
    }
    // RFC 2045 6.7, note (2): an "=" not followed by two hex digits is kept as it stands and the
    // bytes after it are read as ordinary text.
    *target++ = '=';
    ++i;
  }
  decoded.resize(static_cast<std::size_t>(target - decoded.data()));
  return decoded;
}

}  // namespace

std::string QuotedPrintableDecode(std::string_view text) {
  return DecodeQuotedPrintable(text, false);
}

std::string QEncodingDecode(std::string_view text) {
  return DecodeQuotedPrintable(text, true);
}

void QuotedPrintableDecodeInPlace(std::string& text) {
  std::string decoded = QuotedPrintableDecode(text);
  if (decoded.empty()) return;
  if (const auto nul = decoded.find('\0'); nul != std::string::npos) decoded.resize(nul);
  text = std::move(decoded);
}

}  // namespace quillon
