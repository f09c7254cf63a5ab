#include "scan/found_mails.h"

#include <utility>

namespace quillon {

void FoundMails::Add(MailRecordPtr record) {
  std::lock_guard lock(mutex_);
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
