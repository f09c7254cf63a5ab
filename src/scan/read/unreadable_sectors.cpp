#include "scan/read/unreadable_sectors.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "scan/source_position.h"

namespace quillon {

namespace {

constexpr std::uint64_t kBytesPerSector = kSectorSize;

// Appends the sectors of [firstSector, firstSector + count) whose bit is set in `words` to
// `ranges`, a run of them at a time: zeros and text fill whole stretches.
void AppendMarkedRuns(std::vector<SectorRange>& ranges, std::uint64_t firstSector,
                      std::uint64_t count, const std::vector<std::uint64_t>& words) {
  for (std::uint64_t i = 0; i < count;) {
    const std::size_t word = static_cast<std::size_t>(i / 64);
    const std::uint64_t bits = word < words.size() ? words[word] >> (i % 64) : 0;
    if (bits == 0) {
      i = (i / 64 + 1) * 64;
      continue;
    }
    i += static_cast<std::uint64_t>(std::countr_zero(bits));
    const auto run = static_cast<std::uint64_t>(std::countr_one(words[i / 64] >> (i % 64)));
    const std::uint64_t length = std::min(run, count - std::min(count, i));
    if (length == 0) break;
    AppendSectorRange(ranges, firstSector + i, length);
    i += length;
  }
}

// Lets go of the ranges that end by `sector`.
void ForgetRangesBefore(std::vector<SectorRange>& ranges, std::uint64_t sector) {
  const auto kept =
      std::upper_bound(ranges.begin(), ranges.end(), sector,
                       [](std::uint64_t s, const SectorRange& r) { return s < r.End(); });
  ranges.erase(ranges.begin(), kept);
}

}  // namespace

void UnreadableSectors::Add(const std::vector<SectorRange>& ranges) {
  if (ranges.empty()) return;
  std::lock_guard lock(mutex_);
  for (const SectorRange& range : ranges) AppendSectorRange(ranges_, range.first, range.count);
}

std::uint64_t UnreadableSectors::StretchEndAt(std::uint64_t at) const {
  const std::uint64_t sector = at / kBytesPerSector;
  std::lock_guard lock(mutex_);
  // The first range that ends behind the sector.
  const auto range =
      std::upper_bound(ranges_.begin(), ranges_.end(), sector,
                       [](std::uint64_t s, const SectorRange& r) { return s < r.End(); });
  if (range == ranges_.end() || range->first > sector) return 0;
  return range->End() * kBytesPerSector;
}

bool UnreadableSectors::Overlaps(std::uint64_t from, std::uint64_t to) const {
  if (from >= to) return false;
  const std::uint64_t first = from / kBytesPerSector;
  const std::uint64_t last = (to - 1) / kBytesPerSector;
  std::lock_guard lock(mutex_);
  const auto range =
      std::upper_bound(ranges_.begin(), ranges_.end(), first,
                       [](std::uint64_t s, const SectorRange& r) { return s < r.End(); });
  return range != ranges_.end() && range->first <= last;
}

std::vector<SectorRange> UnreadableSectors::Ranges() const {
  std::lock_guard lock(mutex_);
  return ranges_;
}

void UnreadableSectors::AddMarkedSectors(std::uint64_t firstSector, std::uint64_t count,
                                         const std::vector<std::uint64_t>& nulWords,
                                         const std::vector<std::uint64_t>& dashWords) {
  std::lock_guard lock(mutex_);
  if (firstSector != nulKnownTo_ || nulKnownFrom_ == nulKnownTo_) {
    nulRanges_.clear();
    dashRanges_.clear();
    nulKnownFrom_ = firstSector;
  }
  AppendMarkedRuns(nulRanges_, firstSector, count, nulWords);
  AppendMarkedRuns(dashRanges_, firstSector, count, dashWords);
  nulKnownTo_ = firstSector + count;
}

void UnreadableSectors::ForgetNulSectorsBefore(std::uint64_t sector) {
  std::lock_guard lock(mutex_);
  if (sector <= nulKnownFrom_) return;
  nulKnownFrom_ = std::min(sector, nulKnownTo_);
  ForgetRangesBefore(nulRanges_, nulKnownFrom_);
  ForgetRangesBefore(dashRanges_, nulKnownFrom_);
}

UnreadableSectors::ByteStretch UnreadableSectors::MayHoldNul(std::uint64_t at,
                                                             std::uint64_t end) const {
  std::lock_guard lock(mutex_);
  return FirstMarkedStretch(nulRanges_, at, end);
}

UnreadableSectors::ByteStretch UnreadableSectors::MayHoldDash(std::uint64_t at,
                                                              std::uint64_t end) const {
  std::lock_guard lock(mutex_);
  return FirstMarkedStretch(dashRanges_, at, end);
}

UnreadableSectors::ByteStretch UnreadableSectors::FirstMarkedStretch(
    const std::vector<SectorRange>& marked, std::uint64_t at, std::uint64_t end) const {
  if (at >= end) return {end, end};
  const std::uint64_t sector = at / kBytesPerSector;
  if (sector >= nulKnownTo_) return {at, end};
  if (sector < nulKnownFrom_) return {at, std::min(end, nulKnownFrom_ * kBytesPerSector)};
  // The first range that ends behind the sector: it holds the sector, or lies behind it.
  const auto range =
      std::upper_bound(marked.begin(), marked.end(), sector,
                       [](std::uint64_t s, const SectorRange& r) { return s < r.End(); });
  if (range == marked.end()) {
    const std::uint64_t unmarked = nulKnownTo_ * kBytesPerSector;
    return unmarked < end ? ByteStretch{unmarked, end} : ByteStretch{end, end};
  }
  const std::uint64_t from = std::max(at, range->first * kBytesPerSector);
  if (from >= end) return {end, end};
  return {from, std::min(end, range->End() * kBytesPerSector)};
}

UnreadableSectors::ByteStretch UnreadableSectors::LastMayHoldNul(std::uint64_t from,
                                                                 std::uint64_t end) const {
  if (from >= end) return {from, from};
  std::lock_guard lock(mutex_);
  const std::uint64_t knownFrom = nulKnownFrom_ * kBytesPerSector;
  const std::uint64_t knownTo = nulKnownTo_ * kBytesPerSector;
  // Bytes no mark tells of may hold one anywhere.
  if (knownFrom == knownTo || end <= knownFrom) return {from, end};
  if (end > knownTo) return {std::max(from, knownTo), end};
  // The last range that begins in front of `end`.
  const std::uint64_t lastSector = (end - 1) / kBytesPerSector;
  const auto behind =
      std::upper_bound(nulRanges_.begin(), nulRanges_.end(), lastSector,
                       [](std::uint64_t s, const SectorRange& r) { return s < r.first; });
  if (behind != nulRanges_.begin()) {
    const SectorRange& range = *std::prev(behind);
    if (range.End() * kBytesPerSector > from)
      return {std::max(from, range.first * kBytesPerSector),
              std::min(end, range.End() * kBytesPerSector)};
  }
  return from < knownFrom ? ByteStretch{from, std::min(end, knownFrom)} : ByteStretch{from, from};
}

std::uint64_t UnreadableUntil(CarveBuffer buffer, std::size_t index) {
  if (!buffer.unreadable || index >= buffer.size) return 0;
  return buffer.unreadable->StretchEndAt(buffer.PositionOf(index));
}

std::size_t FindReadNul(CarveBuffer buffer, std::size_t from, std::size_t to) {
  to = std::min(to, buffer.size);
  // Where indices are the source's positions, the sectors marked tell where a NUL may stand.
  const bool marked = buffer.unreadable && !buffer.pieces;
  while (from < to) {
    std::size_t stop = to;
    if (marked) {
      const UnreadableSectors::ByteStretch stretch =
          buffer.unreadable->MayHoldNul(buffer.base + from, buffer.base + to);
      from = static_cast<std::size_t>(stretch.from - buffer.base);
      stop = static_cast<std::size_t>(stretch.to - buffer.base);
      if (from >= to) return to;
    }
    const void* nul = std::memchr(buffer.data + from, 0, stop - from);
    if (!nul) {
      from = stop;
      continue;
    }
    const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - buffer.data);
    const std::uint64_t stretchEnd = UnreadableUntil(buffer, at);
    if (stretchEnd == 0) return at;
    from = static_cast<std::size_t>(stretchEnd - buffer.base);
  }
  return to;
}

void MarkDamagedMails(const std::vector<MailRecordPtr>& records,
                      const UnreadableSectors& unreadable) {
  if (unreadable.Ranges().empty()) return;
  for (const MailRecordPtr& record : records) {
    const MailExtent extent = record->Extent();
    const std::uint64_t followedEnd =
        record->ReadBody([](const BodyFacts& body) { return body.followedEnd; });
    const std::uint64_t from = extent.TextStartOr(record->StartByte());
    std::uint64_t to = std::max(followedEnd, record->StartByte() + 1);
    if (extent.nextMailStart > from) to = std::min(to, extent.nextMailStart);
    if (unreadable.Overlaps(from, to)) record->damaged = true;
  }
}

}  // namespace quillon
