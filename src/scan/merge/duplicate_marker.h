// Marks later copies of one message as duplicates of the first. Two finds are the same message
// when they carry the same Message-ID, or else the same sender, recipients, date and subject.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "scan/mail_record.h"

namespace quillon {

class DuplicateMarker {
 public:
  // `record` is published at `index` of the found-mail list, after every earlier one; sets its
  // `duplicateOf` when an earlier copy was published.
  void Mark(MailRecord& record, std::size_t index);

 private:
  struct FirstCopy {
    std::size_t index;
    bool hasId;  // it was read with a Message-ID
  };
  std::unordered_map<std::string, std::size_t> firstById_;    // Message-ID -> index
  std::unordered_map<std::string, FirstCopy> firstByValues_;  // From, To, Date, Subject
};

}  // namespace quillon
