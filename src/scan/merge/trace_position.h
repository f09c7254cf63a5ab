// Where the carver's walk and the shape scan meet on one trace line. The walk removes a store
// block header by moving the text behind it back over the header, so a line it reports may stand
// one block header's length before the place where the shape scan, which reads the bytes as they
// lie, saw it. Every comparison of a walk position with a shape position goes through here.
#pragma once

#include <cstdint>

#include "scan/read/block_header.h"

namespace quillon {

// How far before a shape position the walk may report the same line. Zero would make every
// comparison below exact.
inline constexpr std::uint64_t kWalkLineDrift = kBlockHeaderSize;

// Whether the walk's line at `walkPosition` is the one the shape scan saw at `shapePosition`.
constexpr bool IsSameTraceLine(std::uint64_t walkPosition, std::uint64_t shapePosition) {
  return walkPosition == shapePosition || walkPosition + kWalkLineDrift == shapePosition;
}

// The end of the walk positions of a store block's text stretch [offset, offset + length): text
// moved back over the next block's header stands behind it.
constexpr std::uint64_t WalkedStretchEnd(std::uint64_t offset, std::uint64_t length) {
  return offset + length + kWalkLineDrift;
}

}  // namespace quillon
