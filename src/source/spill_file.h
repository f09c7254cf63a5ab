// A private scratch file for bytes a process would rather not keep in memory: made in a given
// folder with no name anyone can open (or with its name removed at once), readable and writable
// by its owner only, and gone when it is closed or the process ends in any way, a kill included.
// Implemented once per operating system (linux_spill_file.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

namespace quillon {

class SpillFile {
 public:
  // A new, empty file in `folder`; null with `error` set when none can be made there.
  [[nodiscard]] static std::unique_ptr<SpillFile> Create(const std::filesystem::path& folder,
                                                         std::error_code& error);
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Writes all of `bytes` at `offset`; false with `error` set when the file took fewer (a full
  // disk, an I/O error). May be called from one thread while others read.
  [[nodiscard]] bool WriteAt(std::uint64_t offset, std::span<const std::byte> bytes,
                             std::error_code& error);
  // Reads exactly `bytes.size()` bytes from `offset`; false with `error` set otherwise.
  [[nodiscard]] bool ReadAt(std::uint64_t offset, std::span<std::byte> bytes,
                            std::error_code& error) const;

 private:
  explicit SpillFile(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};

}  // namespace quillon
