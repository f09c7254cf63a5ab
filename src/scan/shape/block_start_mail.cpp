// Whether a header block, seen with what stands in front of it, begins a mail of its own
// (block_context.h).
#include <string_view>

#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"
#include "scan/shape/block_context.h"
#include "scan/source_position.h"

namespace quillon {

namespace {

// The text of the line that ends right in front of buffer index `lineStart` (empty at the start
// of the buffer).
std::string_view LineBefore(CarveBuffer buffer, std::size_t lineStart) {
  if (lineStart == 0) return {};
  std::size_t contentEnd = lineStart - 1;  // the LF ending that line
  if (contentEnd > 0 && buffer.data[contentEnd - 1] == '\r') --contentEnd;
  std::size_t begin = contentEnd;
  while (begin > 0 && buffer.data[begin - 1] != '\n' && contentEnd - begin < kMaxHeaderLine)
    --begin;
  return {reinterpret_cast<const char*>(buffer.data + begin), contentEnd - begin};
}

bool BehindStoreBlockHeader(CarveBuffer buffer, std::size_t index) {
  if (index < kBlockHeaderSize) return false;
  const std::size_t header = index - kBlockHeaderSize;
  StoreBlockHeader block;
  return (buffer.base + header) % 4 == 0 &&
         ReadStoreBlockHeader(buffer.data + header, buffer.base + header, block);
}

// Where the run of empty lines that ends with the one at buffer index `emptyLine` begins: a file
// may open with a few of them, not only with one.
std::size_t FirstOfEmptyLines(CarveBuffer buffer, std::size_t emptyLine) {
  constexpr std::size_t kMostEmptyLines = 64;
  std::size_t first = emptyLine;
  for (std::size_t lines = 0; lines < kMostEmptyLines && first > 0; ++lines) {
    if (buffer.data[first - 1] != '\n') break;
    std::size_t above = first - 1;
    if (above > 0 && buffer.data[above - 1] == '\r') --above;
    // The line above holds text: the run ends here.
    if (above > 0 && buffer.data[above - 1] != '\n' && IsTextByte(buffer.data[above - 1])) break;
    first = above;
  }
  return first;
}

// Whether the empty line at buffer index `emptyLine`, with the empty lines right above it, opens
// a file: at the source's start, or behind a byte no text holds (but a store block header, whose
// chain decides). Where a sector start is all that stands in front, a body's empty line above a
// forwarded header looks the same, and the block's own marks decide as before.
bool EmptyLineOpensAFile(CarveBuffer buffer, std::size_t emptyLine) {
  emptyLine = FirstOfEmptyLines(buffer, emptyLine);
  if (emptyLine == 0) return buffer.base == 0;
  const std::uint8_t before = buffer.data[emptyLine - 1];
  return before != '\n' && !IsTextByte(before) && !BehindStoreBlockHeader(buffer, emptyLine);
}

}  // namespace

bool StartsAMail(CarveBuffer buffer, const BlockStart& start, bool hasTrace) {
  const std::uint64_t absolute = buffer.base + start.TextIndex();
  switch (start.context) {
    case Context::SourceStart:
      return true;
    case Context::MboxSeparator: {
      if (start.separatorOpensFile || start.separatorIndex == 0) return true;
      // An attached message saved from a mailbox keeps its separator line: behind an empty line
      // behind part headers it opens a part, where in a mailbox a body's last line stands.
      const std::size_t emptyLine = start.separatorIndex;
      if (emptyLine < 2 || buffer.data[emptyLine - 1] != '\n') return true;
      std::size_t emptyStart = emptyLine - 1;
      if (emptyStart > 0 && buffer.data[emptyStart - 1] == '\r') --emptyStart;
      if (emptyStart == 0 || buffer.data[emptyStart - 1] != '\n') return true;  // not empty
      const std::string_view previous = LineBefore(buffer, emptyStart);
      return HeaderNameLength(previous) == 0 && !IsContinuation(previous);
    }
    case Context::NonText:
      // Behind a store block header the chain decides, not the bytes that happen to follow:
      // the block's first line, or a line the file opens with in front of it.
      return !BehindStoreBlockHeader(buffer, start.index) &&
             !BehindStoreBlockHeader(buffer, start.TextIndex());
    case Context::MidLine:
    case Context::TextLine:
      // A file begins at a sector: what stands before it belongs to something else.
      return IsSectorStart(absolute);
    case Context::EmptyLine: {
      if (IsSectorStart(absolute) && hasTrace) return true;
      // A file may open with an empty line: behind zeros or binary bytes nothing of another
      // mail stands in front of it.
      if (EmptyLineOpensAFile(buffer, start.emptyLineIndex)) return true;
      // An attached message follows its part's headers; a forwarded one usually has no trace.
      if (!hasTrace) return false;
      if (start.emptyLineIndex == 0) return true;
      // Old text that ran up to a sector start without a line end of its own: the line end there
      // is the empty line the file opens with, and the trace line tells it from a body's.
      if (const std::uint8_t before = buffer.data[start.emptyLineIndex - 1];
          before != '\n' && IsTextByte(before))
        return IsSectorStart(buffer.base + start.emptyLineIndex);
      // The line in front of the empty line: part headers, or a header block whose body this
      // block would be, make it part of another mail.
      const std::string_view previous = LineBefore(buffer, start.emptyLineIndex);
      if (HeaderNameLength(previous) > 0 || IsContinuation(previous)) return false;
      // A digest's parts are messages behind a boundary line.
      if (previous.size() >= 2 && previous[0] == '-' && previous[1] == '-') return false;
      return true;
    }
    case Context::Glued:
      // Old data in slack stands in front of a file that overwrote the rest of it.
      return true;
    case Context::Header:
      return false;
  }
  return false;
}

bool TraceLineInsideAnotherMail(CarveBuffer buffer, std::uint64_t lineStart) {
  if (lineStart < buffer.base || lineStart >= buffer.base + buffer.size) return false;
  const std::size_t index = static_cast<std::size_t>(lineStart - buffer.base);
  const std::size_t earliest = index > kMaxShapeHeaderBlock ? index - kMaxShapeHeaderBlock : 0;
  return !StartsAMail(buffer, FindBlockStart(buffer, index, earliest), true);
}

}  // namespace quillon
