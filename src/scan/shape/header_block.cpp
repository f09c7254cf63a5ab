#include "scan/shape/header_block.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "scan/lines/line_reader.h"
#include "scan/shape/block_context.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// How much a header block must look like a mail's own (see ParseBlock).
constexpr int kMinimumShapeScore = 4;
// Broken lines passed over inside one header block.
constexpr int kMaxMalformedLines = 8;

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

constexpr std::size_t kHeaderFieldCount = header_fields::kPrefixes.size();

// Where a header block keeps a field's value; null for the fields that only mark the block.
std::string* ValueOf(HeaderField field, PendingMail& headers, std::string& contentType) {
  switch (field) {
    case HeaderField::From:
      return &headers.from;
    case HeaderField::To:
      return &headers.to;
    case HeaderField::Cc:
      return &headers.cc;
    case HeaderField::Date:
      return &headers.date;
    case HeaderField::Subject:
      return &headers.subject;
    case HeaderField::MessageId:
      return &headers.messageId;
    case HeaderField::ContentType:
      return &contentType;
    case HeaderField::TransferEncoding:
      return &headers.transferEncoding;
    case HeaderField::Priority:
      return &headers.priority;
    default:
      return nullptr;
  }
}

// From, To, Cc, Date and Subject: a block that repeats them is less likely a mail's own.
bool IsAddressingField(HeaderField field) {
  return field == HeaderField::From || field == HeaderField::To || field == HeaderField::Cc ||
         field == HeaderField::Date || field == HeaderField::Subject;
}

bool IsTraceField(HeaderField field) {
  return field == HeaderField::Received || field == HeaderField::ReturnPath ||
         field == HeaderField::DeliveredTo || field == HeaderField::Uidl;
}

void StoreFirst(std::string& field, std::string_view value, bool& stored) {
  if (!stored) {
    field.assign(value.substr(0, kMaxUnfoldedValue));
    stored = true;
  }
}

}  // namespace

ParsedBlock ParseBlock(CarveBuffer buffer, std::size_t start) {
  ParsedBlock block;
  const std::size_t limit = std::min(buffer.size, start + kMaxShapeHeaderBlock);
  std::string* folding = nullptr;  // the value a continuation line extends
  bool seen[kHeaderFieldCount] = {};
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
    const std::optional<HeaderField> field = FieldNamed(name);
    if (!field) {
      position = line.next;
      continue;
    }
    if (std::string* target = ValueOf(*field, block.headers, contentType)) {
      bool& fieldSeen = seen[static_cast<std::size_t>(*field)];
      if (fieldSeen && IsAddressingField(*field)) ++repeated;
      if (!fieldSeen) folding = target;
      StoreFirst(*target, value, fieldSeen);
    }
    block.hasTrace = block.hasTrace || IsTraceField(*field);
    block.hasMimeVersion = block.hasMimeVersion || *field == HeaderField::MimeVersion;
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

}  // namespace quillon
