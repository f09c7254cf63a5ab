#include "text/base64.h"

#include <array>
#include <cstdint>

namespace quillon {

namespace {

constexpr unsigned char kNotInAlphabet = 0xFF;

// RFC 2045 6.8, Table 1: the 64 characters and their values; everything else is outside.
constexpr std::array<unsigned char, 256> kAlphabetValues = [] {
  std::array<unsigned char, 256> values{};
  values.fill(kNotInAlphabet);
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (unsigned char value = 0; value < 64; ++value) {
    values[static_cast<unsigned char>(kAlphabet[value])] = value;
  }
  return values;
}();

}  // namespace

std::string Base64Decode(std::string_view text) {
  // Every four alphabet bytes give three bytes, and a partial group at most two more.
  std::string decoded(text.size() / 4 * 3 + 3, '\0');
  char* target = decoded.data();
  const auto* source = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = source + text.size();

  std::uint32_t accumulator = 0;
  int groupCount = 0;
  // RFC 2045 6.8: '=' pads the end of the data. One right after a data character (or at the very
  // start) ends the decoding; one elsewhere is skipped like any byte outside the alphabet.
  bool previousWasData = true;

  while (source < end) {
    if (groupCount == 0) {
      // Whole groups of four alphabet bytes, the common case between line breaks. A value
      // outside 0..63 sets one of the top two bits.
      while (end - source >= 4) {
        const std::uint32_t a = kAlphabetValues[source[0]];
        const std::uint32_t b = kAlphabetValues[source[1]];
        const std::uint32_t c = kAlphabetValues[source[2]];
        const std::uint32_t d = kAlphabetValues[source[3]];
        if ((a | b | c | d) & 0xC0) break;
        const std::uint32_t bits = a << 18 | b << 12 | c << 6 | d;
        target[0] = static_cast<char>(bits >> 16);
        target[1] = static_cast<char>(bits >> 8);
        target[2] = static_cast<char>(bits);
        target += 3;
        source += 4;
        previousWasData = true;
      }
      if (source == end) break;
    }
    const unsigned char byte = *source++;
    const unsigned char value = kAlphabetValues[byte];
    if (value == kNotInAlphabet) {
      if (byte == '=' && previousWasData) break;
      previousWasData = false;
      continue;
    }
    previousWasData = true;
    accumulator = accumulator << 6 | value;
    if (++groupCount == 4) {
      target[0] = static_cast<char>(accumulator >> 16);
      target[1] = static_cast<char>(accumulator >> 8);
      target[2] = static_cast<char>(accumulator);
      target += 3;
      groupCount = 0;
      accumulator = 0;
    }
  }

  // RFC 2045 6.8: a final group of two or three characters carries one or two whole bytes; a
  // lone character carries none.
  if (groupCount == 2) {
    *target++ = static_cast<char>(accumulator >> 4);
  } else if (groupCount == 3) {
    *target++ = static_cast<char>(accumulator >> 10);
    *target++ = static_cast<char>(accumulator >> 2);
  }
  decoded.resize(static_cast<std::size_t>(target - decoded.data()));
  return decoded;
}

void Base64DecodeInPlace(std::string& text) {
  std::string decoded = Base64Decode(text);
  if (decoded.empty()) return;
  if (const auto nul = decoded.find('\0'); nul != std::string::npos) decoded.resize(nul);
  text = std::move(decoded);
}

}  // namespace quillon
