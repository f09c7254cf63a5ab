#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "source/spill_file.h"

namespace quillon {
namespace {

// O_TMPFILE makes a file that never has a name; file systems without it get a named file whose
// name is removed before anything is written to it.
int OpenNameless(const std::filesystem::path& folder) {
  const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (descriptor >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != ENOENT)) {
    return descriptor;
  }
  std::string name = (folder / "quillon-text-XXXXXX").string();
  const int named = ::mkostemp(name.data(), O_CLOEXEC);  // 0600
  if (named < 0) return -1;
  if (::unlink(name.c_str()) != 0) {
    const int saved = errno;
    ::close(named);
    errno = saved;
    return -1;
  }
  return named;
}

}  // namespace

std::unique_ptr<SpillFile> SpillFile::Create(const std::filesystem::path& folder,
                                             std::error_code& error) {
  const int descriptor = OpenNameless(folder);
  if (descriptor < 0) {
    error = std::error_code(errno, std::generic_category());
    return nullptr;
  }
  error.clear();
  return std::unique_ptr<SpillFile>(new SpillFile(descriptor));
}

SpillFile::~SpillFile() {
  ::close(descriptor_);
}

bool SpillFile::WriteAt(std::uint64_t offset, std::span<const std::byte> bytes,
                        std::error_code& error) {
  while (!bytes.empty()) {
    const ssize_t written =
        ::pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // A write that takes nothing without an error means no room is left.
      error = std::error_code(written < 0 ? errno : ENOSPC, std::generic_category());
      return false;
    }
    offset += static_cast<std::uint64_t>(written);
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  error.clear();
  return true;
}

bool SpillFile::ReadAt(std::uint64_t offset, std::span<std::byte> bytes,
                       std::error_code& error) const {
  while (!bytes.empty()) {
    const ssize_t got =
        ::pread(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = std::error_code(got < 0 ? errno : EIO, std::generic_category());
      return false;
    }
    offset += static_cast<std::uint64_t>(got);
    bytes = bytes.subspan(static_cast<std::size_t>(got));
  }
  error.clear();
  return true;
}

}  // namespace quillon
