#include "scan/read/block_header.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

// How far past a line's span the walk's search looks for the next mark byte.
constexpr std::size_t kMarkFreeLookAhead = 4096;

}  // namespace

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

std::size_t SearchBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t aligned,
                                   MarkFreeBytes& free) {
  const std::size_t lastHeader = std::min(aligned + kHeaderSearchSpan - 4, size - kBlockHeaderSize);
  const std::uint8_t* at = data + aligned + kBlockHeaderMarkOffset;
  const std::uint8_t* const end = data + lastHeader + kBlockHeaderMarkOffset + 1;
  // Lines follow each other closely: the search runs on past this line's span to the next mark
  // byte, so that the lines behind are answered without a search of their own.
  const std::uint8_t* const reach = data + std::min(size, lastHeader + kMarkFreeLookAhead);
  // The free bytes run on from where this search starts: it starts behind them.
  const std::uint8_t* freeFrom = at;
  if (at >= free.from && at < free.to) {
    freeFrom = free.from;
    at = free.to;
  }
  while (at < end) {
    const void* found = std::memchr(at, 0x02, static_cast<std::size_t>(reach - at));
    const auto* mark = found ? static_cast<const std::uint8_t*>(found) : reach;
    if (mark >= end) {
      free = {freeFrom, mark};
      return kNoBlockHeader;
    }
    const std::size_t header = static_cast<std::size_t>(mark - data) - kBlockHeaderMarkOffset;
    if ((header - aligned) % 4 == 0 && HasBlockHeaderMark(mark)) {
      free = {freeFrom, mark};
      return header;
    }
    at = mark + 1;
    freeFrom = at;
  }
  free = {freeFrom, at};
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
