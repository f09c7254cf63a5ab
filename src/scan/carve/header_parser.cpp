#include "scan/carve/header_parser.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "scan/lines/line_reader.h"
#include "scan/read/block_header.h"
#include "text/ascii.h"
#include "text/encoded_words.h"

namespace quillon {

namespace {

constexpr std::string_view kSubject = LinePrefix(HeaderField::Subject);
constexpr std::string_view kFrom = LinePrefix(HeaderField::From);
constexpr std::string_view kTo = LinePrefix(HeaderField::To);
constexpr std::string_view kDate = LinePrefix(HeaderField::Date);
constexpr std::string_view kPriority = LinePrefix(HeaderField::Priority);
constexpr std::string_view kContentType = LinePrefix(HeaderField::ContentType);
constexpr std::string_view kTransferEncoding = LinePrefix(HeaderField::TransferEncoding);
constexpr std::string_view kCc = LinePrefix(HeaderField::Cc);
constexpr std::string_view kMessageId = LinePrefix(HeaderField::MessageId);
constexpr std::string_view kAttachment = LinePrefix(HeaderField::Attachment);

bool LineStartsWith(CarveBuffer buffer, std::size_t position, std::string_view name) {
  if (position > buffer.size || buffer.size - position < name.size()) return false;
  return StartsWithNoCase(
      std::string_view(reinterpret_cast<const char*>(buffer.data + position), name.size()), name);
}

// Enough bytes to hold a continuation line behind its white space and a block header.
constexpr std::size_t kFoldWindow =
    2 * (kMaxLineValue + 1) + kHeaderSearchSpan + 2 * kBlockHeaderSize;

bool IsFoldingWhiteSpace(std::uint8_t c) {
  return c == ' ' || c == '\t';
}

bool IsCrLfAt(CarveBuffer buffer, std::size_t position) {
  return position + 1 < buffer.size && buffer.data[position] == '\r' &&
         buffer.data[position + 1] == '\n';
}

struct FoldedValue {
  std::string text;
  std::size_t end = 0;  // index of the byte that stopped the last joined line
};

// Copies the `size` bytes at index `from` of the walk's bytes as a line that begins there reads
// them: the block header it runs into left out. Returns the header's index in the bytes, or
// kNoBlockHeader.
std::size_t CopyLineWindow(CarveBuffer buffer, std::size_t from, std::uint8_t* window,
                           std::size_t& size) {
  std::memcpy(window, buffer.data + from, size);
  const std::size_t header = FindBlockHeaderAhead(window, size, 0, buffer.PositionOf(from));
  if (header == kNoBlockHeader) return kNoBlockHeader;
  std::memmove(window + header, window + header + kBlockHeaderSize,
               size - header - kBlockHeaderSize);
  size -= kBlockHeaderSize;
  return from + header;
}

// The value starting `valueOffset` bytes into the line at `lineStart`: its first physical line
// read as the header readers do, then every following line that begins with a blank or tab,
// joined with one blank. A joined line steps over the block header it runs into, as the walk
// would; `lineStart` is then the line's index in the new bytes.
FoldedValue ReadFoldedValue(SteppedBytes& bytes, std::size_t& lineStart, std::size_t valueOffset) {
  FoldedValue value;
  CarveBuffer buffer = bytes.Bytes();
  const std::size_t valueStart = lineStart + valueOffset;
  LineRead first = ValueText(buffer.data, buffer.size, valueStart);
  if (!first.found) {
    value.end = valueStart;  // longer than a line may be: stored as empty
    return value;
  }
  value.text = std::move(first.text);
  value.end = first.stop;
  while (IsCrLfAt(buffer, value.end)) {
    std::size_t next = value.end + 2;
    if (next >= buffer.size || !IsFoldingWhiteSpace(buffer.data[next])) break;
    // Decide on a copy: a line that is not joined is the walk's to read.
    std::size_t windowSize = std::min<std::size_t>(buffer.size - next, kFoldWindow);
    std::uint8_t window[kFoldWindow];
    const std::size_t header = CopyLineWindow(buffer, next, window, windowSize);
    std::size_t textStart = 0;
    while (textStart < windowSize && textStart < kMaxLineValue &&
           IsFoldingWhiteSpace(window[textStart]))
      ++textStart;
    LineRead continuation = ContinuationText(window, windowSize, textStart);
    if (!continuation.found || continuation.stop > kMaxLineValue) break;
    if (value.text.size() + 1 + continuation.text.size() > kMaxUnfoldedValue) break;
    if (header != kNoBlockHeader) {
      const std::size_t moved = bytes.StepOver(lineStart, header);
      next = next - lineStart + moved;
      lineStart = moved;
      buffer = bytes.Bytes();
    }
    if (value.text.empty())
      value.text = std::move(continuation.text);
    else
      value.text += ' ' + continuation.text;
    value.end = next + continuation.stop;
  }
  return value;
}

// Stores a header value read from the line at `position` and returns Stored.
HeaderLineResult StoreFolded(SteppedBytes& bytes, std::size_t& position, std::string_view name,
                             std::string& field, std::size_t& skip) {
  FoldedValue value = ReadFoldedValue(bytes, position, name.size());
  field = std::move(value.text);
  skip += value.end - position - 1;
  return HeaderLineResult::Stored;
}

HeaderLineResult StoreLine(CarveBuffer buffer, std::size_t position, std::string_view name,
                           std::string& field, std::size_t& skip) {
  LineRead value = ValueText(buffer.data, buffer.size, position + name.size());
  field = std::move(value.text);
  skip += field.size() + name.size() - 1;
  return HeaderLineResult::Stored;
}

void StoreContentType(SteppedBytes& bytes, std::size_t& position, PendingMail& pending,
                      std::size_t& skip) {
  FoldedValue value = ReadFoldedValue(bytes, position, kContentType.size());
  skip += value.end - position - 1;
  const std::size_t at = FindNoCase(value.text, "boundary=");
  if (at == std::string::npos) {
    pending.contentType = std::move(value.text);
    return;
  }
  pending.boundary = BoundaryParameter(std::string_view(value.text).substr(at + 9));
  // The one character before the parameter (a blank or ';' separator) goes with it.
  pending.contentType = value.text.substr(0, at > 0 ? at - 1 : 0);
}

long LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    if (value < 1000000000L) value = value * 10 + (text[i] - '0');
  }
  return any ? value : 0;
}

