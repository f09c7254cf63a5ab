#include "scan/merge/nul_search.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

namespace quillon {

namespace {
constexpr std::size_t kMaxLookBack = 4 * 1024 * 1024;

// Where the last NUL of [data, data + size) lies. Blocks are tested from the back with memchr,
// which is fast where NULs are rare, and only the block that holds one is walked byte by byte.
std::optional<std::size_t> LastNulIn(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kBlock = 4096;
  for (std::size_t end = size; end > 0;) {
    const std::size_t begin = end > kBlock ? end - kBlock : 0;
    if (std::memchr(data + begin, 0, end - begin) != nullptr) {
      for (std::size_t at = end; at > begin; --at)
        if (data[at - 1] == 0) return at - 1;
    }
    end = begin;
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
  return std::memchr(buffer.data + (from - buffer.base), 0, static_cast<std::size_t>(to - from)) !=
         nullptr;
}

std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at) {
  if (at <= buffer.base || at > buffer.base + buffer.size) return at;
  const std::uint64_t begin = LookBackLimit(buffer, at);
  const std::string_view before(reinterpret_cast<const char*>(buffer.data + (begin - buffer.base)),
                                static_cast<std::size_t>(at - begin));
  const std::size_t nul = before.rfind('\0');
  return begin + (nul == std::string_view::npos ? 0 : nul + 1);
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
    if (const auto nul = LastNulIn(buffer.data + (lookedTo_ - buffer.base),
                                   static_cast<std::size_t>(at - lookedTo_)))
      lastNul_ = lookedTo_ + *nul;
    lookedTo_ = at;
  }
  return lastNul_ && *lastNul_ >= begin ? *lastNul_ + 1 : begin;
}

}  // namespace quillon
