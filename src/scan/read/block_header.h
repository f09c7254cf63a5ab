// The 16-byte block headers that a mail store puts between the 512-byte pieces of a mail's text.
// A header is recognised by its size field: bytes 5..7 hold 02 00 00 (a size of 0x200..0x2FF).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

inline constexpr std::size_t kBlockHeaderSize = 16;
inline constexpr std::size_t kBlockHeaderMarkOffset = 5;
inline constexpr std::size_t kHeaderSearchSpan = 192;

constexpr bool HasBlockHeaderMark(const std::uint8_t* at) {
  return at[0] == 0x02 && at[1] == 0x00 && at[2] == 0x00;
}

// Looks for a block header at the 4-aligned positions within 192 bytes from `position` (the
// alignment is that of the absolute byte offset `base + position`). When one starts at h, the
// h - position bytes of the line are moved up over it, so the line reads on without the header,
// and `position` advances by 16. Returns true when a header was removed.
bool StripBlockHeader(std::uint8_t* data, std::size_t size, std::uint64_t base,
                      std::size_t& position);

}  // namespace quillon
