// The records of the current scan in found order. Shared between the scan thread, which adds,
// and every reader; records are reference-counted so a reader's copy outlives Clear().
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "scan/mail_record.h"

namespace quillon {

class FoundMails {
 public:
  void Add(MailRecordPtr record);
  void Clear();
  std::size_t Count() const;
  MailRecordPtr At(std::size_t index) const;  // null when out of range
  std::vector<MailRecordPtr> Snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::vector<MailRecordPtr> records_;
};

}  // namespace quillon
