#include <sys/mman.h>
#include <unistd.h>

#include "source/ring_memory.h"

namespace quillon {

RingMemory::RingMemory(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (size == 0 || page == 0) return;
  size = (size + page - 1) / page * page;
  // One memory file, mapped twice into one reserved stretch of twice its size.
  const int file = memfd_create("quillon-ring", MFD_CLOEXEC);
  if (file < 0) return;
  void* reserved = MAP_FAILED;
  if (ftruncate(file, static_cast<off_t>(size)) == 0)
    reserved = mmap(nullptr, 2 * size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved != MAP_FAILED) {
    auto* first = static_cast<std::uint8_t*>(reserved);
    const bool mapped =
        mmap(first, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, file, 0) != MAP_FAILED &&
        mmap(first + size, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, file, 0) !=
            MAP_FAILED;
    if (mapped) {
      data_ = first;
      size_ = size;
    } else {
      munmap(reserved, 2 * size);
    }
  }
  close(file);  // the mappings keep the memory
}

RingMemory::~RingMemory() {
  if (data_) munmap(data_, 2 * size_);
}

}  // namespace quillon
