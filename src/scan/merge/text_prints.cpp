#include "scan/merge/text_prints.h"

#include <algorithm>
#include <string>

namespace quillon {

PrintBounds BoundsToPrint(const MailRecord& record, const MailExtent& extent) {
  const std::uint64_t found = record.StartByte();
  return record.ReadBody([&](const BodyFacts& body) { return BoundsToPrint(body, extent, found); });
}

PrintBounds BoundsToPrint(const BodyFacts& body, const MailExtent& extent, std::uint64_t found) {
  PrintBounds bounds;
  bounds.start = extent.TextStartOr(found);
  // Where the scan saw the mail end: the closing boundary of its multipart, the body's end.
  std::uint64_t end = body.closed ? body.textEnd : std::uint64_t{0};
  if (end <= bounds.start) end = extent.multipartEnd;
  if (end <= bounds.start) {
    // Else how far the scan followed it, which may be short of its end: mails may lie back to
    // back with no zeros between, and each would otherwise be read on through those behind it.
    end = body.closed ? body.followedEnd : std::uint64_t{0};
    bounds.open = true;
  }
  bounds.limit = bounds.start + (end > bounds.start ? kLongestPrintedText : kLongestUnendedText);
  if (end > bounds.start) bounds.limit = std::min(bounds.limit, end);
  return bounds;
}

TextPrint PrintTextAt(CarveBuffer buffer, std::uint64_t start, std::uint64_t limit) {
  TextPrint made;
  made.start = start;
  made.limit = limit;
  const auto index = static_cast<std::size_t>(start - buffer.base);
  std::string stepped;
  const MailText text =
      TextFrom(buffer, index, static_cast<std::size_t>(limit - buffer.base), stepped);
  made.hasText = text.data != nullptr;
  made.stepped = made.hasText && text.data != buffer.data + index;
  made.size = text.size;
  if (made.hasText) made.print = PrintOf(text);
  return made;
}

}  // namespace quillon
