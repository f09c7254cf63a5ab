#include "scan/read/block_header.h"

#include <algorithm>
#include <cstring>

namespace quillon {

std::size_t FindBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                 std::uint64_t lineStartPosition) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  if (aligned + kBlockHeaderSize > size) return kNoBlockHeader;
  const std::size_t lastHeader = std::min(aligned + kHeaderSearchSpan - 4, size - kBlockHeaderSize);
  // This runs at every line of every mail followed; mail text seldom holds the byte 02, so one
  // search for it passes over the whole span where probing each aligned place cost 48 looks.
  const std::uint8_t* at = data + aligned + kBlockHeaderMarkOffset;
  const std::uint8_t* const end = data + lastHeader + kBlockHeaderMarkOffset + 1;
  while (at < end) {
    const void* mark = std::memchr(at, 0x02, static_cast<std::size_t>(end - at));
    if (!mark) return kNoBlockHeader;
    const auto* byte = static_cast<const std::uint8_t*>(mark);
    const auto header = static_cast<std::size_t>(byte - data) - kBlockHeaderMarkOffset;
    if ((header - aligned) % 4 == 0 && HasBlockHeaderMark(byte)) return header;
    at = byte + 1;
  }
  return kNoBlockHeader;
}

bool InsideBlockHeader(const std::uint8_t* data, std::size_t size, std::size_t index,
                       std::uint64_t position) {
  for (std::size_t back = 0; back < kBlockHeaderSize; ++back) {
    if (back > index || (position - back) % 4 != 0) continue;
    const std::size_t header = index - back;
    if (header + kBlockHeaderSize <= size &&
        HasBlockHeaderMark(data + header + kBlockHeaderMarkOffset))
      return true;
  }
  return false;
}

}  // namespace quillon
