#include "scan/scan_status.h"

#include <string>
#include <utility>

namespace quillon {

namespace {
std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}
}  // namespace

void ScanStatus::SetStatusText(std::u16string text) {
  std::lock_guard lock(textMutex_);
  statusText_ = std::move(text);
}

std::u16string ScanStatus::StatusText() const {
  std::lock_guard lock(textMutex_);
  return statusText_;
}

std::u16string FoundMailsText(int foundCount) {
  return Widen("Found " + std::to_string(foundCount) + " Mails");
}

std::u16string ComposeStatusText(int foundCount, std::uint64_t currentSector,
                                 std::uint64_t totalSectors) {
  return FoundMailsText(foundCount) + u"\r\n" +
         Widen("Processing " + std::to_string(currentSector) + " block, total " +
               std::to_string(totalSectors) + " blocks");
}

}  // namespace quillon
