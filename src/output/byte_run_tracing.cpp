#include "output/byte_run_tracing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr std::size_t kCompareBytes = 1 << 16;

class RunList {
 public:
  void AddSource(std::uint64_t fileOffset, std::uint64_t imageOffset, std::uint64_t length) {
    if (!runs_.empty()) {
      ByteRun& last = runs_.back();
      if (!last.fill && last.fileOffset + last.length == fileOffset &&
          last.imageOffset + last.length == imageOffset) {
        last.length += length;
        return;
      }
    }
    runs_.push_back({fileOffset, imageOffset, length, false, 0});
  }

  // Fill runs for text[from, to), one per stretch of equal bytes.
  void AddFill(std::string_view text, std::uint64_t from, std::uint64_t to) {
    for (std::uint64_t at = from; at < to;) {
      const char value = text[at];
      std::uint64_t end = at + 1;
      while (end < to && text[end] == value) ++end;
      const auto byte = static_cast<std::uint8_t>(value);
      ByteRun* last = runs_.empty() ? nullptr : &runs_.back();
      if (last && last->fill && last->fillByte == byte && last->fileOffset + last->length == at)
        last->length += end - at;
      else
        runs_.push_back({at, 0, end - at, true, byte});
      at = end;
    }
  }

  std::vector<ByteRun> Take() { return std::move(runs_); }

 private:
  std::vector<ByteRun> runs_;
};

// Compares text[textOffset, +length) with the source's bytes from sourceOffset on, read into
// `bytes` (kCompareBytes long).
void TraceReadable(std::string_view text, std::uint64_t textOffset, std::uint64_t sourceOffset,
                   std::uint64_t length, DataSource& source, std::vector<char>& bytes,
                   RunList& runs) {
  const std::uint64_t sourceEnd = source.SizeBytes();
  for (std::uint64_t done = 0; done < length;) {
    const std::uint64_t at = sourceOffset + done;
    std::uint64_t count = std::min<std::uint64_t>(length - done, kCompareBytes);
    // Bytes past the source's end (a zero-padded last sector) are not the source's.
    const std::uint64_t held = at < sourceEnd ? std::min(count, sourceEnd - at) : 0;
    if (held == 0 || !source.ReadBytes(at, static_cast<std::size_t>(held), bytes.data())) {
      runs.AddFill(text, textOffset + done, textOffset + done + count);
      done += count;
      continue;
    }
    count = held;
    const char* saved = text.data() + textOffset + done;
    // Nearly every saved byte is the source's own: one comparison settles the whole stretch.
    if (std::memcmp(bytes.data(), saved, count) == 0) {
      runs.AddSource(textOffset + done, at, count);
      done += count;
      continue;
    }
    for (std::uint64_t i = 0; i < count;) {
      std::uint64_t same = i;
      while (same < count && bytes[same] == saved[same]) ++same;
      if (same > i) runs.AddSource(textOffset + done + i, at + i, same - i);
      std::uint64_t differ = same;
      while (differ < count && bytes[differ] != saved[differ]) ++differ;
      if (differ > same) runs.AddFill(text, textOffset + done + same, textOffset + done + differ);
      i = differ;
    }
    done += count;
  }
}

}  // namespace

std::vector<ByteRun> TraceByteRuns(std::string_view text, const TextOrigin& origin,
                                   DataSource& source) {
  RunList runs;
  std::vector<char> bytes(kCompareBytes);
  std::uint64_t covered = 0;
  for (const TextPiece& piece : origin.pieces) {
    if (piece.textOffset != covered || piece.textOffset >= text.size()) break;
    const std::uint64_t pieceEnd =
        std::min<std::uint64_t>(piece.textOffset + piece.length, text.size());
    // The unreadable stretches are not read again: a failing disk pays for each try.
    std::uint64_t at = piece.textOffset;
    for (const auto& [from, to] : origin.unreadable) {
      const std::uint64_t first = std::max(from, at);
      const std::uint64_t last = std::min(to, pieceEnd);
      if (first >= last) continue;
      TraceReadable(text, at, piece.sourceOffset + (at - piece.textOffset), first - at, source,
                    bytes, runs);
      runs.AddFill(text, first, last);
      at = last;
    }
    TraceReadable(text, at, piece.sourceOffset + (at - piece.textOffset), pieceEnd - at, source,
                  bytes, runs);
    covered = pieceEnd;
  }
  // Text the origin does not place (none is expected) still has runs that give it back.
  runs.AddFill(text, covered, text.size());
  return runs.Take();
}

}  // namespace quillon
