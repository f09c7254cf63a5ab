#include "source/rescue_reader.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

// As many as one ReadBytes call takes.
constexpr std::uint64_t kMaxRescuedSectors = 0x7FFFFF;

bool Stopped(const std::atomic<bool>* stop) {
  return stop && stop->load(std::memory_order_relaxed);
}

}  // namespace

RescueReader::RescueReader(DataSource& source, std::uint32_t pieceSectors)
    : source_(source), pieceSectors_(std::max<std::uint32_t>(pieceSectors, 1)) {}

bool RescueReader::ReadRun(std::uint8_t* at, std::uint64_t sector, std::uint64_t count) {
  ++readCalls_;
  // A short read at the source's end leaves the bytes behind it as they were: they must be
  // zeros, as the bytes of a failed read are.
  if (sector + count >= source_.TotalSectors()) std::memset(at, 0, count * kSectorSize);
  if (source_.ReadSectors(at, static_cast<std::uint32_t>(count * kSectorSize), sector)) return true;
  std::memset(at, 0, count * kSectorSize);
  return false;
}

std::vector<SectorRange> RescueReader::Read(std::uint8_t* buffer, std::uint64_t first,
                                            std::uint64_t count,
                                            const std::function<void(std::uint64_t)>& settled,
                                            const std::atomic<bool>* stop) {
  std::vector<SectorRange> unreadable;
  std::vector<LeftStretch> left;
  const std::uint64_t end = first + count;
  auto at = [&](std::uint64_t sector) { return buffer + (sector - first) * kSectorSize; };
  auto tell = [&](std::uint64_t sector) {
    if (settled) settled(sector - first);
  };

  // First pass: whole pieces, skipping ahead after failures.
  std::uint64_t position = first;
  while (position < end) {
    if (Stopped(stop)) {
      std::memset(at(position), 0, (end - position) * kSectorSize);
      break;
    }
    if (position < skipUntil_) {
      const std::uint64_t skipEnd = std::min(skipUntil_, end);
      left.push_back({position, skipEnd, false});
      position = skipEnd;
      continue;
    }
    const std::uint64_t n = std::min(pieceSectors_, end - position);
    if (ReadRun(at(position), position, n)) {
      failuresInARow_ = 0;
      position += n;
      if (left.empty()) tell(position);
      continue;
    }
    left.push_back({position, position + n, true});
    ++failuresInARow_;
    const std::uint64_t skipPieces = std::min<std::uint64_t>(
        kMaxSkipPieces, (std::uint64_t{1} << std::min(failuresInARow_ - 1, 20u)) - 1);
    position += n;
    skipUntil_ = position + skipPieces * pieceSectors_;
  }

  // Second pass: back to what was left, in order, so that the settled part grows.
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (Stopped(stop)) {
      for (std::size_t j = i; j < left.size(); ++j)
        std::memset(at(left[j].first), 0, (left[j].end - left[j].first) * kSectorSize);
      return unreadable;
    }
    ComeBack(buffer, first, left[i], unreadable, stop);
    tell(i + 1 < left.size() ? left[i + 1].first : position);
  }
  // A stretch that ends readable has left the failing region behind.
  if (!left.empty() && !Stopped(stop) && (unreadable.empty() || unreadable.back().End() < end)) {
    skipUntil_ = 0;
    failuresInARow_ = 0;
  }
  return unreadable;
}

void RescueReader::ComeBack(std::uint8_t* buffer, std::uint64_t first, const LeftStretch& left,
                            std::vector<SectorRange>& unreadable, const std::atomic<bool>* stop) {
  auto at = [&](std::uint64_t sector) { return buffer + (sector - first) * kSectorSize; };
  // [position, failingUntil) is known to hold a failing sector. Halving finds it in a few
  // reads; behind a failing sector the region most likely goes on, and one read per sector is
  // cheaper than halving towards each.
  const bool behindFailure = unreadableEnd_ == left.first && left.first > 0;
  std::uint64_t failingUntil = left.failed && !behindFailure ? left.end : 0;
  std::uint64_t size = behindFailure ? 1 : pieceSectors_;
  std::uint64_t position = left.first;
  while (position < left.end) {
    if (Stopped(stop)) {
      std::memset(at(position), 0, (left.end - position) * kSectorSize);
      return;
    }
    if (failingUntil > position) {
      const std::uint64_t length = failingUntil - position;
      if (length == 1) {
        // Its read failed alone, or with sectors that have read since.
        AppendSectorRange(unreadable, position, 1);
        // Behind two failing sectors in a row a region most likely goes on: one sector at a
        // time. A lone failing sector is most likely followed by readable ones.
        size = unreadableEnd_ == position && position > 0 ? 1 : pieceSectors_;
        unreadableEnd_ = ++position;
        failingUntil = 0;
        continue;
      }
      const std::uint64_t half = length / 2;
      if (ReadRun(at(position), position, half))
        position += half;
      else
        failingUntil = position + half;
      continue;
    }
    const std::uint64_t n = std::min(size, left.end - position);
    if (ReadRun(at(position), position, n)) {
      position += n;
      size = std::min(size * 2, pieceSectors_);
    } else {
      failingUntil = position + n;
    }
  }
}

bool ReadBytesRescued(DataSource& source, std::uint64_t offset, std::size_t count,
                      std::uint8_t* out) {
  if (source.ReadBytes(offset, count, out)) return true;
  // The stretches ReadBytes refuses whatever the medium: none, or past the last sector.
  const std::uint64_t first = offset / kSectorSize;
  const std::uint64_t end = (offset + count + kSectorSize - 1) / kSectorSize;
  if (count == 0 || end > source.TotalSectors() || end - first > kMaxRescuedSectors) return false;
  std::vector<std::uint8_t> sectors(static_cast<std::size_t>(end - first) * kSectorSize);
  RescueReader rescue(source);
  (void)rescue.Read(sectors.data(), first, end - first);
  std::memcpy(out, sectors.data() + (offset - first * kSectorSize), count);
  return true;
}

}  // namespace quillon
