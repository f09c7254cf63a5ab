#include "source/sector_ranges.h"

namespace quillon {

void AppendSectorRange(std::vector<SectorRange>& ranges, std::uint64_t first, std::uint64_t count) {
  if (count == 0) return;
  if (!ranges.empty() && first <= ranges.back().End()) {
    SectorRange& last = ranges.back();
    if (first + count > last.End()) last.count = first + count - last.first;
    return;
  }
  ranges.push_back({first, count});
}

std::uint64_t SectorCount(const std::vector<SectorRange>& ranges) {
  std::uint64_t total = 0;
  for (const SectorRange& range : ranges) total += range.count;
  return total;
}

std::string SectorRangesText(const std::vector<SectorRange>& ranges) {
  std::string text;
  for (const SectorRange& range : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(range.first);
    if (range.count > 1) text += '-' + std::to_string(range.End() - 1);
  }
  return text;
}

}  // namespace quillon
