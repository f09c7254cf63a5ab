#include "source/memory_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillon {

namespace {

class MemoryBackend final : public SourceBackend {
 public:
  MemoryBackend(std::vector<std::uint8_t> bytes, std::set<std::uint64_t> failingSectors,
                std::shared_ptr<ReadCounter> counter)
      : bytes_(std::move(bytes)),
        failingSectors_(std::move(failingSectors)),
        counter_(std::move(counter)) {}

  std::uint64_t SizeBytes() const override { return bytes_.size(); }

  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (count == 0) return 0;
    if (counter_) counter_->calls.fetch_add(1);
    if (TouchesFailingSector(offset, count)) {
      if (counter_) counter_->failed.fetch_add(1);
      return -1;
    }
    if (offset >= bytes_.size()) return 0;
    const std::size_t available = std::min<std::uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, available);
    return static_cast<std::int64_t>(available);
  }

 private:
  bool TouchesFailingSector(std::uint64_t offset, std::size_t count) const {
    const std::uint64_t first = offset / kSectorSize;
    const std::uint64_t last = (offset + count - 1) / kSectorSize;
    const auto failing = failingSectors_.lower_bound(first);
    return failing != failingSectors_.end() && *failing <= last;
  }

  std::vector<std::uint8_t> bytes_;
  std::set<std::uint64_t> failingSectors_;
  std::shared_ptr<ReadCounter> counter_;
};

}  // namespace

std::unique_ptr<SourceBackend> MakeMemoryBackend(std::vector<std::uint8_t> bytes,
                                                 std::set<std::uint64_t> failingSectors,
                                                 std::shared_ptr<ReadCounter> counter) {
  return std::make_unique<MemoryBackend>(std::move(bytes), std::move(failingSectors),
                                         std::move(counter));
}

}  // namespace quillon
