// The first NUL read from the source at or behind a position: where a multipart mail whose
// closing boundary is missing ends at the latest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/source_bytes.h"

namespace quillon {

// FindReadNul over the rest of the buffer, for positions asked in mostly ascending order. A
// mailbox holds no NUL, and a search from each multipart mail to the buffer's end looked at the
// same megabytes once per mail. The bytes of a source position never change, nor does whether
// they were read, so what one search saw (no read NUL in [searchedFrom, searchedTo)) answers
// later questions inside that stretch, in later buffers too; a buffer that reaches further is
// searched on from where the last search stopped.
class ReadNulFinder {
 public:
  // The buffer index of the first read NUL at or behind index `from`; buffer.size when the
  // buffer holds none.
  std::size_t From(CarveBuffer buffer, std::size_t from);

 private:
  bool valid_ = false;
  std::uint64_t searchedFrom_ = 0;  // absolute positions
  std::uint64_t searchedTo_ = 0;    // the NUL found, or where the buffer ended
  bool found_ = false;              // whether a read NUL stands at searchedTo_
};

}  // namespace quillon
