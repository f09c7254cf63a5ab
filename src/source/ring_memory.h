// Memory for a ring of bytes whose pages are mapped twice in a row: byte i and byte i + Size()
// are the same byte, so that a stretch of up to Size() bytes that starts anywhere in the first
// Size() bytes reads and writes as one piece. The scan reads a source into such a ring and never
// has to move what it holds to make room.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

class RingMemory {
 public:
  // At least `size` bytes, rounded up to whole pages, all zero. Data() is null where the system
  // cannot map memory twice; callers then do without the ring.
  explicit RingMemory(std::size_t size);
  ~RingMemory();
  RingMemory(const RingMemory&) = delete;
  RingMemory& operator=(const RingMemory&) = delete;

  std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace quillon
