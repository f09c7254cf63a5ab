#include "scan/shape/shape_scanner.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/shape/block_context.h"
#include "scan/read/block_header.h"
#include "scan/body/body_steps.h"
#include "scan/lines/header_text.h"
#include "scan/read/unreadable_sectors.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// Zeros behind an assembled store message (see PadForReading).
constexpr std::size_t kCarveLookAheadForStore = 4096;
// How much a header block must look like a mail's own (see ParseBlock).
constexpr int kMinimumShapeScore = 4;
// Broken lines passed over inside one header block.
constexpr int kMaxMalformedLines = 8;
// A mail's text is not followed further than this while the scan looks for its end.
constexpr std::size_t kMaxFollowedText = kShapeLookAhead - 4096;

struct ParsedBlock {
  bool valid = false;
  std::size_t stoppedAt = 0;  // where reading the lines stopped
  std::size_t headerEnd = 0;
  bool endsWithoutEmptyLine = false;  // the body follows the last header line directly
  bool hasMimeVersion = false;
  bool lineFeedOnly = false;
  bool hasTrace = false;
  PendingMail headers;
};

// Whether one of the first lines behind `bodyStart` reads like a From, To, Cc, Date or Subject
// header line.
bool HeaderLinesFollow(CarveBuffer buffer, std::size_t bodyStart) {
  constexpr int kLinesLookedAt = 8;
  std::size_t position = bodyStart;
  for (int i = 0; i < kLinesLookedAt && position < buffer.size; ++i) {
    const Line line = ReadLine(buffer, position);
    const std::string_view text = TextOf(buffer, line);
    if (line.binary || IsMboxSeparator(text)) break;  // the text has ended; another may begin
    for (std::string_view name : {"From: ", "To: ", "Cc: ", "Date: ", "Subject: "}) {
      if (text.substr(0, name.size()) == name) return true;
    }
    if (!line.complete) break;
    position = line.next;
  }
  return false;
}

void StoreFirst(std::string& field, std::string_view value, bool& stored) {
  if (!stored) {
    field.assign(value.substr(0, kMaxUnfoldedValue));
    stored = true;
  }
}

