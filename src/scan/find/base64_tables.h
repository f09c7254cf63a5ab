// Private to the base64 steps: a byte sorted by its two halves. Each high half that holds base64
// characters (2 to 7) gets a bit of its own, and the table for the low half holds, for each low
// half, the bits of the high halves that make a base64 character with it. A byte is one exactly
// where the two tables' bytes share a bit. Both are worked out from the alphabet itself, and once
// more with CR and LF let in (high half 0, a bit of its own), for the line steps.
#pragma once

#include <array>
#include <cstdint>

#include "scan/find/base64_run.h"

namespace quillon::base64_steps {

constexpr std::uint8_t HighBit(unsigned high) {
  return high >= 2 && high <= 7 ? static_cast<std::uint8_t>(1u << (high - 2)) : 0;
}

inline constexpr std::array<std::uint8_t, 16> kHighBits = [] {
  std::array<std::uint8_t, 16> table{};
  for (unsigned high = 0; high < 16; ++high) table[high] = HighBit(high);
  return table;
}();

inline constexpr std::array<std::uint8_t, 16> kLowBits = [] {
  std::array<std::uint8_t, 16> table{};
  for (unsigned c = 0; c < 256; ++c)
    if (IsBase64Byte(static_cast<std::uint8_t>(c)))
      table[c & 0x0F] = static_cast<std::uint8_t>(table[c & 0x0F] | HighBit(c >> 4));
  return table;
}();

inline constexpr unsigned kLineBreakBit = 1u << 6;

inline constexpr std::array<std::uint8_t, 16> kHighBitsWithBreaks = [] {
  std::array<std::uint8_t, 16> table = kHighBits;
  table[0] = kLineBreakBit;
  return table;
}();

inline constexpr std::array<std::uint8_t, 16> kLowBitsWithBreaks = [] {
  std::array<std::uint8_t, 16> table = kLowBits;
  table['\r'] = static_cast<std::uint8_t>(table['\r'] | kLineBreakBit);
  table['\n'] = static_cast<std::uint8_t>(table['\n'] | kLineBreakBit);
  return table;
}();

static_assert([] {
  for (unsigned c = 0; c < 256; ++c) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (((kLowBits[c & 0x0F] & kHighBits[c >> 4]) != 0) != IsBase64Byte(byte)) return false;
    if (((kLowBitsWithBreaks[c & 0x0F] & kHighBitsWithBreaks[c >> 4]) != 0) !=
        (IsBase64Byte(byte) || c == '\r' || c == '\n'))
      return false;
  }
  return true;
}());

}  // namespace quillon::base64_steps
