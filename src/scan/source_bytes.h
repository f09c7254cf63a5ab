// The bytes a scan holds of its source, and how it reads them: in chunks of 2048 sectors, each
// followed by a margin of the next chunk's bytes (zeros at the source's end), so that a find that
// begins in a chunk is read whole from that chunk's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

class UnreadableSectors;

inline constexpr std::uint32_t kChunkSectors = 2048;
inline constexpr std::uint32_t kReadSectors = 128;

// Bytes a reader may read beyond the end of the stretch it walks. Callers provide them: the
// next chunk's bytes, or zeros at the source's end.
inline constexpr std::size_t kCarveLookAhead = 128 * 1024;

// Where the bytes of a copy lie in the source when the copy leaves some out (the block headers a
// walk stepped over): each piece runs from its index in the copy up to the next piece's, and its
// first byte lies at `position`. Pieces are in index order; the first begins at index 0.
struct SourcePieces {
  struct Piece {
    std::size_t index = 0;
    std::uint64_t position = 0;
  };
  std::vector<Piece> pieces;

  std::uint64_t PositionOf(std::size_t index) const {
    std::size_t piece = pieces.size() - 1;
    while (piece > 0 && pieces[piece].index > index) --piece;
    return pieces[piece].position + (index - pieces[piece].index);
  }
};

// The bytes being carved: `size` readable bytes from `data`, the first of which lies at the
// absolute source offset `base`. Readers never look past `size` and never write: the bytes are
// the source's as read. `unreadable`, where given, says which of the zeros stand for sectors the
// source could not deliver (unreadable_sectors.h). `pieces`, where given, says the bytes are a
// copy that leaves some of the source's out; positions are then read through it.
struct CarveBuffer {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::uint64_t base = 0;
  const UnreadableSectors* unreadable = nullptr;
  const SourcePieces* pieces = nullptr;

  // The source position of the byte at `index`.
  std::uint64_t PositionOf(std::size_t index) const {
    return pieces ? pieces->PositionOf(index) : base + index;
  }
};

}  // namespace quillon