// Reads the header lines from `start` to the empty line that ends them.
ParsedBlock ParseBlock(CarveBuffer buffer, std::size_t start) {
  ParsedBlock block;
  const std::size_t limit = std::min(buffer.size, start + kMaxShapeHeaderBlock);
  std::string* folding = nullptr;  // the value a continuation line extends
  bool seen[9] = {};
  enum Field { kFrom, kTo, kCc, kDate, kSubject, kMessageId, kContentType, kEncoding, kPriority };
  std::string contentType;
  std::size_t position = start;
  bool first = true;
  int malformedLines = 0;
  int repeated = 0;  // From, To, Cc, Date or Subject seen twice
  while (position < limit) {
    block.stoppedAt = position;
    const Line line = ReadLine(buffer, position);
    if (!line.complete || line.binary) return block;
    if (first) block.lineFeedOnly = line.lineFeedOnly;
    const std::string_view text = TextOf(buffer, line);
    if (text.empty()) {
      if (first) return block;
      block.headerEnd = line.next;
      break;
    }
    if (IsContinuation(text)) {
      if (first) return block;
      if (folding && folding->size() < kMaxUnfoldedValue) {
        *folding += ' ';
        *folding += TrimWhiteSpace(text);
      }
      position = line.next;
      continue;
    }
    const std::size_t nameLength = HeaderNameLength(text);
    if (nameLength == 0) {
      // Carved and hand-made mail has broken lines among its headers (an unfolded base64 tail,
      // a missing empty line). A few are passed over while header lines go on; otherwise the
      // body has begun without its empty line.
      if (first) return block;
      const Line after = ReadLine(buffer, line.next);
      const std::string_view afterText = TextOf(buffer, after);
      const bool brokenToken = text.find(' ') == std::string_view::npos;
      if (brokenToken && after.complete && !after.binary &&
          ++malformedLines <= kMaxMalformedLines &&
          (HeaderNameLength(afterText) > 0 || IsContinuation(afterText))) {
        folding = nullptr;
        position = line.next;
        continue;
      }
      block.headerEnd = position;
      block.endsWithoutEmptyLine = true;
      break;
    }
    first = false;
    const std::string_view name = text.substr(0, nameLength);
    const std::string_view value = TrimWhiteSpace(text.substr(nameLength + 1));
    folding = nullptr;
    PendingMail& h = block.headers;
    struct Known {
      std::string_view name;
      Field field;
      std::string* target;
    } known[] = {{"from", kFrom, &h.from},
                 {"to", kTo, &h.to},
                 {"cc", kCc, &h.cc},
                 {"date", kDate, &h.date},
                 {"subject", kSubject, &h.subject},
                 {"message-id", kMessageId, &h.messageId},
                 {"content-type", kContentType, &contentType},
                 {"content-transfer-encoding", kEncoding, &h.transferEncoding},
                 {"x-priority", kPriority, &h.priority}};
    for (Known& entry : known) {
      if (name.size() == entry.name.size() && StartsWithNoCase(name, entry.name)) {
        if (seen[entry.field] && entry.field <= kSubject) ++repeated;
        if (!seen[entry.field]) folding = entry.target;
        StoreFirst(*entry.target, value, seen[entry.field]);
        break;
      }
    }
    for (std::string_view trace : {"received", "return-path", "delivered-to", "x-uidl"}) {
      if (name.size() == trace.size() && StartsWithNoCase(name, trace)) block.hasTrace = true;
    }
    if (name.size() == 12 && StartsWithNoCase(name, "mime-version")) block.hasMimeVersion = true;
    position = line.next;
  }
  if (block.headerEnd == 0) return block;
  PendingMail& h = block.headers;
  if (!contentType.empty()) {
    const std::size_t at = FindNoCase(contentType, "boundary=");
    if (at == std::string::npos) {
      h.contentType = contentType;
    } else {
      h.boundary = BoundaryParameter(std::string_view(contentType).substr(at + 9));
      h.contentType = contentType.substr(0, at > 0 ? at - 1 : 0);
    }
  }
  // From and Date, and enough of what a mail's own header block carries besides: trace lines,
  // an identity, MIME, recipients, a subject, an address, a real date, an empty line after it.
  // Header-like lines in other text rarely have much of that and often repeat themselves.
  if (h.from.empty() || h.date.empty()) return block;
  int score = 0;
  if (block.hasTrace) score += 2;
  if (!h.messageId.empty()) score += 2;
  if (block.hasMimeVersion) score += 2;
  if (!h.to.empty() || !h.cc.empty()) score += 1;
  if (!h.subject.empty()) score += 1;
  if (h.from.find('@') != std::string::npos) score += 1;
  if (!block.endsWithoutEmptyLine) score += 1;
  score -= 2 * repeated;
  // Header lines that run straight into text are a mail only with the marks of a real one.
  if (block.endsWithoutEmptyLine && !block.hasTrace && h.messageId.empty() && !block.hasMimeVersion)
    return block;
  if (score == kMinimumShapeScore - 1) {
    // Only a real date can still tip the balance.
    std::string date = h.date;
    NormaliseDate(date);
    if (date != h.date) score += 1;
  }
  block.valid = score >= kMinimumShapeScore;
  // A block without trace lines or MIME and with little else is a mail only if its text is no
  // more of the same: notes and letters scatter such lines all through.
  constexpr int kScoreOfAWholeHeader = 6;
  if (block.valid && !block.hasTrace && !block.hasMimeVersion && score < kScoreOfAWholeHeader)
    block.valid = !HeaderLinesFollow(buffer, block.headerEnd);
  return block;
}

