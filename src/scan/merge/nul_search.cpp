#include "scan/merge/nul_search.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/read/unreadable_sectors.h"

namespace quillon {

namespace {
constexpr std::size_t kMaxLookBack = 4 * 1024 * 1024;

std::string_view ViewOf(CarveBuffer buffer) {
  return {reinterpret_cast<const char*>(buffer.data), buffer.size};
}

// Where the last NUL of buffer indices [from, to) that is no stray one lies. Blocks are tested
// from the back with memchr, which is fast where NULs are rare, and only the block that holds
// one is walked byte by byte. A stray NUL is told by the whole line it stands in, which may reach
// behind `to`.
std::optional<std::size_t> LastNulInStretch(CarveBuffer buffer, std::size_t from, std::size_t to) {
  constexpr std::size_t kBlock = 4096;
  const std::string_view text = ViewOf(buffer);
  for (std::size_t end = to; end > from;) {
    const std::size_t begin = end - from > kBlock ? end - kBlock : from;
    if (std::memchr(buffer.data + begin, 0, end - begin) != nullptr) {
      for (std::size_t at = end; at > begin; --at)
        if (buffer.data[at - 1] == 0 && !IsStrayNul(text, at - 1)) return at - 1;
    }
    end = begin;
  }
  return std::nullopt;
}

// LastNulInStretch over only the sectors that may hold a NUL, where the mark pass told them (a
// buffer of the source's own positions): mailboxes without NULs are not read back at all.
std::optional<std::size_t> LastNulIn(CarveBuffer buffer, std::size_t from, std::size_t to) {
  if (!buffer.unreadable || buffer.pieces) return LastNulInStretch(buffer, from, to);
  while (to > from) {
    const UnreadableSectors::ByteStretch stretch =
        buffer.unreadable->LastMayHoldNul(buffer.base + from, buffer.base + to);
    if (stretch.from >= stretch.to) return std::nullopt;
    const auto begin = static_cast<std::size_t>(stretch.from - buffer.base);
    if (const auto nul =
            LastNulInStretch(buffer, begin, static_cast<std::size_t>(stretch.to - buffer.base)))
      return nul;
    to = begin;
  }
  return std::nullopt;
}

// The first byte a mail around `at` can begin at, NULs aside.
std::uint64_t LookBackLimit(CarveBuffer buffer, std::uint64_t at) {
  return std::max(buffer.base, at > kMaxLookBack ? at - kMaxLookBack : 0);
}
}  // namespace

bool NulBetween(CarveBuffer buffer, std::uint64_t from, std::uint64_t to) {
  if (from < buffer.base || to > buffer.base + buffer.size || from >= to) return true;
  const std::string_view text = ViewOf(buffer);
  // Only the sectors that may hold a NUL are read, where the buffer's sectors tell.
  const bool marked = buffer.unreadable && !buffer.pieces;
  const auto end = static_cast<std::size_t>(to - buffer.base);
  for (auto at = static_cast<std::size_t>(from - buffer.base); at < end;) {
    std::size_t stop = end;
    if (marked) {
      const UnreadableSectors::ByteStretch stretch =
          buffer.unreadable->MayHoldNul(buffer.base + at, to);
      at = static_cast<std::size_t>(stretch.from - buffer.base);
      stop = static_cast<std::size_t>(stretch.to - buffer.base);
      if (at >= end) return false;
    }
    const void* nul = std::memchr(buffer.data + at, 0, stop - at);
    if (!nul) {
      at = stop;
      continue;
    }
    at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - buffer.data);
    if (!IsStrayNul(text, at)) return true;
    ++at;
  }
  return false;
}

std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at) {
  if (at <= buffer.base || at > buffer.base + buffer.size) return at;
  const std::uint64_t begin = LookBackLimit(buffer, at);
  const auto nul = LastNulIn(buffer, static_cast<std::size_t>(begin - buffer.base),
                             static_cast<std::size_t>(at - buffer.base));
  return nul ? buffer.base + *nul + 1 : begin;
}

std::uint64_t ContainerStartFinder::StartsFrom(CarveBuffer buffer, std::uint64_t at) {
  if (at <= buffer.base || at > buffer.base + buffer.size) return at;
  const std::uint64_t begin = LookBackLimit(buffer, at);
  // What was looked at must reach from the limit without a gap.
  if (!valid_ || at < lookedTo_ || begin < lookedFrom_ || lookedTo_ < begin) {
    valid_ = true;
    lookedFrom_ = lookedTo_ = begin;
    lastNul_.reset();
  }
  if (at > lookedTo_) {
    if (const auto nul = LastNulIn(buffer, static_cast<std::size_t>(lookedTo_ - buffer.base),
                                   static_cast<std::size_t>(at - buffer.base)))
      lastNul_ = buffer.base + *nul;
    lookedTo_ = at;
  }
  return lastNul_ && *lastNul_ >= begin ? *lastNul_ + 1 : begin;
}

}  // namespace quillon
