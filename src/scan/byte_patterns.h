// Fast searches through raw source bytes for the few patterns the shape scanner starts from. A
// disk is mostly bytes that are neither text nor a store, so these searches set the pace of the
// scan: they look at 32 or 16 bytes at a time where the processor allows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// The first index i in [begin, end) whose byte is ':' with an 'F', 'f', 'D' or 'd' four bytes
// before it (where "From:" and "Date:" have theirs); `end` when there is none. Only i >= 4 are
// looked at, so that the four bytes before are always there.
std::size_t FindFromOrDateColon(const std::uint8_t* data, std::size_t begin, std::size_t end);

// The first index i in [begin, end - 4] with (base + i) % 4 == 0 whose 32-bit little-endian
// word reads 0x000002xx, the size field of a store block header (its data area is 0x200 to
// 0x2FF bytes); `end` when there is none.
std::size_t FindStoreSizeField(const std::uint8_t* data, std::size_t begin, std::size_t end,
                               std::uint64_t base);

}  // namespace quillon
