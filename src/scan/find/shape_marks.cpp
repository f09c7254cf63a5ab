#include "scan/find/shape_marks.h"

#include "scan/find/byte_patterns.h"

namespace quillon {

void FindShapeMarks(CarveBuffer buffer, std::uint64_t from, std::uint64_t to, ShapeMarks& marks,
                    LineBreakBits lineBreaks) {
  if (from < buffer.base || to > buffer.base + buffer.size || from >= to) return;
  const auto begin = static_cast<std::size_t>(from - buffer.base);
  const auto end = static_cast<std::size_t>(to - buffer.base);
  // Every anchor has its colon four bytes on; the colons in this stretch are looked for (an
  // anchor just in front of it is this stretch's too). A From line opens a line, or a sector
  // where a file begins. Block headers lie on 4-byte boundaries (so no size field spans two
  // sectors); their size field is where to look.
  FindMarkPositions(buffer.data, begin, end, buffer.base, marks.anchors, marks.sizeFields,
                    lineBreaks);
}

}  // namespace quillon
