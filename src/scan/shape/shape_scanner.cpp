#include "scan/shape/shape_scanner.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/read/block_header.h"
#include "scan/shape/block_context.h"
#include "scan/shape/header_block.h"
#include "scan/shape/lines_around_block.h"
#include "scan/shape/shape_body.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// Where the walk would report the chain's mail if its blocks lay in order: at the last
// "Received: " line in front of the line by which From, To and Date have all been seen. An
// absolute position; 0 when there is no such line.
std::uint64_t TracePositionInChain(const StoreChainText& chain, std::size_t headerEnd) {
  const std::string_view text = std::string_view(chain.text).substr(0, headerEnd);
  std::size_t trace = std::string_view::npos;
  bool from = false, to = false, date = false;
  for (std::size_t line = 0; line < text.size() && !(from && to && date);) {
    const std::string_view rest = text.substr(line);
    if (StartsWithNoCase(rest, "Received: ")) trace = line;
    from = from || StartsWithNoCase(rest, "From: ");
    to = to || StartsWithNoCase(rest, "To: ");
    date = date || StartsWithNoCase(rest, "Date: ");
    const std::size_t next = text.find('\n', line);
    if (next == std::string_view::npos) break;
    line = next + 1;
  }
  if (trace == std::string_view::npos || !(from && to && date)) return 0;
  for (const auto& [offset, length] : chain.pieces) {
    if (trace < length) return offset + trace;
    trace -= length;
  }
  return 0;
}

// Every header block holds a From and a Date line, and at most one of them is its first line: a
// block whose first line follows no line break is still reached from the other.
bool IsAnchor(CarveBuffer buffer, std::size_t index) {
  if (index + 5 > buffer.size) return false;
  const std::uint8_t initial = buffer.data[index] | 0x20;
  if (initial != 'f' && initial != 'd') return false;  // most lines, quickly
  if (buffer.data[index + 4] != ':') return false;
  const std::string_view head(reinterpret_cast<const char*>(buffer.data + index), 5);
  return StartsWithNoCase(head, "from:") || StartsWithNoCase(head, "date:");
}

// The length of the UTF-8 byte-order mark right in front of buffer index `index`, or 0: a file
// that an export wrote with one opens with it, and so does the mail's text.
std::size_t ByteOrderMarkInFront(CarveBuffer buffer, std::size_t index) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (index < kMark.size()) return 0;
  return std::memcmp(buffer.data + index - kMark.size(), kMark.data(), kMark.size()) == 0
             ? kMark.size()
             : 0;
}

constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

// The first line start behind buffer index `at` (or at it), within a header line's length.
std::size_t LineStartFrom(CarveBuffer buffer, std::size_t at) {
  if (at == 0) return kNoLine;
  const std::size_t end = std::min(buffer.size, at - 1 + kMaxHeaderLine);
  const void* lineFeed = std::memchr(buffer.data + at - 1, '\n', end - (at - 1));
  if (lineFeed == nullptr) return kNoLine;
  return static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data) + 1;
}

// The line start behind `anchorsEnd` where a header block runs from the stretch's end
// (buffer index `last`) through `anchorsEnd`: the first whole line behind `last` and the line
// `anchorsEnd` lies in are field lines or folds. kNoLine where no block can run from one to the
// other (most data: the stretch ends in text, base64, binary bytes or between mails).
std::size_t LineGoingOnFromAnchorsEnd(CarveBuffer buffer, std::size_t last, std::size_t anchorsEnd,
                                      std::size_t earliest) {
  if (anchorsEnd >= buffer.size) return kNoLine;
  const std::size_t behindEnd = LineStartFrom(buffer, last);
  if (behindEnd == kNoLine || behindEnd >= anchorsEnd) return kNoLine;
  const std::size_t belowThat = LineStartFrom(buffer, behindEnd + 1);
  if (belowThat == kNoLine || !HeaderLineAbove(buffer, belowThat, earliest)) return kNoLine;
  const std::size_t beyond = LineStartFrom(buffer, anchorsEnd);
  if (beyond == kNoLine || !HeaderLineAbove(buffer, beyond, earliest)) return kNoLine;
  return beyond;
}

}  // namespace

std::size_t LeadingBlankLines(std::string_view text) {
  std::size_t lead = 0;
  while (true) {
    const std::size_t lineFeed = text.find('\n', lead);
    if (lineFeed == std::string_view::npos ||
        !TrimWhiteSpace(text.substr(lead, lineFeed - lead)).empty())
      return lead;
    lead = lineFeed + 1;
  }
}