// Where a multipart mail ends: behind the line "--boundary--", or at a NUL before it (the zeros
// of sectors that could not be read do not count).
std::uint64_t MultipartEnd(CarveBuffer buffer, std::size_t bodyStart, const std::string& boundary) {
  if (boundary.empty() || bodyStart >= buffer.size) return 0;
  const std::string_view body(reinterpret_cast<const char*>(buffer.data + bodyStart),
                              buffer.size - bodyStart);
  const std::size_t readNul = FindReadNul(buffer, bodyStart, buffer.size);
  const std::size_t nul = readNul < buffer.size ? readNul - bodyStart : std::string_view::npos;
  const std::string closing = "\n--" + boundary + "--";
  std::size_t at = body.substr(0, nul).find(closing);
  // Cut short: a NUL close behind ends it (zeroed slack); otherwise no end is known.
  if (at == std::string_view::npos)
    return nul != std::string_view::npos && nul < kShapeLookAhead ? buffer.base + bodyStart + nul
                                                                  : 0;
  at += closing.size();
  const std::size_t lineEnd = body.find('\n', at);
  return buffer.base + bodyStart + (lineEnd == std::string_view::npos ? at : lineEnd + 1);
}

// Follows the mail's body from the end of its header block: collects its text and parts, and
// finds where it ends (a NUL, the closing boundary, binary bytes, an mbox separator, `limit`).
void FollowBody(CarveBuffer buffer, ShapeCandidate& candidate, std::size_t headerEnd,
                bool endsWithoutEmptyLine, std::size_t limit) {
  auto record = std::make_shared<MailRecord>();
  record->contentType = candidate.headers.contentType;
  record->boundary = candidate.headers.boundary;
  record->transferEncoding = candidate.headers.transferEncoding;
  BodySteps steps(record, HeaderEnd::EmptyLine);
  // A line the loop below lets through because a NUL cuts it may still be binary bytes.
  steps.EndTextAtForeignLines();
  const std::size_t emptyLine =
      endsWithoutEmptyLine ? headerEnd : headerEnd - (candidate.lineFeedOnly ? 1 : 2);
  limit = std::min({limit, buffer.size, headerEnd + kMaxFollowedText});

  // Only a NUL, binary bytes or the closing boundary tell where the mail ends; the next mail's
  // start, and a mailbox separator (which may be quoted text), are for the re-reader to weigh.
  std::size_t position = emptyLine;
  std::size_t end = 0;
  bool previousEmpty = true;
  while (position < limit) {
    const Line line = ReadLine(buffer, position);
    const std::string_view text = TextOf(buffer, line);
    if (position != emptyLine) {
      if (line.binary && steps.CollectingText() && !text.empty() &&
          std::memchr(text.data(), '\0', text.size()) == nullptr && !steps.AttachmentOpen() &&
          candidate.headers.boundary.empty()) {
        end = position;  // binary bytes: the text has stopped
        break;
      }
      if (previousEmpty && IsMboxSeparator(text) && line.complete && !steps.MultipartOpen()) break;
    }
    // The body steps read the line behind an empty line along with it, so a mailbox separator
    // there is looked for before they do.
    if (text.empty() && line.complete && position != emptyLine && !steps.MultipartOpen()) {
      const Line after = ReadLine(buffer, line.next);
      if (after.complete && IsMboxSeparator(TextOf(buffer, after))) break;
    }
    if (!steps.CollectingText()) break;  // behind the closing boundary: the re-reader's part
    std::size_t skip = 0;
    if (steps.AttachmentOpen() || !steps.ParsePartHeader(buffer, position, skip))
      steps.ParseBodyLine(buffer, position, skip);
    if (steps.HowEnded() != BodySteps::Ending::Open) {
      end = steps.EndIndex();
      break;
    }
    std::size_t resume = position + skip + 1;
    while (steps.ResumeAt() != 0) {
      // The line ran into sectors that could not be read: the mail goes on behind them.
      if (steps.ResumeAt() >= buffer.base + limit) break;
      resume = steps.ResumeBody(buffer, static_cast<std::size_t>(steps.ResumeAt() - buffer.base));
      resume = std::max<std::size_t>(resume, 1);
    }
    if (steps.ResumeAt() != 0) break;
    if (steps.HowEnded() != BodySteps::Ending::Open) {
      end = steps.EndIndex();
      break;
    }
    previousEmpty = text.empty();
    // Resume on the next line start at or behind where the steps stopped.
    const void* lf = resume <= limit && resume > 0
                         ? std::memchr(buffer.data + resume - 1, '\n', limit - resume + 1)
                         : nullptr;
    if (!lf) break;
    position = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - buffer.data) + 1;
  }
  steps.CloseMailBody();
  candidate.body = record->Body();
  candidate.body.textEnd = end > 0 ? buffer.base + end : 0;
}

