// The marks the shape scan starts from, found while a stretch's bytes are fresh from reading.
#pragma once

#include <cstdint>
#include <vector>

#include "scan/find/line_break_map.h"
#include "scan/source_bytes.h"

namespace quillon {

// Where the shape scan starts from, found while a stretch's bytes are fresh from reading: the
// absolute positions of lines (or sectors) that may open with "From:" or "Date:", and of words
// that may be a store block's size field. In position order.
struct ShapeMarks {
  std::vector<std::uint64_t> anchors;
  std::vector<std::uint64_t> sizeFields;
};

// Adds the marks of the absolute stretch [from, to) of `buffer`: the anchors whose colon lies
// there (so stretches that follow each other give each anchor once, in order). `buffer` holds
// the bytes from buffer.base on, those in front of `from` included where there are any; `from`
// and `to` are multiples of 4. Sets in `lineBreaks` the sectors that may hold a line break.
void FindShapeMarks(CarveBuffer buffer, std::uint64_t from, std::uint64_t to, ShapeMarks& marks,
                    LineBreakBits lineBreaks = {});

}  // namespace quillon
