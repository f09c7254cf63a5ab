// Which published mail is a part of which: an attached or quoted message belongs to the mail
// around it, and a mail's text ends where the next mail of its own begins. Mails are placed in
// the order they are published.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "scan/mail_record.h"

namespace quillon {

class MailContainment {
 public:
  // `find` has no header block of its own and lies inside another mail's body, which can begin
  // no earlier than `earliestStart`: it is a part of the last mail of its own, if that began
  // there or later.
  void NoteInside(const MailRecord* find, std::uint64_t earliestStart);

  // Sets `record.partOf` (from its container, a note above, or an open multipart mail it begins
  // in) and the previous mail's `nextMailStart`; `index` is its place in the found-mail list.
  void Place(const MailRecordPtr& record, std::size_t index);

  // The place of a mail placed so far (its foundIndex).
  static std::optional<std::size_t> IndexOf(const MailRecord* record);

 private:
  std::unordered_map<const MailRecord*, std::uint64_t> insideFinds_;
  struct OpenContainer {
    std::uint64_t start;
    std::uint64_t end;
    std::size_t index;
  };
  std::vector<OpenContainer> containers_;  // multipart mails around the publishing position
  MailRecordPtr lastMail_;                 // the last mail placed that is no part of another
};

}  // namespace quillon
