#include "text/ascii.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillon {

namespace {

bool IsPlainByte(unsigned char byte) {
  return (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\r' || byte == '\n';
}

// Whether one of the eight bytes of `word` lies outside the printable 0x20..0x7E (then it is
// looked at byte by byte: tabs and line breaks are plain too).
constexpr bool HasByteOutsidePrintable(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighBits = kOnes * 0x80;
  // A byte below 0x20 borrows into its high bit; one above 0x7E has it set after adding 1.
  const std::uint64_t below = (word - kOnes * 0x20) & ~word;
  const std::uint64_t above = (word + kOnes) | word;
  return ((below | above) & kHighBits) != 0;
}

}  // namespace

bool IsPlainAscii(std::string_view text) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (!HasByteOutsidePrintable(word)) continue;
    for (std::size_t j = i; j < i + 8; ++j) {
      if (!IsPlainByte(static_cast<unsigned char>(text[j]))) return false;
    }
  }
  for (; i < text.size(); ++i) {
    if (!IsPlainByte(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

bool HoldsEightBitByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lowered;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
  if (haystack.size() < needle.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (StartsWithNoCase(haystack.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

namespace {
template <typename Char>
constexpr bool IsWhiteSpace(Char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

template <typename View>
View Trim(View text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}
}  // namespace

std::string_view TrimWhiteSpace(std::string_view text) {
  return Trim(text);
}
std::u16string_view TrimWhiteSpace(std::u16string_view text) {
  return Trim(text);
}

}  // namespace quillon
