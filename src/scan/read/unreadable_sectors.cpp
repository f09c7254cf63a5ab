#include "scan/read/unreadable_sectors.h"

#include <algorithm>
#include <cstring>

#include "scan/source_position.h"

namespace quillon {

namespace {

constexpr std::uint64_t kBytesPerSector = kSectorSize;

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

std::uint64_t UnreadableUntil(CarveBuffer buffer, std::size_t index) {
  if (!buffer.unreadable || index >= buffer.size) return 0;
  return buffer.unreadable->StretchEndAt(buffer.PositionOf(index));
}

std::size_t FindReadNul(CarveBuffer buffer, std::size_t from, std::size_t to) {
  to = std::min(to, buffer.size);
  while (from < to) {
    const void* nul = std::memchr(buffer.data + from, 0, to - from);
    if (!nul) return to;
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
