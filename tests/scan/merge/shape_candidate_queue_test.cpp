// The blocks held for the merge come out in the order they went in, a chunk's list at a time,
// whatever lists were empty, and the next block behind a byte is found across the lists as in
// one list of them all.
#include "scan/merge/shape_candidate_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <vector>

namespace quillon {
namespace {

struct Block {
  std::uint64_t start = 0;
};

// One step: a list added, the first block taken off, or the last one dropped.
enum class Op { kAdd, kPopFront, kPopBack };
struct Step {
  Op op = Op::kAdd;
  std::vector<std::uint64_t> starts;  // for kAdd
};

struct QueueRow {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const QueueRow& row, std::ostream* out) {
  *out << row.name;
}

Step Add(std::vector<std::uint64_t> starts) {
  return {Op::kAdd, std::move(starts)};
}
const Step kPopFront{Op::kPopFront, {}};
const Step kPopBack{Op::kPopBack, {}};

// What one plain list of every block held says, the queue's model.
std::uint64_t ModelStartBehind(const std::deque<std::uint64_t>& model, std::uint64_t after) {
  for (std::uint64_t start : model)
    if (start > after) return start;
  return UINT64_MAX;
}

class CandidateQueueTest : public testing::TestWithParam<QueueRow> {};

TEST_P(CandidateQueueTest, HoldsTheBlocksAsOneListInPositionOrder) {
  CandidateQueue<Block> queue;
  std::deque<std::uint64_t> model;
  for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
    const Step& step = GetParam().steps[i];
    SCOPED_TRACE(testing::Message() << "after step " << i);
    switch (step.op) {
      case Op::kAdd: {
        std::vector<Block> batch;
        for (std::uint64_t start : step.starts) batch.push_back({start});
        queue.Add(std::move(batch));
        model.insert(model.end(), step.starts.begin(), step.starts.end());
        break;
      }
      case Op::kPopFront:
        queue.pop_front();
        model.pop_front();
        break;
      case Op::kPopBack:
        queue.pop_back();
        model.pop_back();
        break;
    }
    ASSERT_EQ(queue.empty(), model.empty());
    if (model.empty()) {
      EXPECT_EQ(queue.second(), nullptr);
    } else {
      EXPECT_EQ(queue.front().start, model.front());
      EXPECT_EQ(queue.back().start, model.back());
      if (model.size() > 1) {
        ASSERT_NE(queue.second(), nullptr);
        EXPECT_EQ(queue.second()->start, model[1]);
      } else {
        EXPECT_EQ(queue.second(), nullptr);
      }
    }
    // Every byte around each block held, and the blocks already taken off.
    for (std::uint64_t after : {0, 9, 10, 11, 19, 20, 25, 30, 39, 40, 55, 60, 70, 1000})
      EXPECT_EQ(queue.StartBehind(after), ModelStartBehind(model, after)) << "behind " << after;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CandidateQueueTest,
    testing::Values(
        QueueRow{"one list taken off one by one",
                 {Add({10, 20, 30}), kPopFront, kPopFront, kPopFront}},
        QueueRow{"the second block lies in the next list",
                 {Add({10}), Add({20, 30}), kPopFront, kPopFront}},
        QueueRow{"empty lists between add nothing",
                 {Add({}), Add({10, 20}), Add({}), Add({40}), kPopFront, kPopFront, kPopFront}},
        QueueRow{"dropped from the back across lists",
                 {Add({10, 20}), Add({30}), kPopBack, kPopBack, kPopFront}},
        QueueRow{"dropped from the back down to the first taken off",
                 {Add({10, 20, 30}), kPopFront, kPopBack, kPopBack, Add({40, 55}), kPopFront}},
        QueueRow{"added after it was used up",
                 {Add({10}), kPopFront, Add({20, 40}), Add({60}), kPopFront, kPopBack}},
        QueueRow{"search in the first list skips what was taken off",
                 {Add({10, 11, 19, 20}), kPopFront, kPopFront, Add({25, 70}), kPopFront}}));

}  // namespace
}  // namespace quillon
