#include "scan/merge/mail_containment.h"

namespace quillon {

void MailContainment::NoteInside(const MailRecord* find, std::uint64_t earliestStart) {
  insideFinds_.emplace(find, earliestStart);
}

std::optional<std::size_t> MailContainment::IndexOf(const MailRecord* record) {
  if (record->foundIndex < 0) return std::nullopt;
  return static_cast<std::size_t>(record->foundIndex);
}

void MailContainment::Place(const MailRecordPtr& record, std::size_t index) {
  // Only the previous mail's extent changes here, never this one's.
  const MailExtent extent = record->Extent();
  // In a mailbox, a separator in a body would be escaped: a mail behind one is no part.
  if (extent.behindMailboxSeparator) record->container = nullptr;
  if (record->container) {
    if (const auto container = IndexOf(record->container))
      record->partOf = static_cast<std::int64_t>(*container);
  }
  if (auto inside = insideFinds_.find(record.get()); inside != insideFinds_.end()) {
    if (record->partOf < 0 && lastMail_ &&
        lastMail_->Extent().TextStartOr(lastMail_->StartByte()) >= inside->second)
      record->partOf = lastMail_->foundIndex;
    insideFinds_.erase(inside);
  }
  record->foundIndex = static_cast<std::int64_t>(index);
  // A mail that begins before an earlier multipart mail's closing boundary is one of its parts.
  const std::uint64_t at = record->StartByte();
  while (!containers_.empty() && containers_.back().end <= at) containers_.pop_back();
  if (record->partOf < 0 && !containers_.empty() && containers_.back().start < at &&
      !extent.behindMailboxSeparator)
    record->partOf = static_cast<std::int64_t>(containers_.back().index);
  // A mail's text ends where the next mail begins.
  if (record->partOf < 0) {
    const std::uint64_t begins = extent.TextStartOr(at);
    if (lastMail_) {
      MailExtent previous = lastMail_->Extent();
      const std::uint64_t previousStart = previous.TextStartOr(lastMail_->StartByte());
      if (begins > previousStart && !previous.inStore) {
        previous.nextMailStart = begins;
        lastMail_->SetExtent(previous);
      }
    }
    lastMail_ = record;
  }
  if (extent.multipartEnd > at)
    containers_.push_back({extent.TextStartOr(at), extent.multipartEnd, index});
}

}  // namespace quillon
