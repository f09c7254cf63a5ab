// A test-only preload library that makes reads of one file fail on chosen sectors, so that the
// real `quillon` binary can be run against a failing medium without a failing disk:
//
//   LD_PRELOAD=libquillon_failing_reads.so
//   QUILLON_FAIL_FILE=<image>             the file whose reads fail (matched by device and inode)
//   QUILLON_FAIL_SECTORS=1000-1127,5000   512-byte sectors that cannot be read (inclusive ranges)
//   QUILLON_READ_COUNT_FILE=<path>        optional: at exit, one line "<reads> <failed reads>" of
//                                         that file is appended here, per process
//
// A pread or pread64 of the file that touches a listed sector fails with EIO, as a disk does
// (the whole request, not a short read). Nothing else is changed. Never part of the product.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr std::uint64_t kSectorSize = 512;

using PreadFunction = ssize_t (*)(int, void*, size_t, off_t);

struct Settings {
  bool active = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> failing;  // [first, last], sorted
  const char* countFile = nullptr;
};

Settings& TheSettings() {
  static Settings settings = [] {
    Settings read;
    const char* file = std::getenv("QUILLON_FAIL_FILE");
    const char* sectors = std::getenv("QUILLON_FAIL_SECTORS");
    struct stat status {};
    if (!file || ::stat(file, &status) != 0) return read;
    read.device = status.st_dev;
    read.inode = status.st_ino;
    read.countFile = std::getenv("QUILLON_READ_COUNT_FILE");
    for (const char* at = sectors ? sectors : ""; *at;) {
      char* end = nullptr;
      const std::uint64_t first = std::strtoull(at, &end, 10);
      if (end == at) break;
      std::uint64_t last = first;
      if (*end == '-') {
        at = end + 1;
        last = std::strtoull(at, &end, 10);
      }
      read.failing.emplace_back(first, std::max(first, last));
      at = end;
      while (*at == ',' || *at == ' ') ++at;
    }
    std::sort(read.failing.begin(), read.failing.end());
    read.active = true;
    return read;
  }();
  return settings;
}

std::atomic<std::uint64_t> reads{0};
std::atomic<std::uint64_t> failedReads{0};

bool IsTheFile(int descriptor) {
  const Settings& settings = TheSettings();
  if (!settings.active) return false;
  struct stat status {};
  return ::fstat(descriptor, &status) == 0 && status.st_dev == settings.device &&
         status.st_ino == settings.inode;
}

bool TouchesFailingSector(std::uint64_t offset, std::size_t count) {
  if (count == 0) return false;
  const std::uint64_t first = offset / kSectorSize;
  const std::uint64_t last = (offset + count - 1) / kSectorSize;
  const auto& failing = TheSettings().failing;
  // The first range that does not end before `first`.
  auto range = std::lower_bound(failing.begin(), failing.end(), first,
                                [](const std::pair<std::uint64_t, std::uint64_t>& r,
                                   std::uint64_t s) { return r.second < s; });
  return range != failing.end() && range->first <= last;
}

ssize_t Intercept(const char* name, int descriptor, void* buffer, size_t count, off_t offset) {
  static PreadFunction next = reinterpret_cast<PreadFunction>(::dlsym(RTLD_NEXT, name));
  if (!next) {
    errno = ENOSYS;
    return -1;
  }
  if (IsTheFile(descriptor)) {
    reads.fetch_add(1);
    if (TouchesFailingSector(static_cast<std::uint64_t>(offset), count)) {
      failedReads.fetch_add(1);
      errno = EIO;
      return -1;
    }
  }
  return next(descriptor, buffer, count, offset);
}

struct CountWriter {
  ~CountWriter() {
    const Settings& settings = TheSettings();
    if (!settings.active || !settings.countFile) return;
    if (FILE* file = std::fopen(settings.countFile, "a")) {
      std::fprintf(file, "%llu %llu\n", static_cast<unsigned long long>(reads.load()),
                   static_cast<unsigned long long>(failedReads.load()));
      std::fclose(file);
    }
  }
} countWriter;

}  // namespace

extern "C" {

ssize_t pread(int descriptor, void* buffer, size_t count, off_t offset) {
  return Intercept("pread", descriptor, buffer, count, offset);
}

ssize_t pread64(int descriptor, void* buffer, size_t count, off_t offset) {
  return Intercept("pread64", descriptor, buffer, count, offset);
}

}  // extern "C"
