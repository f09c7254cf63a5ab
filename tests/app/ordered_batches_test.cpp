#include "app/cli/ordered_batches.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillon {
namespace {

struct OrderCase {
  std::size_t batches;
  unsigned threads;
  // Batches this index apart take longer, so that later ones tend to be ready first.
  std::size_t slowEvery;
};

class OrderedBatchesTest : public testing::TestWithParam<OrderCase> {};

// Whatever thread formats a batch and however long it takes, the texts come out in batch order,
// each batch formatted once, and no more batches wait unwritten than the few held per thread.
TEST_P(OrderedBatchesTest, WritesEveryBatchOnceInOrder) {
  const OrderCase& param = GetParam();
  std::atomic<std::size_t> formatted{0};
  std::atomic<std::size_t> written{0};
  std::atomic<std::size_t> mostWaiting{0};
  std::mutex seenMutex;
  std::multiset<std::size_t> formattedIndexes;
  std::set<std::thread::id> formatters;
  const FormatBatch format = [&](std::size_t index, std::string& out) {
    EXPECT_TRUE(out.empty()) << "batch " << index;
    if (param.slowEvery && index % param.slowEvery == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    out += "batch " + std::to_string(index) + "\n";
    const std::size_t waiting = ++formatted - written.load();
    std::size_t most = mostWaiting.load();
    while (waiting > most && !mostWaiting.compare_exchange_weak(most, waiting)) {
    }
    std::lock_guard lock(seenMutex);
    formattedIndexes.insert(index);
    formatters.insert(std::this_thread::get_id());
  };
  std::string all;
  const std::thread::id caller = std::this_thread::get_id();
  const WriteBatch write = [&](std::string_view text) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    all += text;
    ++written;
  };

  FormatInOrder(param.batches, param.threads, format, write);

  std::string expected;
  for (std::size_t i = 0; i < param.batches; ++i) expected += "batch " + std::to_string(i) + "\n";
  EXPECT_EQ(all, expected);
  EXPECT_EQ(written.load(), param.batches);
  EXPECT_EQ(formattedIndexes.size(), param.batches);
  for (std::size_t i = 0; i < param.batches; ++i) EXPECT_EQ(formattedIndexes.count(i), 1u) << i;
  EXPECT_LE(mostWaiting.load(), 2u * std::max(param.threads, 1u));
  EXPECT_LE(formatters.size(), std::max<std::size_t>(param.threads, 1));
  if (param.threads <= 1 && param.batches > 0) {
    EXPECT_EQ(formatters.size(), 1u);
    EXPECT_EQ(*formatters.begin(), caller);
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, OrderedBatchesTest,
                         testing::Values(OrderCase{0, 1, 0}, OrderCase{0, 3, 0}, OrderCase{1, 1, 0},
                                         OrderCase{1, 4, 0}, OrderCase{7, 1, 0}, OrderCase{7, 0, 0},
                                         OrderCase{2, 2, 1}, OrderCase{50, 2, 3},
                                         OrderCase{50, 3, 2}, OrderCase{200, 4, 0},
                                         OrderCase{33, 2, 5}));

}  // namespace
}  // namespace quillon
