// What is made ahead is found again by the bytes it was made for, once, in whatever order the
// batches and the takes come; a thing made again for the same bytes replaces the one before, and
// what lies far behind the newest is let go of.
#include "scan/merge/made_ahead.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillon {
namespace {

struct Thing {
  std::uint64_t start = 0;
  std::uint64_t limit = 0;
  int value = 0;
};

constexpr std::uint64_t kMiB = 1024 * 1024;

// One step: a batch added, or a take with the value it must give (-1: nothing).
struct Step {
  std::vector<Thing> added;
  std::uint64_t start = 0;
  std::uint64_t limit = 0;
  int taken = -1;
};

struct MadeRow {
  const char* name;
  std::vector<Step> steps;
  std::size_t heldAtTheEnd;
};

void PrintTo(const MadeRow& row, std::ostream* out) {
  *out << row.name;
}

Step Add(std::vector<Thing> things) {
  return Step{std::move(things)};
}
Step Take(std::uint64_t start, std::uint64_t limit, int taken) {
  return Step{{}, start, limit, taken};
}

class MadeAheadTest : public testing::TestWithParam<MadeRow> {};

TEST_P(MadeAheadTest, FindsEachThingOnceByItsBytes) {
  const MadeRow& row = GetParam();
  MadeAhead<Thing> made;
  for (std::size_t i = 0; i < row.steps.size(); ++i) {
    const Step& step = row.steps[i];
    if (!step.added.empty()) {
      made.Add(std::vector<Thing>(step.added));
      continue;
    }
    const std::optional<Thing> taken = made.Take(step.start, step.limit);
    EXPECT_EQ(taken ? taken->value : -1, step.taken) << "step " << i;
  }
  EXPECT_EQ(made.Size(), row.heldAtTheEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MadeAheadTest,
    testing::Values(
        MadeRow{
            "TakenInOrder", {Add({{10, 20, 1}, {30, 40, 2}}), Take(10, 20, 1), Take(30, 40, 2)}, 0},
        MadeRow{"TakenOnce", {Add({{10, 20, 1}}), Take(10, 20, 1), Take(10, 20, -1)}, 0},
        MadeRow{"OtherLimitIsOtherBytes", {Add({{10, 20, 1}}), Take(10, 25, -1)}, 1},
        MadeRow{"TakenOutOfOrder",
                {Add({{10, 20, 1}, {30, 40, 2}, {50, 60, 3}}), Take(30, 40, 2), Take(50, 60, 3),
                 Take(10, 20, 1), Take(30, 40, -1)},
                0},
        MadeRow{"BatchesOutOfOrder",
                {Add({{50, 60, 3}}), Add({{10, 20, 1}, {30, 40, 2}}), Take(10, 20, 1),
                 Take(30, 40, 2), Take(50, 60, 3)},
                0},
        MadeRow{"MadeAgainReplaces",
                {Add({{10, 20, 1}, {30, 40, 2}}), Add({{10, 20, 7}}), Take(10, 20, 7)},
                1},
        MadeRow{"MadeAgainAfterTaken",
                {Add({{10, 20, 1}, {30, 40, 2}}), Take(30, 40, 2), Add({{30, 40, 8}}),
                 Take(30, 40, 8), Take(10, 20, 1)},
                0},
        MadeRow{"SameStartTwoLimits",
                {Add({{10, 30, 2}, {10, 20, 1}}), Take(10, 20, 1), Take(10, 30, 2)},
                0},
        MadeRow{"FarBehindIsLetGo",
                {Add({{10, 20, 1}, {5 * kMiB, 6 * kMiB, 2}}), Add({{40 * kMiB, 41 * kMiB, 3}}),
                 Take(10, 20, -1), Take(5 * kMiB, 6 * kMiB, -1), Take(40 * kMiB, 41 * kMiB, 3)},
                0},
        MadeRow{"WithinReachIsKept",
                {Add({{10 * kMiB, 11 * kMiB, 1}, {20 * kMiB, 21 * kMiB, 2}}),
                 Add({{41 * kMiB, 42 * kMiB, 3}}), Take(10 * kMiB, 11 * kMiB, 1),
                 Take(20 * kMiB, 21 * kMiB, 2)},
                1},
        MadeRow{"TakenBehindAnUntakenOne",
                {Add({{10, 20, 1}, {30, 40, 2}, {50, 60, 3}}), Take(30, 40, 2), Take(50, 60, 3),
                 Add({{70, 80, 4}}), Take(70, 80, 4), Take(10, 20, 1)},
                0}),
    [](const testing::TestParamInfo<MadeRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
