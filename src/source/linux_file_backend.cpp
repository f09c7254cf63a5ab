#if defined(__linux__)

#include "source/linux_file_backend.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "source/linux_disks.h"

namespace quillon {

namespace {

static_assert(sizeof(off_t) == 8, "sources beyond 2 GiB need a 64-bit off_t");

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

class LinuxFileBackend final : public SourceBackend {
 public:
  LinuxFileBackend(int descriptor, std::uint64_t sizeBytes)
      : descriptor_(descriptor), sizeBytes_(sizeBytes) {}
  ~LinuxFileBackend() override { ::close(descriptor_); }
  LinuxFileBackend(const LinuxFileBackend&) = delete;
  LinuxFileBackend& operator=(const LinuxFileBackend&) = delete;

  std::uint64_t SizeBytes() const override { return sizeBytes_; }

  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    ssize_t arrived = 0;
    do {
      arrived = ::pread(descriptor_, buffer, count, static_cast<off_t>(offset));
    } while (arrived < 0 && errno == EINTR);
    return arrived < 0 ? -1 : static_cast<std::int64_t>(arrived);
  }

 private:
  int descriptor_;
  std::uint64_t sizeBytes_;
};

}  // namespace

std::string LinuxSourcePath(std::string_view name) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  return "/dev/" + std::string(name);
}

BackendOpening OpenLinuxFile(const std::string& path) {
  // A NUL inside the name would silently cut the path short and open something else.
  if (path.find('\0') != std::string::npos) return {nullptr, ErrorText(EINVAL)};

  // Read-only, always: nothing may ever write to the medium being recovered, and a read-only
  // image file must open. Without O_NONBLOCK a pipe with no writer would hold the open forever
  // before it could be refused; files and disks read the same either way.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return {nullptr, ErrorText(errno)};

  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    const int error = errno;
    ::close(descriptor);
    return {nullptr, ErrorText(error)};
  }
  if (S_ISDIR(status.st_mode)) {
    ::close(descriptor);
    return {nullptr, ErrorText(EISDIR)};
  }

  // A pipe, a socket or a character device (/dev/zero, a terminal) has no size to scan up to
  // and cannot be read back at a mail's position for a save.
  if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)) {
    ::close(descriptor);
    return {nullptr, kSizeUnknownError};
  }

  std::uint64_t sizeBytes = 0;
  if (S_ISREG(status.st_mode)) {
    sizeBytes = static_cast<std::uint64_t>(status.st_size);
  } else if (S_ISBLK(status.st_mode)) {
    // A device whose size cannot be asked still opens; it simply has nothing to scan.
    if (::ioctl(descriptor, BLKGETSIZE64, &sizeBytes) != 0) sizeBytes = 0;
  }
  return {
      std::make_unique<LinuxFileBackend>(descriptor, sizeBytes), {}, path, S_ISREG(status.st_mode)};
}

BackendOpening OpenWholeDiskBackend(unsigned index) {
  const std::optional<std::string> disk = WholeDiskName(index, kSysBlockRoot);
  if (!disk) return {nullptr, "no such disk"};
  return OpenLinuxFile("/dev/" + *disk);
}

BackendOpening OpenNamedBackend(std::string_view name) {
  return OpenLinuxFile(LinuxSourcePath(name));
}

}  // namespace quillon

#endif  // __linux__
