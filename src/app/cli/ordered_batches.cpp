#include "app/cli/ordered_batches.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon {

namespace {

// The batches formatted and not yet written, per thread: enough that a thread done early finds
// the next one free while the writer is busy, few enough that the texts stay small and warm.
constexpr std::size_t kHeldPerThread = 2;

class OrderedBatches {
 public:
  OrderedBatches(std::size_t count, unsigned threads, const FormatBatch& format)
      : count_(count), format_(format), slots_(kHeldPerThread * threads) {}

  // Formats batches while there are some to claim; returns when none is left.
  void Help() {
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return claimed_ >= count_ || CanClaim(); });
      if (claimed_ >= count_) return;
      FormatClaimed(lock);
    }
  }

  // Writes every batch in order, formatting one itself whenever the next to write is not ready.
  void WriteAll(const WriteBatch& write) {
    std::unique_lock lock(mutex_);
    while (written_ < count_) {
      Slot& slot = slots_[written_ % slots_.size()];
      if (slot.ready) {
        std::string text = std::move(slot.text);
        lock.unlock();
        write(text);
        text.clear();
        lock.lock();
        // Back before the slot is free, so that the next batch in it reuses the room.
        slot.text = std::move(text);
        slot.ready = false;
        ++written_;
        changed_.notify_all();
      } else if (CanClaim()) {
        FormatClaimed(lock);
      } else {
        changed_.wait(lock);
      }
    }
  }

 private:
  struct Slot {
    std::string text;
    bool ready = false;
  };

  bool CanClaim() const { return claimed_ < count_ && claimed_ < written_ + slots_.size(); }

  // Claims the next batch and formats it with the lock let go of meanwhile.
  void FormatClaimed(std::unique_lock<std::mutex>& lock) {
    const std::size_t index = claimed_++;
    Slot& slot = slots_[index % slots_.size()];
    std::string text = std::move(slot.text);
    lock.unlock();
    format_(index, text);
    lock.lock();
    slot.text = std::move(text);
    slot.ready = true;
    changed_.notify_all();
  }

  const std::size_t count_;
  const FormatBatch& format_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::size_t claimed_ = 0;
  std::size_t written_ = 0;
};

}  // namespace

void FormatInOrder(std::size_t count, unsigned threads, const FormatBatch& format,
                   const WriteBatch& write) {
  const unsigned used =
      static_cast<unsigned>(std::clamp<std::size_t>(count, 1, std::max(threads, 1u)));
  OrderedBatches batches(count, used, format);
  std::vector<std::jthread> helpers;
  for (unsigned i = 1; i < used; ++i) helpers.emplace_back([&batches] { batches.Help(); });
  batches.WriteAll(write);
}

}  // namespace quillon
