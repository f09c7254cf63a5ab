#include "scan/read/block_header.h"

#include <cstring>

namespace quillon {

bool StripBlockHeader(std::uint8_t* data, std::size_t size, std::uint64_t base,
                      std::size_t& position) {
  const std::uint64_t absolute = base + position;
  const std::size_t aligned = position + static_cast<std::size_t>((4 - absolute % 4) % 4);
  for (std::size_t k = 0; k < kHeaderSearchSpan; k += 4) {
    const std::size_t header = aligned + k;
    if (header + kBlockHeaderSize > size) return false;
    if (!HasBlockHeaderMark(data + header + kBlockHeaderMarkOffset)) continue;
    std::memmove(data + position + kBlockHeaderSize, data + position, header - position);
    position += kBlockHeaderSize;
    return true;
  }
  return false;
}

}  // namespace quillon
