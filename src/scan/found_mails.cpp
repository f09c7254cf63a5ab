#include "scan/found_mails.h"

#include <string>
#include <utility>

namespace quillon {

void FoundMails::Add(MailRecordPtr record) {
  record->ShrinkToFit();
  std::lock_guard lock(mutex_);
  // One scan reads one source: its name is kept once and shared by all its records, the one the
  // records were built with where they share one.
  const std::shared_ptr<const std::string>& own = record->SharedSourceName();
  if (!sourceName_ || own != sourceName_) {
    if (!sourceName_ || *sourceName_ != record->SourceName())
      sourceName_ = own ? own : std::make_shared<const std::string>();
    record->SetSourceName(sourceName_);
  }
  if (!textStore_) {
    textStore_ = textFolder_ ? std::make_shared<MailTextStore>(*textFolder_)
                             : MailTextStore::InTemporaryFolder();
  }
  record->KeepTextIn(textStore_);
  records_.push_back(std::move(record));
}

void FoundMails::Clear() {
  std::vector<MailRecordPtr> dropped;
  std::shared_ptr<MailTextStore> droppedStore;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(records_);
    droppedStore.swap(textStore_);
    sourceName_.reset();
  }
  // Records die outside the lock; readers holding a copy keep theirs alive.
}

std::size_t FoundMails::Count() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

MailRecordPtr FoundMails::At(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < records_.size() ? records_[index] : nullptr;
}

std::vector<MailRecordPtr> FoundMails::Snapshot() const {
  std::lock_guard lock(mutex_);
  return records_;
}

}  // namespace quillon
