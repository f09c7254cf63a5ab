#include "scan/parallel/task_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

// The scan hands the thread one chunk's work per round and reads its result after Wait: each
// task must see what the owner wrote before Start, and the owner what the task wrote.
struct HandOverRow {
  const char* name;
  int rounds;
  std::chrono::microseconds taskTime;  // how long each task keeps the thread busy
  bool waitEachRound;                  // false: only the destructor waits for the last task
};

void PrintTo(const HandOverRow& row, std::ostream* out) {
  *out << row.name;
}

class TaskThreadHandOver : public ::testing::TestWithParam<HandOverRow> {};

TEST_P(TaskThreadHandOver, EveryTaskRunsOnceOnTheOwnersData) {
  const HandOverRow& row = GetParam();
  std::vector<int> given(static_cast<std::size_t>(row.rounds), 0);
  std::vector<int> results(given.size(), -1);
  std::vector<std::thread::id> ranOn(given.size());
  {
    TaskThread thread;
    for (int round = 0; round < row.rounds; ++round) {
      const auto i = static_cast<std::size_t>(round);
      given[i] = round * 7 + 1;  // written by the owner right before the hand-over
      thread.Start([&, i, taskTime = row.taskTime] {
        if (taskTime.count() > 0) std::this_thread::sleep_for(taskTime);
        results[i] = given[i] * 2;
        ranOn[i] = std::this_thread::get_id();
      });
      if (row.waitEachRound || round + 1 < row.rounds) {
        thread.Wait();
        EXPECT_EQ(results[i], (round * 7 + 1) * 2) << "round " << round;
      }
    }
  }
  for (int round = 0; round < row.rounds; ++round) {
    const auto i = static_cast<std::size_t>(round);
    EXPECT_EQ(results[i], (round * 7 + 1) * 2) << "round " << round;
    EXPECT_NE(ranOn[i], std::this_thread::get_id()) << "round " << round;
    EXPECT_EQ(ranOn[i], ranOn[0]) << "every task runs on the one thread";
  }
}

INSTANTIATE_TEST_SUITE_P(
    TaskThread, TaskThreadHandOver,
    ::testing::Values(HandOverRow{"OneQuickTask", 1, std::chrono::microseconds(0), true},
                      HandOverRow{"ManyQuickTasks", 2000, std::chrono::microseconds(0), true},
                      HandOverRow{"SlowTasks", 20, std::chrono::microseconds(500), true},
                      HandOverRow{"LastTaskLeftToTheDestructor", 5, std::chrono::microseconds(2000),
                                  false}),
    RowName{});

TEST(TaskThread, WaitWithoutATaskReturnsAtOnce) {
  TaskThread thread;
  thread.Wait();
  thread.Wait();
  bool ran = false;
  thread.Start([&] { ran = true; });
  thread.Wait();
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace quillon
