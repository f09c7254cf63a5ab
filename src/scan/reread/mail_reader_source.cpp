#include "scan/reread/mail_reader_source.h"

#include <algorithm>
#include <cstring>

namespace quillon::mail_reader {

RescuedSource::RescuedSource(DataSource& source, const std::atomic<bool>* stopRequested)
    : source_(source), rescue_(source), stopRequested_(stopRequested) {}

void RescuedSource::Read(std::uint64_t offset, std::size_t count, std::uint8_t* out) {
  std::memset(out, 0, count);
  const std::uint64_t total = source_.TotalSectors();
  const std::uint64_t firstSector = offset / kSectorSize;
  const std::uint64_t endSector = std::min(total, (offset + count + kSectorSize - 1) / kSectorSize);
  if (count == 0 || firstSector >= endSector) return;
  sectors_.resize(static_cast<std::size_t>(endSector - firstSector) * kSectorSize);
  const std::vector<SectorRange> failed =
      rescue_.Read(sectors_.data(), firstSector, endSector - firstSector, {}, stopRequested_);
  const std::uint64_t sectorsStart = firstSector * kSectorSize;
  const std::uint64_t available =
      std::min<std::uint64_t>(count, sectorsStart + sectors_.size() - offset);
  std::memcpy(out, sectors_.data() + (offset - sectorsStart), static_cast<std::size_t>(available));
  for (const SectorRange& range : failed) {
    const std::uint64_t from = std::max(offset, range.first * kSectorSize);
    const std::uint64_t to = std::min(offset + available, range.End() * kSectorSize);
    if (from >= to) continue;
    std::memset(out + (from - offset), kUnreadableFill, static_cast<std::size_t>(to - from));
    if (!unreadable_.empty() && from <= unreadable_.back().second &&
        from >= unreadable_.back().first)
      unreadable_.back().second = std::max(unreadable_.back().second, to);
    else
      unreadable_.emplace_back(from, to);
  }
  // Reads come in any order (a store chain jumps about): keep the list ascending.
  if (unreadable_.size() > 1 &&
      unreadable_[unreadable_.size() - 2].first > unreadable_.back().first)
    std::sort(unreadable_.begin(), unreadable_.end());
}

void ZeroSpans(std::string& text, const ByteSpans& spans) {
  for (const auto& [from, to] : spans) {
    if (from >= text.size()) continue;
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(to, text.size()));
    std::memset(text.data() + from, 0, end - static_cast<std::size_t>(from));
  }
}

ByteSpans SpansWithin(const ByteSpans& unreadable, std::uint64_t start, std::uint64_t length) {
  ByteSpans within;
  for (const auto& [from, to] : unreadable) {
    const std::uint64_t first = std::max(from, start);
    const std::uint64_t end = std::min(to, start + length);
    if (first < end) within.emplace_back(first - start, end - start);
  }
  return within;
}

}  // namespace quillon::mail_reader
