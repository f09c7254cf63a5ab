#include "output/save_run_prefetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

// Item `index` of `weight` bytes: its number, then dots.
std::string Expected(std::size_t index, std::size_t weight) {
  std::string item = std::to_string(index);
  if (item.size() < weight) item.append(weight - item.size(), '.');
  return item;
}

// What the worker did, watched from the maker: the indices in the order made, and how far ahead
// of the taker it was when it began each one (the taker counts an item once Take returned it,
// so the worker may seem one further ahead than it was).
struct Watch {
  std::mutex mutex;
  std::vector<std::size_t> made;
  std::size_t mostAhead = 0;
  std::atomic<std::size_t> taken{0};

  std::string Make(std::size_t index, std::size_t weight) {
    std::lock_guard lock(mutex);
    made.push_back(index);
    mostAhead = std::max(mostAhead, index - taken.load());
    return Expected(index, weight);
  }
};

struct LimitRow {
  const char* name;
  std::size_t count;
  PrefetchLimits limits;
  std::size_t weight;     // of every item
  std::size_t mostAhead;  // index less items taken when the worker begins an item
};

class PrefetchLimit : public ::testing::TestWithParam<LimitRow> {};

// A slow taker lets the worker run as far ahead as it may, and no further; every item still
// comes out once, in order.
TEST_P(PrefetchLimit, HandsOverInOrderAndRunsNoFurtherAheadThanAllowed) {
  const LimitRow& row = GetParam();
  Watch watch;
  OrderedPrefetch<std::string> ahead(
      row.count, [&](std::size_t index) { return watch.Make(index, row.weight); },
      [](const std::string& item) { return item.size(); }, row.limits);
  for (std::size_t index = 0; index < row.count; ++index) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::optional<std::string> item = ahead.Take();
    ASSERT_TRUE(item.has_value()) << "item " << index;
    EXPECT_EQ(*item, Expected(index, row.weight));
    ++watch.taken;
  }
  EXPECT_FALSE(ahead.Take().has_value());
  EXPECT_FALSE(ahead.Take().has_value());
  std::lock_guard lock(watch.mutex);
  std::vector<std::size_t> inOrder(row.count);
  for (std::size_t index = 0; index < row.count; ++index) inOrder[index] = index;
  EXPECT_EQ(watch.made, inOrder);
  EXPECT_LE(watch.mostAhead, row.mostAhead);
}

INSTANTIATE_TEST_SUITE_P(
    SaveRun, PrefetchLimit,
    ::testing::Values(LimitRow{"NothingToMake", 0, {4, 1 << 20}, 10, 0},
                      LimitRow{"OneAtATime", 12, {1, 1 << 20}, 10, 1},
                      LimitRow{"BoundByItems", 20, {4, 1 << 20}, 10, 4},
                      // Items of 12 bytes against 36: while three wait the fourth is not begun.
                      LimitRow{"BoundByBytes", 20, {32, 36}, 12, 3},
                      // One item always may wait, however heavy.
                      LimitRow{"HeavierThanTheWholeBudget", 8, {32, 4}, 100, 1}),
    RowName{});

TEST(SaveRunPrefetch, StopMakesNothingFurtherAndTakesNothingMore) {
  Watch watch;
  constexpr PrefetchLimits kLimits{3, 1 << 20};
  {
    OrderedPrefetch<std::string> ahead(
        1000, [&](std::size_t index) { return watch.Make(index, 0); },
        [](const std::string& item) { return item.size(); }, kLimits);
    for (std::size_t index = 0; index < 5; ++index) {
      ASSERT_EQ(ahead.Take(), Expected(index, 0));
      ++watch.taken;
    }
    ahead.Stop();
    EXPECT_FALSE(ahead.Take().has_value());
  }
  std::lock_guard lock(watch.mutex);
  // The five taken and at most the three that could wait.
  EXPECT_LE(watch.made.size(), 5u + kLimits.items);
}

TEST(SaveRunPrefetch, WhatTheMakerThrewComesAfterTheItemsMadeBeforeIt) {
  OrderedPrefetch<std::string> ahead(
      10,
      [](std::size_t index) -> std::string {
        if (index == 3) throw std::runtime_error("unreadable");
        return Expected(index, 0);
      },
      [](const std::string& item) { return item.size(); });
  for (std::size_t index = 0; index < 3; ++index) EXPECT_EQ(ahead.Take(), Expected(index, 0));
  EXPECT_THROW((void)ahead.Take(), std::runtime_error);
  EXPECT_FALSE(ahead.Take().has_value());
}

TEST(SaveRunPrefetch, DroppedUntakenWithoutWaitingForTheRest) {
  std::atomic<std::size_t> made{0};
  {
    OrderedPrefetch<std::string> ahead(
        1'000'000,
        [&](std::size_t index) {
          ++made;
          return Expected(index, 0);
        },
        [](const std::string& item) { return item.size(); }, {2, 1 << 20});
  }
  EXPECT_LE(made.load(), 3u);
}

}  // namespace
}  // namespace quillon
