// The lines right around a place a header block may begin at, as the walk up a block asks
// about them: the text in front of a place on its line, a field line or separator above, field
// lines below.
#pragma once

#include <cstddef>
#include <string_view>

#include "scan/source_bytes.h"

namespace quillon {

// Where the line that ends in the line feed in front of buffer index `lineStart` ends, its CR
// left out; kNoLineAbove where no line feed stands there.
inline constexpr std::size_t kNoLineAbove = static_cast<std::size_t>(-1);
inline std::size_t LineEndAbove(CarveBuffer buffer, std::size_t lineStart) {
  if (lineStart == 0 || buffer.data[lineStart - 1] != '\n') return kNoLineAbove;
  const std::size_t end = lineStart - 1;
  return end > 0 && buffer.data[end - 1] == '\r' ? end - 1 : end;
}

// The text of the line in front of `index`, from its start (a line feed, a byte that is no text,
// or kMaxHeaderLine back) up to `index`.
std::string_view TextBefore(CarveBuffer buffer, std::size_t index);

// Whether `count` field lines follow one another from buffer index `index` on.
bool FieldLinesFrom(CarveBuffer buffer, std::size_t index, int count);

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a header
// line or a fold of one, all of it text from `earliest` on.
bool HeaderLineAbove(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest);

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a mailbox
// separator: the mail behind it opens with whatever stands below, its line of blanks too.
bool SeparatorAbove(CarveBuffer buffer, std::size_t lineStart);

// Whether the line in front of buffer index `lineStart` is a field line, from its start (a line
// feed or a byte that is no text) or from a sector start inside it, where a file opens.
bool FieldLineAbove(CarveBuffer buffer, std::size_t lineStart);

}  // namespace quillon
