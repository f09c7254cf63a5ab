#include "scan/mail_record.h"

#include <utility>

namespace quillon {

MailBody MailRecord::Body() const {
  std::lock_guard lock(bodyMutex_);
  return body_;
}

bool MailRecord::BodyClosed() const {
  std::lock_guard lock(bodyMutex_);
  return body_.closed;
}

void MailRecord::PublishBody(MailBody body) {
  std::lock_guard lock(bodyMutex_);
  body_ = std::move(body);
}

}  // namespace quillon
