#include "scan/read/block_header.h"

#include <algorithm>
#include <cstring>

namespace quillon {

std::size_t FindBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                 std::uint64_t lineStartPosition) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  if (size < kBlockHeaderSize || aligned > size - kBlockHeaderSize) return kNoBlockHeader;
  // Every line of a mail asks, and text rarely holds the mark's 02 byte: look for that byte
  // first, then whether it stands where a header's mark would.
  const std::size_t lastHeader = std::min(aligned + kHeaderSearchSpan - 4, size - kBlockHeaderSize);
  const std::uint8_t* at = data + aligned + kBlockHeaderMarkOffset;
  const std::uint8_t* const end = data + lastHeader + kBlockHeaderMarkOffset + 1;
  while (at < end) {
    const void* found = std::memchr(at, 0x02, static_cast<std::size_t>(end - at));
    if (!found) return kNoBlockHeader;
    const auto* mark = static_cast<const std::uint8_t*>(found);
    const std::size_t header = static_cast<std::size_t>(mark - data) - kBlockHeaderMarkOffset;
    if ((header - aligned) % 4 == 0 && HasBlockHeaderMark(mark)) return header;
    at = mark + 1;
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
