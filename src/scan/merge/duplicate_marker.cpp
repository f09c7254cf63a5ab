#include "scan/merge/duplicate_marker.h"

#include <utility>

namespace quillon {

void DuplicateMarker::Mark(MailRecord& record, std::size_t index) {
  // A copy found by its trace line may have been read without the Message-ID above that line:
  // values alone then match it with a copy that has one, unless both have one and they differ.
  std::string values = record.from + '\n' + record.to + '\n' + record.date + '\n' + record.subject;
  const bool hasId = !record.messageId.empty();
  if (hasId) {
    auto [first, inserted] = firstById_.emplace(record.messageId, index);
    if (!inserted) {
      record.duplicateOf = static_cast<std::int64_t>(first->second);
      return;
    }
  }
  auto [first, inserted] = firstByValues_.emplace(std::move(values), FirstCopy{index, hasId});
  if (!inserted && (!hasId || !first->second.hasId))
    record.duplicateOf = static_cast<std::int64_t>(first->second.index);
}

}  // namespace quillon
