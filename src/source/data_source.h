// A drive, a disk, an image file or a mail-store file, read as an array of 512-byte sectors.
//
// Every user of a source constructs its own DataSource, opens it by name, reads, and drops it.
// A source is only ever opened for reading: nothing in Quillon writes to the medium it scans.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "source/source_facts.h"

namespace quillon {

inline constexpr std::uint32_t kSectorSize = 512;

// Where the bytes come from. Platform back ends (files and block devices) live beside this
// header, one per operating system; tests use the in-memory back end of memory_source.h.
class SourceBackend {
 public:
  virtual ~SourceBackend() = default;
  virtual std::uint64_t SizeBytes() const = 0;
  // Reads up to `count` bytes at `offset`. Returns the number of bytes that arrived (short at the
  // end of the source), or -1 when the read failed.
  virtual std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) = 0;
  // What the source is read from, when it is more than a plain file or device.
  virtual SourceFacts Facts() const { return {}; }
};

class DataSource {
 public:
  DataSource();
  ~DataSource();
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;
  DataSource(DataSource&&) noexcept;
  DataSource& operator=(DataSource&&) noexcept;

  // Opens a source by its name: "HD<n>" for the n-th whole disk, a path holding '/', or a device
  // name under /dev ("sda1"). A file that holds a disk image (E01, VMDK, VHD, the first piece
  // of a split raw image) opens as the disk it holds. The empty name and two-character names
  // without ':' are refused and leave an open source open. On failure LastError() says why.
  [[nodiscard]] bool Open(std::string_view name);

  // Opens an already constructed back end under `name` (used for in-memory sources in tests).
  void OpenBackend(std::unique_ptr<SourceBackend> backend, std::string_view name);

  // Reads `byteCount` bytes from sector `startSector` on. Bytes past the end of the source are
  // left as they were. False when the source is closed, the start lies beyond the last sector,
  // or the read failed.
  [[nodiscard]] bool ReadSectors(void* buffer, std::uint32_t byteCount, std::uint64_t startSector);

  // Reads `count` bytes at any byte offset (the sectors around them are read whole). False when
  // they lie beyond the source or the read failed. It changes nothing in the source object, so
  // it may run on one thread while ReadSectors runs on another.
  [[nodiscard]] bool ReadBytes(std::uint64_t offset, std::size_t count, void* out);

  void Close();

  bool IsOpen() const { return backend_ != nullptr; }
  // Sectors in the source; a trailing partial sector counts as one more (read zero-padded).
  std::uint64_t TotalSectors() const;
  std::uint64_t SizeBytes() const { return sizeBytes_; }
  const std::string& SourceName() const { return sourceName_; }
  // The container the source is read from (none for a plain file or device; empty when closed).
  SourceFacts Facts() const { return backend_ ? backend_->Facts() : SourceFacts{}; }
  const std::string& LastError() const { return lastError_; }

 private:
  // Reads `byteCount` bytes at `offset` until the source ends; the offset of a failed read, or
  // UINT64_MAX when none failed. `arrived`, when given, is set to the bytes that came.
  std::uint64_t ReadWhole(void* buffer, std::size_t byteCount, std::uint64_t offset,
                          std::size_t* arrived = nullptr) const;
  // ReadWhole of `size` bytes into `into`, the bytes past the source's end zeros; false when a
  // read failed.
  bool ReadZeroPadded(std::uint8_t* into, std::size_t size, std::uint64_t offset) const;

  std::string sourceName_;
  std::string lastError_;
  std::uint64_t sizeBytes_ = 0;
  std::unique_ptr<SourceBackend> backend_;
};

}  // namespace quillon
