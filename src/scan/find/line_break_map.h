// Which sectors of a stretch may hold a line break, a CR LF pair whose CR lies there. The walk
// finds mails only at line starts, so it passes over the other sectors without reading them:
// random bytes hold a CR LF about once in 64 KiB, zeros never. The map is found along with the
// shape marks while the bytes are fresh from reading, and with it the sectors that may hold a
// NUL and those that may hold a dash: the searches for where a multipart mail ends at the latest
// (its first NUL read, its closing "--boundary--" line) read only those.
#pragma once

#include <cstdint>
#include <vector>

namespace quillon {

// A bit per sector from firstSector on: bit (s - firstSector) % 64 of
// words[(s - firstSector) / 64] stands for sector s. Searches set bits, never clear them.
struct SectorBits {
  std::uint64_t firstSector = 0;
  std::uint64_t* words = nullptr;
  std::uint64_t sectorCount = 0;

  void Set(std::uint64_t sector) const {
    if (sector < firstSector || sector - firstSector >= sectorCount) return;
    const std::uint64_t index = sector - firstSector;
    words[index / 64] |= std::uint64_t{1} << (index % 64);
  }
};

// What a search sets: the sectors that may hold a line break, and those that may hold one whose
// next line begins with 'R' or 'r' (where a "Received: " line may begin); and those that may hold
// a NUL; and those that may hold a '-' (base64 holds none: the lines that begin with "--" are
// looked for only in the others).
struct LineBreakBits {
  SectorBits any;
  SectorBits beforeR;
  SectorBits nuls;
  SectorBits dashes;
};

class LineBreakMap {
 public:
  LineBreakMap() = default;
  // A map of the sectors from absolute byte `start` (a sector start) on, `bytes` long, with no
  // sector marked yet.
  LineBreakMap(std::uint64_t start, std::uint64_t bytes);

  LineBreakBits Bits() {
    return LineBreakBits{
        SectorBits{first_, any_.data(), sectors_}, SectorBits{first_, beforeR_.data(), sectors_},
        SectorBits{first_, nuls_.data(), sectors_}, SectorBits{first_, dashes_.data(), sectors_}};
  }

  // The sectors of the map, and one bit per sector for those that may hold a NUL, and for those
  // that may hold a dash (as in SectorBits), once the search has set them.
  std::uint64_t FirstSector() const { return first_; }
  std::uint64_t SectorCount() const { return sectors_; }
  const std::vector<std::uint64_t>& NulWords() const { return nuls_; }
  const std::vector<std::uint64_t>& DashWords() const { return dashes_; }

  // The first absolute byte in [at, end) whose sector may hold a line break (bytes the map does
  // not cover may); `end` when there is none. With `traceLinesOnly`, only line breaks before an
  // 'R' or 'r' count.
  std::uint64_t NextPossible(std::uint64_t at, std::uint64_t end, bool traceLinesOnly) const;
  // The end of the run of sectors from `at` on that may hold one, at most `end`.
  std::uint64_t PossibleRunEnd(std::uint64_t at, std::uint64_t end, bool traceLinesOnly) const;

 private:
  bool Possible(std::uint64_t sector, const std::vector<std::uint64_t>& words) const;

  std::uint64_t first_ = 0;  // the first sector
  std::uint64_t sectors_ = 0;
  std::vector<std::uint64_t> any_;
  std::vector<std::uint64_t> beforeR_;
  std::vector<std::uint64_t> nuls_;
  std::vector<std::uint64_t> dashes_;
};

}  // namespace quillon
