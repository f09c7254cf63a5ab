// Runs of sectors, such as the sectors of a source that could not be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The sectors [first, first + count).
struct SectorRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;

  std::uint64_t End() const { return first + count; }
  bool operator==(const SectorRange&) const = default;
};

// Appends [first, first + count) to `ranges`, which stay ascending and merged: a range that
// touches or overlaps the last one is joined to it. Ranges must come in ascending order.
void AppendSectorRange(std::vector<SectorRange>& ranges, std::uint64_t first, std::uint64_t count);

// The number of sectors the ranges hold.
std::uint64_t SectorCount(const std::vector<SectorRange>& ranges);

// "1000-1127, 5000": each range as its first and last sector, or one sector alone.
std::string SectorRangesText(const std::vector<SectorRange>& ranges);

}  // namespace quillon