// Puts zeros behind a store message's text, so that line readers stop there; returns the text's
// length.
std::size_t PadForReading(std::string& text) {
  const std::size_t length = text.size();
  text.append(kCarveLookAheadForStore, '\0');
  return length;
}

CarveBuffer TextBuffer(std::string& text) {
  return CarveBuffer{reinterpret_cast<std::uint8_t*>(text.data()), text.size(), 0};
}

// The length of the lines of nothing but blanks that `text` begins with.
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

}  // namespace

void ShapeScanner::Scan(CarveBuffer buffer, std::uint64_t from, std::uint64_t to,
                        const ShapeMarks& marks, ShapeFinds& finds) {
  std::vector<ShapeCandidate>& found = finds.candidates;
  if (to <= buffer.base || from >= to) return;
  const std::size_t first = from > buffer.base ? static_cast<std::size_t>(from - buffer.base) : 0;
  const std::size_t last = static_cast<std::size_t>(to - buffer.base);
  const std::size_t earliest = first > kShapeLookBehind ? first - kShapeLookBehind : 0;

  BlockStartMemo memo;  // the last anchor's walk, for the next anchor of the same block
  auto tryAnchor = [&](std::size_t anchor) {
    if (!IsAnchor(buffer, anchor) || buffer.base + anchor < coveredUntil_) return;
    const BlockStart start = FindBlockStart(buffer, anchor, earliest, memo);
    memo = {anchor, start};
    const std::uint64_t absolute = buffer.base + start.index;
    if (absolute < from || absolute >= to || absolute < coveredUntil_) return;
    // Behind a line of text, away from a sector start, no block begins a mail: most header-like
    // lines in prose end here, before their lines are read.
    if ((start.context == Context::MidLine || start.context == Context::TextLine) &&
        absolute % 512 != 0)
      return;
    // Inside another header line: the block it belongs to is reached from its own anchors.
    if (start.context == Context::Header) return;
    ParsedBlock block = ParseBlock(buffer, start.index);
    if (!block.valid) {
      // Its other anchors lead to the same lines: do not read them again.
      if (block.stoppedAt > anchor)
        coveredUntil_ = std::max(coveredUntil_, buffer.base + block.stoppedAt);
      return;
    }
    coveredUntil_ = buffer.base + block.headerEnd;
    if (!StartsAMail(buffer, start, block.hasTrace)) return;
    ShapeCandidate candidate;
    candidate.start = absolute;
    candidate.headerEnd = buffer.base + block.headerEnd;
    candidate.headers = std::move(block.headers);
    candidate.headers.startSector = absolute / 512;
    candidate.headers.sectorOffset = static_cast<std::uint16_t>(absolute % 512);
    candidate.lineFeedOnly = block.lineFeedOnly;
    candidate.endsWithoutEmptyLine = block.endsWithoutEmptyLine;
    candidate.behindMboxSeparator = start.context == Context::MboxSeparator;
    candidate.separatorOpensFile = start.separatorOpensFile;
    candidate.multipartEnd = MultipartEnd(buffer, block.headerEnd, candidate.headers.boundary);
    candidate.opensFile =
        start.context == Context::SourceStart || start.context == Context::NonText ||
        ((start.context == Context::MidLine || start.context == Context::TextLine) &&
         absolute % 512 == 0);
    found.push_back(std::move(candidate));
  };

  // A From line opens a line, or a sector where a file begins. Anchors are looked for a header
  // block's length beyond `to` too, for blocks that begin here and name their sender later.
  const std::size_t anchorsEnd = std::min(buffer.size, last + kMaxShapeHeaderBlock);
  const std::uint64_t anchorsEndAt = buffer.base + anchorsEnd;
  for (auto at = std::lower_bound(marks.anchors.begin(), marks.anchors.end(), from);
       at != marks.anchors.end() && *at < anchorsEndAt; ++at)
    tryAnchor(static_cast<std::size_t>(*at - buffer.base));
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
    ParsedBlock parsed = ParseBlock(TextBuffer(chain.text), lead);
    if (!parsed.valid) continue;
    if (!chain.complete) {
      chain = ReadStoreChain(readSource_, buffer.base + header,
                             kMaxShapeHeaderBlock + kShapeLookAhead / 2, inHand);
      textLength = PadForReading(chain.text);
    }
    const CarveBuffer assembled = TextBuffer(chain.text);
    ShapeCandidate candidate;
    candidate.start = buffer.base + data + lead;
    candidate.headers = std::move(parsed.headers);
    candidate.headers.startSector = candidate.start / 512;
    candidate.headers.sectorOffset = static_cast<std::uint16_t>(candidate.start % 512);
    candidate.lineFeedOnly = parsed.lineFeedOnly;
    candidate.endsWithoutEmptyLine = parsed.endsWithoutEmptyLine;
    candidate.inStore = true;
    candidate.storeBlock = buffer.base + header;
    // The stretches that hold the header block, for matching a trace find inside it; those
    // behind it, for telling a message attached to this one.
    std::size_t covered = 0;
    for (const auto& [offset, length] : chain.pieces) {
      if (covered >= parsed.headerEnd) break;
      ++candidate.headerPieces;
      covered += length;
    }
    candidate.tracePosition = TracePositionInChain(chain, parsed.headerEnd);
    candidate.pieces = std::move(chain.pieces);
    candidate.headerEnd = candidate.start + parsed.headerEnd - lead;  // a bound, not a place
    candidate.bodyStartInChain = parsed.headerEnd;
    // Where the walk will find the mail at its trace line, it follows the body itself.
    candidate.bodyAwaited = candidate.tracePosition != 0;
    if (!candidate.bodyAwaited)
      FollowBody(assembled, candidate, parsed.headerEnd, parsed.endsWithoutEmptyLine, textLength);
    candidate.body.textEnd = 0;  // a store mail ends with its chain
    finds.storeCandidates.push_back(std::move(candidate));
  }
}

