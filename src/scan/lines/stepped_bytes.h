// The bytes a walk reads line by line, where a mail store has put 16-byte block headers between
// the pieces of a mail's text. A line that runs into such a header steps over it: from that line
// on the walk reads a private copy of the chunk's bytes that leaves the headers out, and goes
// back to the chunk once it is behind them. The chunk is never written, and every index maps to
// the byte's true position in the source (CarveBuffer::PositionOf).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "scan/source_bytes.h"

namespace quillon {

class SteppedBytes {
 public:
  SteppedBytes() = default;
  explicit SteppedBytes(CarveBuffer chunk) { Attach(chunk, chunk.base); }

  // The chunk to read from `from` (a source position) on. Headers stepped over in an earlier
  // chunk that still lie ahead of `from` stay left out.
  void Attach(CarveBuffer chunk, std::uint64_t from);

  // The copy while headers ahead are left out, else the chunk. (Asked at every line a walk reads.)
  CarveBuffer Bytes() const {
    if (!Stepping()) return chunk_;
    return CarveBuffer{copy_.data(), copy_.size(), start_, chunk_.unreadable, &pieces_};
  }
  bool Stepping() const { return !leftOut_.empty(); }

  // Steps over the block header at index `header` of Bytes() for the line that begins at index
  // `lineStart` (at most `header`). Returns the line's index in the new Bytes(), which then reads
  // on over the header as if it were not there; indices from before the call are stale.
  std::size_t StepOver(std::size_t lineStart, std::size_t header);

  // The index in Bytes() of the source position `position` (the next byte kept when that one was
  // left out). Once `position` lies behind every header left out, the copy is dropped and the
  // index is the chunk's.
  std::size_t Seek(std::uint64_t position);

  // The index in Bytes() of the first byte kept at or behind `position`; Bytes().size at most.
  std::size_t IndexOf(std::uint64_t position) const;

 private:
  void Copy();
  void Append(std::uint64_t from, std::uint64_t to);
  std::uint64_t TailEnd(std::uint64_t from) const;

  CarveBuffer chunk_;
  std::uint64_t start_ = 0;  // source position of the copy's first byte
  std::vector<std::pair<std::uint64_t, std::uint64_t>> leftOut_;  // source stretches, ascending
  std::vector<std::uint8_t> copy_;
  SourcePieces pieces_;
};

}  // namespace quillon
