#include "scan/find/line_break_map.h"

#include <algorithm>
#include <bit>

#include "scan/source_position.h"

namespace quillon {

namespace {
constexpr std::uint64_t kSector = kSectorSize;
}

LineBreakMap::LineBreakMap(std::uint64_t start, std::uint64_t bytes)
    : first_(start / kSector),
      sectors_((bytes + kSector - 1) / kSector),
      any_(static_cast<std::size_t>((sectors_ + 63) / 64), 0),
      beforeR_(any_.size(), 0),
      nuls_(any_.size(), 0),
      dashes_(any_.size(), 0) {}

bool LineBreakMap::Possible(std::uint64_t sector, const std::vector<std::uint64_t>& words) const {
  if (sector < first_ || sector - first_ >= sectors_) return true;
  const std::uint64_t index = sector - first_;
  return (words[static_cast<std::size_t>(index / 64)] >> (index % 64)) & 1;
}

std::uint64_t LineBreakMap::NextPossible(std::uint64_t at, std::uint64_t end,
                                         bool traceLinesOnly) const {
  const std::vector<std::uint64_t>& words = traceLinesOnly ? beforeR_ : any_;
  std::uint64_t sector = at / kSector;
  if (at >= end || Possible(sector, words)) return std::min(at, end);
  // Word by word through the marked sectors behind it.
  std::uint64_t index = sector - first_ + 1;
  while (index < sectors_) {
    const std::uint64_t word = words[static_cast<std::size_t>(index / 64)] >> (index % 64);
    if (word != 0) {
      index += static_cast<std::uint64_t>(std::countr_zero(word));
      break;
    }
    index = (index / 64 + 1) * 64;
  }
  return std::min(end, (first_ + std::min(index, sectors_)) * kSector);
}

std::uint64_t LineBreakMap::PossibleRunEnd(std::uint64_t at, std::uint64_t end,
                                           bool traceLinesOnly) const {
  const std::vector<std::uint64_t>& words = traceLinesOnly ? beforeR_ : any_;
  std::uint64_t sector = at / kSector;
  // Word by word: the sectors of an attachment's base64 lines each hold one.
  while (sector * kSector < end) {
    if (sector < first_ || sector - first_ >= sectors_) return end;  // beyond the map: all may
    const std::uint64_t index = sector - first_;
    const unsigned shift = index % 64;
    const auto run = static_cast<unsigned>(std::countr_one(words[index / 64] >> shift));
    sector += run;
    // Short of the word's end, a sector the map has not marked ends the run (past the map's last
    // sector the bits are clear, and there all may).
    if (run < 64 - shift && sector - first_ < sectors_) break;
  }
  return std::min(end, sector * kSector);
}

}  // namespace quillon