ShapeCandidate StoreCandidate(ParsedBlock parsed, std::uint64_t start, std::size_t lead,
                              std::uint64_t storeBlock,
                              std::vector<std::pair<std::uint64_t, std::size_t>> pieces) {
  ShapeCandidate candidate;
  candidate.start = start;
  candidate.headers = std::move(parsed.headers);
  candidate.headers.startSector = SectorPositionOf(start).sector;
  candidate.headers.sectorOffset = SectorPositionOf(start).offset;
  candidate.lineFeedOnly = parsed.lineFeedOnly;
  candidate.endsWithoutEmptyLine = parsed.endsWithoutEmptyLine;
  candidate.inStore = true;
  candidate.storeBlock = storeBlock;
  // The stretches that hold the header block, for matching a trace find inside it; those
  // behind it, for telling a message attached to this one.
  std::size_t covered = 0;
  for (const auto& [offset, length] : pieces) {
    if (covered >= parsed.headerEnd) break;
    ++candidate.headerPieces;
    covered += length;
  }
  candidate.pieces = std::move(pieces);
  candidate.headerEnd = start + parsed.headerEnd - lead;  // a bound, not a place
  candidate.bodyStartInChain = parsed.headerEnd;
  return candidate;
}

void ShapeScanner::Scan(CarveBuffer buffer, std::uint64_t from, std::uint64_t to,
                        const ShapeMarks& marks, ShapeFinds& finds) {
  std::vector<ShapeCandidate>& found = finds.candidates;
  if (to <= buffer.base || from >= to) return;
  const std::size_t first = from > buffer.base ? static_cast<std::size_t>(from - buffer.base) : 0;
  const std::size_t last = static_cast<std::size_t>(to - buffer.base);
  const std::size_t earliest = first > kShapeLookBehind ? first - kShapeLookBehind : 0;

  BlockStartMemo memo;  // the last anchor's walk, for the next anchor of the same block
  // Reads the block the line at buffer index `line` belongs to, from its first line.
  auto tryBlockOf = [&](std::size_t line) {
    if (buffer.base + line < coveredUntil_) return;
    BlockStart start = FindBlockStart(buffer, line, earliest, memo);
    memo = {line, start};
    start.openingBlanks += ByteOrderMarkInFront(buffer, start.TextIndex());
    const std::uint64_t absolute = buffer.base + start.TextIndex();
    if (absolute < from || absolute >= to || absolute < coveredUntil_) return;
    // Behind a line of text, away from a sector start, no block begins a mail: most header-like
    // lines in prose end here, before their lines are read.
    if ((start.context == Context::MidLine || start.context == Context::TextLine) &&
        !IsSectorStart(absolute))
      return;
    // Inside another header line: the block it belongs to is reached from its own anchors.
    if (start.context == Context::Header) return;
    ParsedBlock block = ParseBlock(buffer, start.index);
    if (!block.valid) {
      // Its other anchors lead to the same lines: do not read them again.
      if (block.stoppedAt > line)
        coveredUntil_ = std::max(coveredUntil_, buffer.base + block.stoppedAt);
      return;
    }
    coveredUntil_ = buffer.base + block.headerEnd;
    if (!StartsAMail(buffer, start, block.hasTrace)) return;
    // A field name glued into prose or markup opens a mail only with a real mail's marks: a
    // trace line, an identity, MIME (many programs write a Content-Type without its version),
    // or the name of the program that wrote it (a plain mail a script sends has no other).
    if (start.context == Context::Glued && !block.hasTrace && !block.hasMimeVersion &&
        !block.hasContentType && block.headers.messageId.empty() &&
        !NamesItsMailProgram(buffer, start.index, block.headerEnd))
      return;
    ShapeCandidate candidate;
    candidate.start = absolute;
    candidate.headerEnd = buffer.base + block.headerEnd;
    candidate.headers = std::move(block.headers);
    candidate.headers.startSector = SectorPositionOf(absolute).sector;
    candidate.headers.sectorOffset = SectorPositionOf(absolute).offset;
    candidate.lineFeedOnly = block.lineFeedOnly;
    candidate.endsWithoutEmptyLine = block.endsWithoutEmptyLine;
    candidate.behindMboxSeparator = start.context == Context::MboxSeparator;
    candidate.separatorOpensFile = start.separatorOpensFile;
    candidate.multipartEnd =
        MultipartEnd(buffer, block.headerEnd, candidate.headers.boundary, multipartEnds_);
    candidate.opensFile =
        start.context == Context::SourceStart || start.context == Context::NonText ||
        start.context == Context::Glued ||
        ((start.context == Context::MidLine || start.context == Context::TextLine) &&
         IsSectorStart(absolute));
    found.push_back(std::move(candidate));
  };
  auto tryAnchor = [&](std::size_t anchor) {
    if (IsAnchor(buffer, anchor)) tryBlockOf(anchor);
  };

  // A From line opens a line, or a sector where a file begins. Anchors are looked for a header
  // block's length beyond `to` too, for blocks that begin here and name their sender later.
  const std::size_t anchorsEnd = std::min(buffer.size, last + kMaxShapeHeaderBlock);
  const std::uint64_t anchorsEndAt = buffer.base + anchorsEnd;
  for (auto at = std::lower_bound(marks.anchors.begin(), marks.anchors.end(), from);
       at != marks.anchors.end() && *at < anchorsEndAt; ++at)
    tryAnchor(static_cast<std::size_t>(*at - buffer.base));
  // A block that begins here and is still going where the anchors end was read on past the
  // usual length for want of From or Date: those may lie further on than any anchor looked at.
  // It is entered from the line it runs through there instead; the anchors beyond are left to
  // the stretches behind, so that data without such a block pays for two lines alone.
  if (const std::size_t line = LineGoingOnFromAnchorsEnd(buffer, last, anchorsEnd, earliest);
      line != kNoLine)
    tryBlockOf(line);
  ScanStoreBlocks(buffer, first, last, marks, finds);
}

