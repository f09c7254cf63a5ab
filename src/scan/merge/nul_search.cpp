#include "scan/merge/nul_search.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace quillon {

bool NulBetween(CarveBuffer buffer, std::uint64_t from, std::uint64_t to) {
  if (from < buffer.base || to > buffer.base + buffer.size || from >= to) return true;
  return std::memchr(buffer.data + (from - buffer.base), 0, static_cast<std::size_t>(to - from)) !=
         nullptr;
}

std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at) {
  constexpr std::size_t kMaxLookBack = 4 * 1024 * 1024;
  if (at <= buffer.base || at > buffer.base + buffer.size) return at;
  const std::size_t end = static_cast<std::size_t>(at - buffer.base);
  const std::size_t begin = end > kMaxLookBack ? end - kMaxLookBack : 0;
  const std::string_view before(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  const std::size_t nul = before.rfind('\0');
  return buffer.base + begin + (nul == std::string_view::npos ? 0 : nul + 1);
}

}  // namespace quillon