void StoreAttachmentLine(CarveBuffer buffer, std::size_t position, PendingMail& pending) {
  LineRead value = ValueText(buffer.data, buffer.size, position + kAttachment.size());
  const std::size_t comma = value.text.find(',');
  if (comma == std::string::npos || comma == 0) return;
  PartEntry entry;
  entry.name = value.text.substr(0, comma);
  // "report.doc, 12345" and "report.doc,12345" alike: the blanks after the comma are skipped,
  // never a digit.
  entry.size = LeadingNumber(std::string_view(value.text).substr(comma + 1));
  if (entry.name.empty() || entry.size <= 0) return;
  pending.attachments.push_back(std::move(entry));
}

// At a boundary line of a complete header block: note the boundary of a multipart that the
// first part opens, so the body steps know it.
void NoteInnerBoundary(CarveBuffer buffer, std::size_t position, PendingMail& pending) {
  const std::size_t nextLine = position + 2 + pending.boundary.size() + 2;
  LineRead next = ValueText(buffer.data, buffer.size, nextLine);
  if (!next.found || next.text.rfind("Content-Type: multipart", 0) != 0) return;
  std::string_view rest = std::string_view(next.text).substr(kContentType.size());
  if (const std::size_t at = FindNoCase(rest, "boundary="); at != std::string_view::npos) {
    pending.innerBoundary = BoundaryParameter(rest.substr(at + 9));
    return;
  }
  LineRead after = ValueText(buffer.data, buffer.size, next.stop + 2 + 1);
  if (after.found && StartsWithNoCase(after.text, "boundary="))
    pending.innerBoundary = BoundaryParameter(std::string_view(after.text).substr(9));
}

}  // namespace

HeaderLineResult ParseHeaderLine(SteppedBytes& bytes, std::size_t& position, PendingMail& pending,
                                 std::size_t& skip) {
  const CarveBuffer buffer = bytes.Bytes();
  if (position >= buffer.size) return HeaderLineResult::Nothing;
  if (pending.from.empty() && LineStartsWith(buffer, position, kFrom))
    return StoreFolded(bytes, position, kFrom, pending.from, skip);
  if (pending.to.empty() && LineStartsWith(buffer, position, kTo))
    return StoreFolded(bytes, position, kTo, pending.to, skip);
  if (pending.subject.empty() && LineStartsWith(buffer, position, kSubject))
    return StoreFolded(bytes, position, kSubject, pending.subject, skip);
  if (pending.date.empty() && LineStartsWith(buffer, position, kDate))
    return StoreLine(buffer, position, kDate, pending.date, skip);
  if (pending.priority.empty() && LineStartsWith(buffer, position, kPriority))
    return StoreLine(buffer, position, kPriority, pending.priority, skip);
  if (pending.contentType.empty() && LineStartsWith(buffer, position, kContentType)) {
    StoreContentType(bytes, position, pending, skip);
    return HeaderLineResult::Stored;
  }
  if (pending.transferEncoding.empty() && LineStartsWith(buffer, position, kTransferEncoding))
    return StoreLine(buffer, position, kTransferEncoding, pending.transferEncoding, skip);
  if (pending.cc.empty() && LineStartsWith(buffer, position, kCc))
    return StoreFolded(bytes, position, kCc, pending.cc, skip);
  if (pending.messageId.empty() && LineStartsWith(buffer, position, kMessageId))
    return StoreLine(buffer, position, kMessageId, pending.messageId, skip);

  if (IsCrLfAt(buffer, position)) {
    if (pending.HasRequiredHeaders()) return HeaderLineResult::Accept;
  } else if (!pending.boundary.empty() &&
             BoundaryLineOf(
                 std::string_view(reinterpret_cast<const char*>(buffer.data + position),
                                  std::min(buffer.size - position, 2 + pending.boundary.size())),
                 pending.boundary, false) != BoundaryLine::None) {
    skip += pending.boundary.size() + 1;
    if (pending.HasRequiredHeaders()) {
      NoteInnerBoundary(buffer, position, pending);
      return HeaderLineResult::Accept;
    }
  }

  if (LineStartsWith(buffer, position, kAttachment)) StoreAttachmentLine(buffer, position, pending);
  return HeaderLineResult::Nothing;
}

}  // namespace quillon
