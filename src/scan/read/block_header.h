// The 16-byte block headers that a mail store puts between the 512-byte pieces of a mail's text.
// A header is recognised by its size field: bytes 5..7 hold 02 00 00 (a size of 0x200..0x2FF).
#pragma once

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

// Whether the byte at index `index` (source position `position`) lies inside a block header that
// stands in `data` (one a line was too long to step over).
bool InsideBlockHeader(const std::uint8_t* data, std::size_t size, std::size_t index,
                       std::uint64_t position);

}  // namespace quillon
