#include "scan/shape/lines_around_block.h"

#include "scan/lines/line_reader.h"
#include "scan/lines/line_scan.h"
#include "scan/source_position.h"

namespace quillon {

// The text of the line in front of `index`, from its start (a line feed, a byte that is no text,
// or kMaxHeaderLine back) up to `index`.
std::string_view TextBefore(CarveBuffer buffer, std::size_t index) {
  std::size_t begin = index;
  while (begin > 0 && index - begin < kMaxHeaderLine && buffer.data[begin - 1] != '\n' &&
         IsTextByte(buffer.data[begin - 1]))
    --begin;
  return {reinterpret_cast<const char*>(buffer.data + begin), index - begin};
}

// Whether `count` field lines follow one another from buffer index `index` on.
bool FieldLinesFrom(CarveBuffer buffer, std::size_t index, int count) {
  for (int i = 0; i < count; ++i) {
    if (index >= buffer.size) return false;
    const Line line = ReadLine(buffer, index);
    if (!line.complete || line.binary || HeaderNameLength(TextOf(buffer, line)) == 0) return false;
    index = line.next;
  }
  return true;
}

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a header
// line or a fold of one, all of it text from `earliest` on.
bool HeaderLineAbove(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest) {
  const std::size_t end = LineEndAbove(buffer, lineStart);
  if (end == kNoLineAbove) return false;
  // A line of text at most kMaxHeaderLine bytes long, behind a line feed or the buffer's start.
  const std::size_t stop = LastLineStop(buffer.data, end - std::min(end, kMaxHeaderLine + 1), end);
  if (stop == kNoLineStop ? end > kMaxHeaderLine : buffer.data[stop] != '\n') return false;
  const std::size_t begin = stop == kNoLineStop ? 0 : stop + 1;
  if (begin < earliest || begin == end) return false;
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  return HeaderNameLength(line) > 0 || IsContinuation(line);
}

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a mailbox
// separator: the mail behind it opens with whatever stands below, its line of blanks too.
bool SeparatorAbove(CarveBuffer buffer, std::size_t lineStart) {
  const std::size_t end = LineEndAbove(buffer, lineStart);
  if (end == kNoLineAbove) return false;
  std::size_t begin = end;
  while (begin > 0 && buffer.data[begin - 1] != '\n' && end - begin < kMaxHeaderLine) --begin;
  return IsMboxSeparator({reinterpret_cast<const char*>(buffer.data + begin), end - begin});
}

// Whether the line in front of buffer index `lineStart` is a field line, from its start (a line
// feed or a byte that is no text) or from a sector start inside it, where a file opens.
bool FieldLineAbove(CarveBuffer buffer, std::size_t lineStart) {
  const std::size_t end = LineEndAbove(buffer, lineStart);
  if (end == kNoLineAbove) return false;
  const std::string_view line = TextBefore(buffer, end);
  if (line.empty()) return false;  // an empty line: the mailbox's own separator above a message
  if (HeaderNameLength(line) > 0) return true;
  const std::size_t begin = end - line.size();
  for (std::size_t sector =
           static_cast<std::size_t>(SectorStartFrom(buffer.base + begin + 1) - buffer.base);
       sector < end; sector += kSectorSize) {
    if (HeaderNameLength(line.substr(sector - begin)) > 0) return true;
  }
  return false;
}

}  // namespace quillon
