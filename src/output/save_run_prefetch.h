// Makes the items 0, 1, 2, ... of a sequence on a worker thread, ahead of the thread that takes
// them, and hands them over in that order: a save run reads and renders the next mails while the
// mail before them is being written, and the files come out named and filled exactly as one
// thread would name and fill them. Private to the save run.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace quillon {

// How far the worker may run ahead: at most `items` made items wait to be taken, and no new one
// is begun while those waiting weigh `bytes` or more (one always may wait, however heavy).
struct PrefetchLimits {
  std::size_t items = 32;
  std::size_t bytes = std::size_t{64} << 20;
};

template <typename Item>
class OrderedPrefetch {
 public:
  // `make(index)` runs on the worker for index 0 up to `count` - 1, in that order; `weigh` tells
  // what a made item costs while it waits.
  OrderedPrefetch(std::size_t count, std::function<Item(std::size_t)> make,
                  std::function<std::size_t(const Item&)> weigh, PrefetchLimits limits = {})
      : count_(count), make_(std::move(make)), weigh_(std::move(weigh)), limits_(limits) {
    worker_ = std::thread([this] { Work(); });
  }

  ~OrderedPrefetch() { Stop(); }

  OrderedPrefetch(const OrderedPrefetch&) = delete;
  OrderedPrefetch& operator=(const OrderedPrefetch&) = delete;

  // The next item in order, once it is made. None when every item was taken, after Stop, or
  // after `make` threw; what it threw is thrown here once the items made before were taken.
  std::optional<Item> Take() {
    std::unique_lock lock(mutex_);
    madeOrStopped_.wait(lock, [this] { return !waiting_.empty() || finished_ || stopped_; });
    if (stopped_) return std::nullopt;
    if (!waiting_.empty()) {
      auto [item, weight] = std::move(waiting_.front());
      waiting_.pop_front();
      waitingBytes_ -= weight;
      if (workerWaits_ && Resumable()) taken_.notify_one();
      return std::move(item);
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return std::nullopt;
  }

  // Begins no further item and waits for the one being made; what waits is dropped.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    taken_.notify_all();
    madeOrStopped_.notify_all();
    if (worker_.joinable()) worker_.join();
  }

 private:
  void Work() {
    for (std::size_t index = 0; index < count_; ++index) {
      {
        std::unique_lock lock(mutex_);
        if (!HasRoom()) {
          // Woken once half the room is free rather than at each item taken: a worker that
          // outruns the taker would otherwise sleep and wake once per item.
          workerWaits_ = true;
          taken_.wait(lock, [this] { return stopped_ || Resumable(); });
          workerWaits_ = false;
        }
        if (stopped_) return;
      }
      std::optional<Item> item;
      try {
        item.emplace(make_(index));
      } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
        finished_ = true;
        madeOrStopped_.notify_all();
        return;
      }
      const std::size_t weight = weigh_(*item);
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      waiting_.emplace_back(std::move(*item), weight);
      waitingBytes_ += weight;
      madeOrStopped_.notify_one();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    madeOrStopped_.notify_all();
  }

  bool HasRoom() const {
    return waiting_.empty() || (waiting_.size() < limits_.items && waitingBytes_ < limits_.bytes);
  }

  bool Resumable() const {
    return waiting_.empty() ||
           (waiting_.size() <= limits_.items / 2 && waitingBytes_ <= limits_.bytes / 2);
  }

  const std::size_t count_;
  const std::function<Item(std::size_t)> make_;
  const std::function<std::size_t(const Item&)> weigh_;
  const PrefetchLimits limits_;

  std::mutex mutex_;
  std::condition_variable madeOrStopped_;  // the taker waits on it
  std::condition_variable taken_;          // the worker waits on it for room
  std::deque<std::pair<Item, std::size_t>> waiting_;
  std::size_t waitingBytes_ = 0;
  bool finished_ = false;
  bool stopped_ = false;
  bool workerWaits_ = false;
  std::exception_ptr failure_;
  std::thread worker_;  // last: started once everything above is made
};

}  // namespace quillon