void ShapeScanner::ScanStoreBlocks(CarveBuffer buffer, std::size_t first, std::size_t last,
                                   const ShapeMarks& marks, ShapeFinds& finds) {
  // A chain's blocks are taken from the bytes in hand where they lie there, else from the
  // source.
  const BytesInHand inHand{buffer.data, buffer.base, buffer.size};
  for (auto at = std::lower_bound(marks.sizeFields.begin(), marks.sizeFields.end(),
                                  buffer.base + first + 4);
       at != marks.sizeFields.end() && *at < buffer.base + last + 4; ++at) {
    const auto header = static_cast<std::size_t>(*at - buffer.base - 4);
    if (header + kBlockHeaderSize + 1 > buffer.size) continue;
    StoreBlockHeader block;
    if (!ReadStoreBlockHeader(buffer.data + header, buffer.base + header, block)) continue;
    const std::uint64_t base = buffer.base + header - block.self;
    if (block.next != 0) finds.storeTargets.push_back(base + block.next);
    const std::uint64_t areaStart = buffer.base + header;
    const std::uint64_t areaEnd = areaStart + kBlockHeaderSize + block.size;
    if (!finds.storeAreas.empty() && finds.storeAreas.back().second >= areaStart)
      finds.storeAreas.back().second = std::max(finds.storeAreas.back().second, areaEnd);
    else
      finds.storeAreas.emplace_back(areaStart, areaEnd);
    // A message's first block begins with its first header line.
    const std::size_t data = header + kBlockHeaderSize;
    const std::string_view firstBlock(reinterpret_cast<const char*>(buffer.data + data),
                                      std::min<std::size_t>(block.used, buffer.size - data));
    // Some messages open with a line of blanks; the header block begins below it.
    const std::size_t lead = LeadingBlankLines(firstBlock);
    if (!readSource_ || HeaderNameLength(firstBlock.substr(lead)) == 0) continue;

    // The header block first; the rest of the chain only for a mail.
    StoreChainText chain =
        ReadStoreChain(readSource_, buffer.base + header, kMaxShapeHeaderBlock, inHand);
    std::size_t textLength = PadForReading(chain.text);
    // The zeros padded behind a chain read in part are no end of its text: a line that runs
    // into them runs on.
    const auto parseChain = [&] {
      CarveBuffer text = TextBuffer(chain.text);
      if (!chain.complete) text.size = textLength;
      return ParseBlock(text, lead);
    };
    ParsedBlock parsed = parseChain();
    std::size_t reach = kMaxShapeHeaderBlock + kShapeLookAhead / 2;
    // A block whose lines ran on to the end of the bytes read (a subject folded over thousands
    // of lines) is read again from as much of the chain as a long block may fill.
    if (!parsed.valid && !chain.complete && parsed.headerEnd == 0 &&
        parsed.stoppedAt + kMaxHeaderLine >= textLength) {
      reach = kMaxLongHeaderBlock + kShapeLookAhead / 2;
      chain = ReadStoreChain(readSource_, buffer.base + header, reach, inHand);
      textLength = PadForReading(chain.text);
      parsed = parseChain();
    }
    if (!parsed.valid) continue;
    if (!chain.complete && textLength < reach) {
      chain = ReadStoreChain(readSource_, buffer.base + header, reach, inHand);
      textLength = PadForReading(chain.text);
    }
    const CarveBuffer assembled = TextBuffer(chain.text);
    const std::uint64_t tracePosition = TracePositionInChain(chain, parsed.headerEnd);
    const std::size_t headerEnd = parsed.headerEnd;
    const bool endsWithoutEmptyLine = parsed.endsWithoutEmptyLine;
    ShapeCandidate candidate = StoreCandidate(std::move(parsed), buffer.base + data + lead, lead,
                                              buffer.base + header, std::move(chain.pieces));
    candidate.tracePosition = tracePosition;
    // Where the walk will find the mail at its trace line, it follows the body itself.
    candidate.bodyAwaited = candidate.tracePosition != 0;
    if (!candidate.bodyAwaited)
      FollowBody(assembled, candidate, headerEnd, endsWithoutEmptyLine, textLength, ansiCodePage_);
    candidate.body.textEnd = 0;  // a store mail ends with its chain
    finds.storeCandidates.push_back(std::move(candidate));
  }
}

}  // namespace quillon
