#include "scan/scan_status.h"

#include <utility>

namespace quillon {

void ScanStatus::SetStatusText(std::u16string text) {
  std::lock_guard lock(textMutex_);
  statusText_ = std::move(text);
}

std::u16string ScanStatus::StatusText() const {
  std::lock_guard lock(textMutex_);
  return statusText_;
}

}  // namespace quillon
