// Where the bytes the scan holds serve as the source's own, so that a text read again is taken
// from them rather than read from the source.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/read/unreadable_sectors.h"
#include "scan/source_bytes.h"

namespace quillon {

// The bytes [from, from + size) of the source where `buffer` holds them as the source does: read
// whole, at their own positions, and short of the room behind the buffer's bytes, which is
// zeros past the source's end; null where it does not.
inline const std::uint8_t* HeldInHand(CarveBuffer buffer, std::uint64_t from, std::size_t size) {
  if (!buffer.data || buffer.pieces || buffer.size < kCarveLookAhead) return nullptr;
  const std::uint64_t end = buffer.base + (buffer.size - kCarveLookAhead);
  if (from < buffer.base || from > end || size > end - from) return nullptr;
  if (buffer.unreadable && buffer.unreadable->Overlaps(from, from + size)) return nullptr;
  return buffer.data + (from - buffer.base);
}

}  // namespace quillon
