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

MailExtent MailRecord::Extent() const {
  std::lock_guard lock(bodyMutex_);
  return extent_;
}

void MailRecord::SetExtent(const MailExtent& extent) {
  std::lock_guard lock(bodyMutex_);
  extent_ = extent;
}

}  // namespace quillon
