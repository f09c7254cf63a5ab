#include "source/data_source.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "source/image_opening.h"
#include "source/platform_source.h"
#include "source/source_name.h"

namespace quillon {

DataSource::DataSource() = default;
DataSource::~DataSource() = default;
DataSource::DataSource(DataSource&&) noexcept = default;
DataSource& DataSource::operator=(DataSource&&) noexcept = default;

bool DataSource::Open(std::string_view name) {
  // The name is kept even when refused, so that a message can quote what the user asked for.
  sourceName_.assign(name);
  const SourceNameForm form = ClassifySourceName(name);
  if (form.kind == SourceNameKind::Empty) {
    lastError_ = "empty name refused";
    return false;
  }
  if (form.kind == SourceNameKind::RefusedShort) {
    lastError_ = "two-character name without ':' refused";
    return false;
  }

  backend_.reset();
  sizeBytes_ = 0;
  BackendOpening opening = form.kind == SourceNameKind::WholeDisk
                               ? OpenWholeDiskBackend(form.diskIndex)
                               : OpenSourceByName(name);
  if (!opening.backend) {
    lastError_ = opening.error.empty() ? "cannot be opened" : std::move(opening.error);
    return false;
  }
  sizeBytes_ = opening.backend->SizeBytes();
  backend_ = std::move(opening.backend);
  lastError_.clear();
  return true;
}

void DataSource::OpenBackend(std::unique_ptr<SourceBackend> backend, std::string_view name) {
  Close();
  sourceName_.assign(name);
  lastError_.clear();
  if (!backend) return;
  sizeBytes_ = backend->SizeBytes();
  backend_ = std::move(backend);
}

bool DataSource::ReadSectors(void* buffer, std::uint32_t byteCount, std::uint64_t startSector) {
  if (!backend_) return false;
  const std::uint64_t totalSectors = TotalSectors();
  if (startSector > totalSectors) return false;
  // One past the last sector is a valid empty read, so that a caller stepping through the
  // source in chunks needs no special case at the end.
  if (startSector == totalSectors) return true;

  const std::uint64_t failedAt = ReadWhole(buffer, byteCount, startSector * kSectorSize);
  if (failedAt != UINT64_MAX) {
    lastError_ = "read failed at sector " + std::to_string(failedAt / kSectorSize);
    return false;
  }
  return true;
}

std::uint64_t DataSource::ReadWhole(void* buffer, std::size_t byteCount, std::uint64_t offset,
                                    std::size_t* arrived) const {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < byteCount) {
    const std::int64_t piece = backend_->ReadAt(bytes + done, byteCount - done, offset + done);
    if (piece < 0) return offset + done;
    if (piece == 0) break;  // the end of the source: the rest of the buffer stays as it was
    done += static_cast<std::size_t>(piece);
  }
  if (arrived) *arrived = done;
  return UINT64_MAX;
}

bool DataSource::ReadBytes(std::uint64_t offset, std::size_t count, void* out) {
  const std::uint64_t firstSector = offset / kSectorSize;
  const std::uint64_t lastSector = (offset + count + kSectorSize - 1) / kSectorSize;
  if (count == 0 || lastSector > TotalSectors() || lastSector - firstSector > 0x7FFFFF)
    return false;
  if (!backend_) return false;
  // The back end is asked for whole sectors only. Those the stretch covers whole are read
  // straight into place; a sector it begins or ends inside goes through a sector's room here.
  // Texts read again while a scan runs are tens of kilobytes each: a buffer of their size and
  // a second copy would cost more than the read.
  auto* into = static_cast<std::uint8_t*>(out);
  std::uint64_t at = offset;
  std::size_t left = count;
  while (left > 0) {
    const std::size_t skip = static_cast<std::size_t>(at % kSectorSize);
    if (skip == 0 && left >= kSectorSize) {
      const std::size_t whole = left / kSectorSize * kSectorSize;
      if (!ReadZeroPadded(into, whole, at)) return false;
      into += whole;
      at += whole;
      left -= whole;
      continue;
    }
    std::uint8_t sector[kSectorSize];
    if (!ReadZeroPadded(sector, kSectorSize, at - skip)) return false;
    const std::size_t taken = std::min(left, kSectorSize - skip);
    std::memcpy(into, sector + skip, taken);
    into += taken;
    at += taken;
    left -= taken;
  }
  return true;
}

bool DataSource::ReadZeroPadded(std::uint8_t* into, std::size_t size, std::uint64_t offset) const {
  std::size_t arrived = 0;
  // No error is recorded: these reads may run beside ReadSectors on another thread.
  if (ReadWhole(into, size, offset, &arrived) != UINT64_MAX) return false;
  // Not cleared first: every byte is read, and only those past the source's end are zeroed.
  std::memset(into + arrived, 0, size - arrived);
  return true;
}

void DataSource::Close() {
  backend_.reset();
  sizeBytes_ = 0;
}

std::uint64_t DataSource::TotalSectors() const {
  if (!backend_) return 0;
  return sizeBytes_ / kSectorSize + (sizeBytes_ % kSectorSize != 0 ? 1 : 0);
}

}  // namespace quillon
