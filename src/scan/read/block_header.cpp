#include "scan/read/block_header.h"

namespace quillon {

std::size_t FindBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                 std::uint64_t lineStartPosition) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  for (std::size_t k = 0; k < kHeaderSearchSpan; k += 4) {
    const std::size_t header = aligned + k;
    if (header + kBlockHeaderSize > size) return kNoBlockHeader;
    if (HasBlockHeaderMark(data + header + kBlockHeaderMarkOffset)) return header;
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
