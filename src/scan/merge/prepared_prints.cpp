#include "scan/merge/prepared_prints.h"

#include <algorithm>
#include <string>

namespace quillon {

namespace {

// Prints this far behind the newest ones are let go of: their mails are long decided, or their
// bounds were guessed wrong.
constexpr std::uint64_t kKeptBehind = 32 * 1024 * 1024;

}  // namespace

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

void PreparedPrints::Add(std::vector<TextPrint>&& prints) {
  if (prints.empty()) return;
  std::uint64_t newest = 0;
  for (TextPrint& print : prints) {
    newest = std::max(newest, print.start);
    const auto key = std::make_pair(print.start, print.limit);
    prints_.insert_or_assign(key, std::move(print));
  }
  if (newest > kKeptBehind)
    prints_.erase(prints_.begin(), prints_.lower_bound({newest - kKeptBehind, 0}));
}

std::optional<TextPrint> PreparedPrints::Take(std::uint64_t start, std::uint64_t limit) {
  const auto found = prints_.find({start, limit});
  if (found == prints_.end()) return std::nullopt;
  TextPrint print = std::move(found->second);
  prints_.erase(found);
  return print;
}

}  // namespace quillon
