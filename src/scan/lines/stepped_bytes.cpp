#include "scan/lines/stepped_bytes.h"

#include <algorithm>
#include <cstring>

#include "scan/lines/header_text.h"
#include "scan/read/block_header.h"

namespace quillon {

namespace {

// The longest line a reader takes at once (a body line of 32 KiB and its line end).
constexpr std::size_t kLongestLine = 32 * 1024 + 2;
// What a header line's reader looks at behind a line start besides the lines themselves: a
// value of 512 bytes, the block header search, and the most of them, a continuation's window
// (two values, the search and two headers: 1,248 bytes).
constexpr std::size_t kReadingWindow = 1280;

}  // namespace

void SteppedBytes::Attach(CarveBuffer chunk, std::uint64_t from) {
  chunk_ = chunk;
  chunk_.pieces = nullptr;
  while (!leftOut_.empty() && leftOut_.front().second <= from) leftOut_.erase(leftOut_.begin());
  if (leftOut_.empty()) {
    copy_.clear();
    return;
  }
  start_ = std::max(from, chunk.base);
  Copy();
}

std::size_t SteppedBytes::StepOver(std::size_t lineStart, std::size_t header) {
  const CarveBuffer bytes = Bytes();
  // The 16 bytes are contiguous in the source unless they straddle a header left out already.
  for (std::size_t i = header; i < header + kBlockHeaderSize; ++i) {
    const std::uint64_t position = bytes.PositionOf(i);
    auto stretch = std::find_if(leftOut_.begin(), leftOut_.end(),
                                [&](const auto& s) { return s.second == position; });
    if (stretch != leftOut_.end()) {
      stretch->second = position + 1;
      continue;
    }
    stretch = std::find_if(leftOut_.begin(), leftOut_.end(),
                           [&](const auto& s) { return s.first > position; });
    leftOut_.insert(stretch, {position, position + 1});
  }
  start_ = bytes.PositionOf(lineStart);
  while (!leftOut_.empty() && leftOut_.front().second <= start_) leftOut_.erase(leftOut_.begin());
  Copy();
  return 0;
}

std::size_t SteppedBytes::Seek(std::uint64_t position) {
  if (Stepping() && position >= leftOut_.back().second) {
    leftOut_.clear();
    copy_.clear();
  }
  return IndexOf(position);
}

std::size_t SteppedBytes::IndexOf(std::uint64_t position) const {
  if (!Stepping())
    return position > chunk_.base ? static_cast<std::size_t>(position - chunk_.base) : 0;
  for (std::size_t i = pieces_.pieces.size(); i-- > 0;) {
    const SourcePieces::Piece& piece = pieces_.pieces[i];
    if (position < piece.position) continue;
    const std::size_t next =
        i + 1 < pieces_.pieces.size() ? pieces_.pieces[i + 1].index : copy_.size();
    return std::min(next, piece.index + static_cast<std::size_t>(position - piece.position));
  }
  return 0;
}

void SteppedBytes::Copy() {
  copy_.clear();
  pieces_.pieces.clear();
  std::uint64_t at = start_;
  for (const auto& [from, to] : leftOut_) {
    Append(at, from);
    at = std::max(at, to);
  }
  Append(at, TailEnd(at));
  // Nothing of the chunk is left to read ahead: the chunk serves as it is.
  if (copy_.empty()) leftOut_.clear();
}

void SteppedBytes::Append(std::uint64_t from, std::uint64_t to) {
  from = std::max(from, chunk_.base);
  to = std::min(to, chunk_.base + chunk_.size);
  if (from >= to) return;
  pieces_.pieces.push_back({copy_.size(), from});
  const std::uint8_t* begin = chunk_.data + (from - chunk_.base);
  copy_.insert(copy_.end(), begin, begin + (to - from));
}

// Reads that begin in front of the last header left out may reach this far behind it: the rest
// of the line it stands in, the continuation lines of a folded value, two more lines (what the
// header parser reads behind a boundary line, the body steps behind an empty one), and a header
// line's reading window.
std::uint64_t SteppedBytes::TailEnd(std::uint64_t from) const {
  const std::size_t size = chunk_.size;
  if (from >= chunk_.base + size) return from;
  auto lineEnd = [&](std::size_t begin) {
    const std::size_t limit = std::min(size, begin + kLongestLine);
    if (begin >= limit) return limit;
    const void* lineFeed = std::memchr(chunk_.data + begin, '\n', limit - begin);
    return lineFeed ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) -
                                               chunk_.data) +
                          1
                    : limit;
  };
  std::size_t at = lineEnd(static_cast<std::size_t>(from - chunk_.base));
  for (std::size_t folded = 0; at < size && folded <= kMaxUnfoldedValue &&
                               (chunk_.data[at] == ' ' || chunk_.data[at] == '\t');) {
    const std::size_t next = lineEnd(at);
    folded += next - at;
    at = next;
  }
  at = lineEnd(lineEnd(at));
  return chunk_.base + std::min(size, at + kReadingWindow);
}

}  // namespace quillon
