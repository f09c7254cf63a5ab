#include "scan/merge/lines_above_copies.h"

#include <algorithm>
#include <cstdint>

#include "scan/lines/line_scan.h"

namespace quillon {

namespace {

constexpr std::size_t kWord = sizeof(std::uint64_t);

// Whether one of the eight bytes at `bytes` lies below a blank.
bool HasByteBelowBlank(const char* bytes) {
  return line_scan::HasByteBelow(line_scan::Load8(reinterpret_cast<const std::uint8_t*>(bytes)),
                                 0x20) != 0;
}

bool IsControlByte(char c) {
  return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
}

bool IsBreak(char c) {
  return c == '\n' || (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r');
}

bool HoldsControlByte(std::string_view text) {
  std::size_t at = 0;
  for (; at + kWord <= text.size(); at += kWord) {
    if (!HasByteBelowBlank(text.data() + at)) continue;
    if (std::any_of(text.data() + at, text.data() + at + kWord, IsControlByte)) return true;
  }
  return std::any_of(text.data() + at, text.data() + text.size(), IsControlByte);
}

}  // namespace

bool IsHeaderLine(std::string_view line) {
  if (line.empty() || line[0] == '\r' || line[0] == '\n') return false;
  if (HoldsControlByte(line)) return false;
  if (line[0] == ' ' || line[0] == '\t') return true;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon < 2 || colon > 76) return false;
  return std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  });
}

std::size_t LineStartBehindBreak(std::string_view text, std::size_t end) {
  std::size_t at = std::min(end, text.size());
  for (;;) {
    while (at >= kWord && !HasByteBelowBlank(text.data() + at - kWord)) at -= kWord;
    // A word with a byte below a blank in it (a tab, a line end), or what is left in front.
    const std::size_t stop = at >= kWord ? at - kWord : 0;
    for (; at > stop; --at) {
      if (IsBreak(text[at - 1])) return at;
    }
    if (at == 0) return 0;
  }
}

std::size_t LastLineFeedAtOrBefore(std::string_view text, std::size_t at) {
  const std::size_t end = at >= text.size() ? text.size() : at + 1;
  const void* found = end > 0 ? memrchr(text.data(), '\n', end) : nullptr;
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
               : std::string_view::npos;
}

}  // namespace quillon
