#include "scan/carve/header_parser.h"

#include <string>
#include <string_view>
#include <utility>

#include "scan/lines/header_block_reader.h"
#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "text/ascii.h"

namespace quillon {

namespace {

constexpr std::string_view kContentType = LinePrefix(HeaderField::ContentType);

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

void StoreAttachmentLine(CarveBuffer buffer, std::size_t valueStart, PendingMail& pending) {
  LineRead value = ValueText(buffer.data, buffer.size, valueStart);
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
  HeaderBlockReader reader(bytes, kWalkHeaderRules);
  const HeaderLine line = reader.Look(position, pending.boundary);
  switch (line.kind) {
    case HeaderLineKind::Field: {
      if (!line.field) return HeaderLineResult::Nothing;
      if (*line.field == HeaderField::Attachment) {
        StoreAttachmentLine(reader.Bytes(), line.valueStart, pending);
        return HeaderLineResult::Nothing;
      }
      // Only the first occurrence of a field counts; one read as empty leaves room for the next.
      std::string* kept = KeptValueOf(*line.field, pending, pending.contentType);
      if (!kept || !kept->empty()) return HeaderLineResult::Nothing;
      HeaderValue value = reader.ReadValue(position, line);
      skip += value.end - position - 1;
      if (*line.field == HeaderField::ContentType)
        SetContentType(pending, value.text);
      else
        *kept = std::move(value.text);
      return HeaderLineResult::Stored;
    }
    case HeaderLineKind::Empty:
      return pending.HasRequiredHeaders() ? HeaderLineResult::Accept : HeaderLineResult::Nothing;
    case HeaderLineKind::Boundary:
      skip += pending.boundary.size() + 1;
      if (!pending.HasRequiredHeaders()) return HeaderLineResult::Nothing;
      NoteInnerBoundary(reader.Bytes(), position, pending);
      return HeaderLineResult::Accept;
    default:
      return HeaderLineResult::Nothing;
  }
}

}  // namespace quillon
