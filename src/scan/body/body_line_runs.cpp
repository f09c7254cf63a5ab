// The runs of lines the body steps take at once (see TakeLineRun in body_steps.h).
#include <algorithm>
#include <cstring>

#include "scan/body/body_steps.h"
#include "scan/find/line_runs.h"
#include "scan/read/block_header.h"

namespace quillon {

namespace {

// A line start within this reach of a block header is one the walk steps over the header at.
constexpr std::size_t kBlockHeaderReach = kHeaderSearchSpan + kBlockHeaderSize;

std::size_t NextLineStart(CarveBuffer buffer, std::size_t from, std::size_t end) {
  const void* lineFeed = std::memchr(buffer.data + from, '\n', end - from);
  return lineFeed
             ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data) +
                   1
             : end;
}

// Hands back the lines from the first whose reach holds a store block header: the walk steps
// over the header at that line. A line further than the reach from the run's end reaches only
// bytes of the run, and a header's size field (02 00 00) is no byte of a run's lines.
LineRun KeepClearOfBlockHeaders(CarveBuffer buffer, std::size_t begin, LineRun run) {
  if (run.lines == 0) return run;
  const std::size_t tail = run.end - std::min(run.end - begin, kBlockHeaderReach);
  std::size_t start = tail == begin ? begin : NextLineStart(buffer, tail - 1, run.end);
  // Every byte any of the tail's lines would look at for a header's mark lies before this; most
  // runs have none of the mark's 02 bytes there, and need no line's search.
  const std::size_t reach = std::min(buffer.size, run.end + kBlockHeaderReach);
  if (start >= reach || !std::memchr(buffer.data + start, 0x02, reach - start)) return run;
  for (; start < run.end; start = NextLineStart(buffer, start, run.end)) {
    if (FindBlockHeaderAhead(buffer.data, buffer.size, start, buffer.PositionOf(start)) ==
        kNoBlockHeader)
      continue;
    const auto dropped = static_cast<std::size_t>(
        std::count(buffer.data + start, buffer.data + run.end, std::uint8_t{'\n'}));
    return {start, run.lines - dropped};
  }
  return run;
}

// The bytes no run of text lines begins with: the end of an empty line, a boundary's dash and,
// for the walk, the first letter of a trace line, which it must see itself.
constexpr std::string_view kNotFirstInARun = "-Rr";
constexpr std::string_view kNotFirstInAShapeRun = "-";

bool MayBeginARun(std::uint8_t first, bool traceLinesMatter) {
  return first != '\r' && first != '-' && (!traceLinesMatter || (first | 0x20) != 'r');
}

}  // namespace

std::size_t BodySteps::TakeLineRun(CarveBuffer buffer, std::size_t position, std::size_t limit,
                                   bool traceLinesMatter) {
  if (AttachmentOpen() && part_.base64) return TakeAttachmentLines(buffer, position, limit);
  // Behind an empty line a mailbox separator may end the text: the steps read that line. (In an
  // attachment no line ends the text.)
  if (phase_ != Phase::Body || (previousEmpty_ && !AttachmentOpen())) return position;
  // Most lines the walk asks about begin where no run can: say so without the search.
  if (position >= limit || position >= buffer.size ||
      !MayBeginARun(buffer.data[position], traceLinesMatter))
    return position;
  const LineRun run = KeepClearOfBlockHeaders(
      buffer, position,
      TakeTextLines(buffer.data, std::min(limit, buffer.size), position, kMaxBodyLine, 0,
                    traceLinesMatter ? kNotFirstInARun : kNotFirstInAShapeRun));
  if (run.lines == 0) return position;
  if (!textEnded_) {
    // As AppendBodyLine line by line: the lines joined by their CR LF, behind a CR LF unless
    // they are the part's first.
    const bool first = part_.rawBytes == 0;
    part_.rawBytes += static_cast<std::int64_t>(run.end - position);
    if (TextPart* text = TextTarget(); text && text->text.size() < kMaxBodyText) {
      MakeRoom(text->text, run.end - position);
      if (!first) text->text += "\r\n";
      const std::size_t room = kMaxBodyText - std::min(kMaxBodyText, text->text.size());
      text->text.append(reinterpret_cast<const char*>(buffer.data + position),
                        std::min(run.end - 2 - position, room));
      if (text->text.size() > kMaxBodyText) text->text.resize(kMaxBodyText);
    }
  }
  followedEnd_ = std::max(followedEnd_, buffer.PositionOf(run.end - 2));
  previousEmpty_ = false;
  return run.end;
}

std::size_t BodySteps::TakeAttachmentLines(CarveBuffer buffer, std::size_t position,
                                           std::size_t limit) {
  if (!AttachmentOpen() || !part_.base64) return position;
  const LineRun run = KeepClearOfBlockHeaders(
      buffer, position,
      TakeBase64Lines(buffer.data, std::min(limit, buffer.size), position, kMaxBodyLine, 0));
  if (run.lines == 0) return position;
  if (!textEnded_) {
    const auto bytes = static_cast<std::int64_t>(run.end - position);
    part_.rawBytes += bytes;  // each line with its CR LF, as AppendBodyLine counts it
    part_.base64Characters += bytes - 2 * static_cast<std::int64_t>(run.lines);
  }
  followedEnd_ = std::max(followedEnd_, buffer.PositionOf(run.end - 2));
  previousEmpty_ = false;
  return run.end;
}

}  // namespace quillon