void FollowStoreBody(const SourceBytesReader& read, ShapeCandidate& candidate) {
  if (!candidate.bodyAwaited) return;
  candidate.bodyAwaited = false;
  StoreChainText chain =
      ReadStoreChain(read, candidate.storeBlock, kMaxShapeHeaderBlock + kShapeLookAhead / 2);
  const std::size_t textLength = PadForReading(chain.text);
  if (candidate.bodyStartInChain > textLength) return;  // the chain reads shorter now
  FollowBody(TextBuffer(chain.text), candidate, candidate.bodyStartInChain,
             candidate.endsWithoutEmptyLine, textLength);
  candidate.body.textEnd = 0;
}

void FollowShapeBody(CarveBuffer buffer, ShapeCandidate& candidate, std::uint64_t limit) {
  if (candidate.start < buffer.base || candidate.headerEnd > buffer.base + buffer.size) return;
  const auto headerEnd = static_cast<std::size_t>(candidate.headerEnd - buffer.base);
  const std::size_t end =
      limit > buffer.base
          ? static_cast<std::size_t>(std::min<std::uint64_t>(limit - buffer.base, buffer.size))
          : buffer.size;
  FollowBody(buffer, candidate, headerEnd, candidate.endsWithoutEmptyLine, end);
}

}  // namespace quillon
