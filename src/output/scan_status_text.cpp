#include "output/scan_status_text.h"

namespace quillon {

namespace {
std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}
}  // namespace

std::u16string FoundMailsText(int foundCount) {
  return Widen("Found " + std::to_string(foundCount) + " Mails");
}

std::u16string ScanStatusText(const ScanProgress& progress) {
  return FoundMailsText(progress.foundCount) + u"\r\n" +
         Widen("Processing " + std::to_string(progress.currentSector) + " block, total " +
               std::to_string(progress.totalSectors) + " blocks");
}

}  // namespace quillon
