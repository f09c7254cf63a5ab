// The 16-byte block headers that a mail store puts between the 512-byte pieces of a mail's text.
// A header is recognised by its size field: bytes 5..7 hold 02 00 00 (a size of 0x200..0x2FF).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quillon {

inline constexpr std::size_t kBlockHeaderSize = 16;
inline constexpr std::size_t kBlockHeaderMarkOffset = 5;
inline constexpr std::size_t kHeaderSearchSpan = 192;
inline constexpr std::size_t kNoBlockHeader = static_cast<std::size_t>(-1);

constexpr bool HasBlockHeaderMark(const std::uint8_t* at) {
  return at[0] == 0x02 && at[1] == 0x00 && at[2] == 0x00;
}

// The block header a line that begins at index `lineStart` runs into: the first one at a
// 4-aligned source position (`lineStartPosition` is the line start's) within 192 bytes from the
// line start, whose 16 bytes lie within `size`. kNoBlockHeader when there is none: a header
// further on is not one the line steps over.
std::size_t FindBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                 std::uint64_t lineStartPosition);

// Bytes a search found no mark byte (02) in: [from, to). True only while those bytes stay as they
// were; empty at first.
struct MarkFreeBytes {
  const std::uint8_t* from = nullptr;
  const std::uint8_t* to = nullptr;
};

// The search behind the next one, from the 4-aligned place `aligned` on (see there).
std::size_t SearchBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t aligned,
                                   MarkFreeBytes& free);

// The same, for a walk that asks at every line: the span of one line mostly overlaps the last
// one's, and the bytes `free` says hold no mark byte are not looked at again. `free` is then
// what this search found free.
inline std::size_t FindBlockHeaderAhead(const std::uint8_t* data, std::size_t size,
                                        std::size_t lineStart, std::uint64_t lineStartPosition,
                                        MarkFreeBytes& free) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  if (size < kBlockHeaderSize || aligned > size - kBlockHeaderSize) return kNoBlockHeader;
  // Most lines lie wholly in bytes an earlier search found free: answered here, without a call.
  const std::size_t lastHeader = std::min(aligned + kHeaderSearchSpan - 4, size - kBlockHeaderSize);
  if (data + aligned + kBlockHeaderMarkOffset >= free.from &&
      data + lastHeader + kBlockHeaderMarkOffset + 1 <= free.to)
    return kNoBlockHeader;
  return SearchBlockHeaderAhead(data, size, aligned, free);
}

// Whether the byte at index `index` (source position `position`) lies inside a block header that
// stands in `data` (one a line was too long to step over).
bool InsideBlockHeader(const std::uint8_t* data, std::size_t size, std::size_t index,
                       std::uint64_t position);

}  // namespace quillon
