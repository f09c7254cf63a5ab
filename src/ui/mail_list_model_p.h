// Private to the mail list model: what a row needs of a mail's body, read once.
#pragma once

#include <QString>
#include <cstdint>

#include "scan/mail_record.h"

namespace quillon {

struct MailBodyFacts {
  bool hasAttachments = false;
  QString attachmentNames;  // joined with ", "
  std::int64_t size = 0;    // MailSizeOf
};

// Reads the body once, in place under its lock.
MailBodyFacts ReadBodyFacts(const MailRecord& record);

}  // namespace quillon
