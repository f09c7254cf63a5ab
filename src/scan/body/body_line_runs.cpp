// The runs of lines the body steps take at once (see TakeLineRun in body_steps.h).
#include <algorithm>
#include <cstring>

#include "scan/body/body_steps.h"
#include "scan/body/text_line_run.h"
#include "scan/find/line_runs.h"
#include "scan/lines/line_scan.h"
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

// How far past the bytes asked about the search for a mark byte runs on, where a walk keeps what
// it saw: the runs and lines behind are answered from that.
constexpr std::size_t kMarkFreeLookAhead = 4096;

// Whether [from, to) holds no mark byte (02). `markFree`, where given, answers from what earlier
// searches saw and keeps what this one sees.
bool FreeOfMarkByte(CarveBuffer buffer, std::size_t from, std::size_t to, MarkFreeBytes* markFree) {
  const std::uint8_t* begin = buffer.data + from;
  const std::uint8_t* end = buffer.data + to;
  if (!markFree) return !std::memchr(begin, 0x02, to - from);
  if (begin >= markFree->from && end <= markFree->to) return true;
  // The free bytes run on from where this search starts: it starts behind them.
  const bool goesOn = begin >= markFree->from && begin <= markFree->to;
  const std::uint8_t* searchFrom = goesOn ? markFree->to : begin;
  const std::uint8_t* reach = buffer.data + std::min(buffer.size, to + kMarkFreeLookAhead);
  const void* found = std::memchr(searchFrom, 0x02, static_cast<std::size_t>(reach - searchFrom));
  const auto* mark = found ? static_cast<const std::uint8_t*>(found) : reach;
  *markFree = {goesOn ? markFree->from : begin, mark};
  return mark >= end;
}

// Hands back the lines from the first whose reach holds a store block header: the walk steps
// over the header at that line. A line further than the reach from the run's end reaches only
// bytes of the run, and a header's size field (02 00 00) is no byte of a run's lines.
LineRun KeepClearOfBlockHeaders(CarveBuffer buffer, std::size_t begin, LineRun run,
                                MarkFreeBytes* markFree) {
  if (run.lines == 0) return run;
  const std::size_t tail = run.end - std::min(run.end - begin, kBlockHeaderReach);
  std::size_t start = tail == begin ? begin : NextLineStart(buffer, tail - 1, run.end);
  // Every byte any of the tail's lines would look at for a header's mark lies before this; most
  // runs have none of the mark's 02 bytes there, and need no line's search.
  const std::size_t reach = std::min(buffer.size, run.end + kBlockHeaderReach);
  if (start >= reach || FreeOfMarkByte(buffer, start, reach, markFree)) return run;
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

// Where a run that stopped at `emptyLine` may go on: behind that empty line and the line behind
// it, which the steps read along with it (the walk never presents that line as a line start), when
// that line tells nothing: text of at least one byte ended by CR LF before `end`, no boundary,
// no mailbox separator (a line from "F" on is left to the steps), no control byte, not even a tab.
// 0 when the run stops there.
std::size_t BehindLineAfterEmpty(CarveBuffer buffer, std::size_t emptyLine, std::size_t end) {
  const std::size_t start = emptyLine + 2;
  if (start >= end || buffer.data[emptyLine] != '\r' || buffer.data[emptyLine + 1] != '\n')
    return 0;
  const std::uint8_t first = buffer.data[start];
  if (first == '-' || first == 'F') return 0;
  const void* found = std::memchr(buffer.data + start, '\r', std::min(end - start, kMaxBodyLine));
  if (!found) return 0;
  const auto lineEnd =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - buffer.data);
  if (lineEnd == start || lineEnd + 1 >= end || buffer.data[lineEnd + 1] != '\n' ||
      MayHoldNonText(buffer.data + start, lineEnd - start))
    return 0;
  return lineEnd + 2;
}

// Whether `at` is the start of the line behind an empty line: no run may stop there.
bool BehindAnEmptyLine(CarveBuffer buffer, std::size_t begin, std::size_t at) {
  return at >= begin + 4 && buffer.data[at - 4] == '\r' && buffer.data[at - 3] == '\n' &&
         buffer.data[at - 2] == '\r' && buffer.data[at - 1] == '\n';
}

}  // namespace

std::size_t BodySteps::TakeLineRun(CarveBuffer buffer, std::size_t position, std::size_t limit,
                                   bool traceLinesMatter, MarkFreeBytes* markFree) {
  if (AttachmentOpen() && part_.base64)
    return TakeAttachmentLines(buffer, position, limit, markFree);
  // Once the text has ended outside any multipart, the walk follows on only for a NUL, and the
  // lines up to the next trace line tell it nothing: its run goes on past an empty line too, up
  // to the limit the walk gives (its own end: a run never reaches into bytes another chunk's
  // walk owns).
  const bool textOver = traceLinesMatter && TextOver();
  // Behind an empty line a mailbox separator may end the text: the steps read that line. (In an
  // attachment no line ends the text.)
  if (phase_ != Phase::Body || (previousEmpty_ && !AttachmentOpen() && !textOver)) return position;
  // Most lines the walk asks about begin where no run can: say so without the search.
  if (position >= limit || position >= buffer.size ||
      !MayBeginARun(buffer.data[position], traceLinesMatter))
    return position;
  const std::size_t end = std::min(limit, buffer.size);
  const std::string_view notFirst = traceLinesMatter ? kNotFirstInARun : kNotFirstInAShapeRun;
  LineRun run = TakeTextLineRun(buffer.data, end, position, kMaxBodyLine, notFirst);
  // Prose breaks into paragraphs: the walk's run goes on over an empty line and the line behind
  // it where they tell nothing. (The shape scan's following looks at the line behind that pair.)
  while (traceLinesMatter && run.lines > 0) {
    const std::size_t behind = BehindLineAfterEmpty(buffer, run.end, end);
    if (behind == 0) break;
    const LineRun more = TakeTextLineRun(buffer.data, end, behind, kMaxBodyLine, notFirst);
    run = {more.end, run.lines + 2 + more.lines};
  }
  run = KeepClearOfBlockHeaders(buffer, position, run, markFree);
  if (run.lines > 0 && BehindAnEmptyLine(buffer, position, run.end)) run = {run.end - 2, 1};
  if (run.lines == 0 || run.end == position) return position;
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
                                           std::size_t limit, MarkFreeBytes* markFree) {
  if (!AttachmentOpen() || !part_.base64) return position;
  const LineRun run = KeepClearOfBlockHeaders(
      buffer, position,
      TakeBase64Lines(buffer.data, std::min(limit, buffer.size), position, kMaxBodyLine, 0),
      markFree);
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
