// Where the walk may pass over sectors: only those the map covers and has not marked.
#include "scan/find/line_break_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

TEST(LineBreakMapTest, NextPossibleAndRunEndFollowTheMarkedSectors) {
  // 200 sectors from sector 1000 on: line breaks in 1003, 1004 and 1130; one before an R in 1004.
  LineBreakMap map(1000 * 512, 200 * 512);
  const LineBreakBits bits = map.Bits();
  for (std::uint64_t sector : {1003u, 1004u, 1130u}) bits.any.Set(sector);
  bits.beforeR.Set(1004);
  bits.any.Set(999);   // outside the map: ignored
  bits.any.Set(1200);  // likewise

  const std::uint64_t end = 1200 * 512;
  EXPECT_EQ(map.NextPossible(1000 * 512 + 7, end, false), 1003u * 512);
  EXPECT_EQ(map.NextPossible(1003 * 512 + 100, end, false), 1003u * 512 + 100) << "already in";
  EXPECT_EQ(map.PossibleRunEnd(1003 * 512 + 100, end, false), 1005u * 512);
  EXPECT_EQ(map.NextPossible(1005 * 512, end, false), 1130u * 512) << "across whole words";
  EXPECT_EQ(map.NextPossible(1131 * 512, end, false), end) << "none left";
  EXPECT_EQ(map.NextPossible(1131 * 512, 1150 * 512, false), 1150u * 512) << "the end given";
  EXPECT_EQ(map.NextPossible(1000 * 512, end, true), 1004u * 512);
  EXPECT_EQ(map.PossibleRunEnd(1004 * 512, end, true), 1005u * 512);
  EXPECT_EQ(map.NextPossible(1005 * 512, end, true), end);

  // Bytes the map does not cover may hold anything.
  EXPECT_EQ(map.NextPossible(990 * 512, end, false), 990u * 512);
  EXPECT_EQ(map.PossibleRunEnd(990 * 512, end, false), end);
  EXPECT_EQ(map.NextPossible(1200 * 512 + 3, 1300 * 512, false), 1200u * 512 + 3);
}

TEST(LineBreakMapTest, AnEmptyMapPassesOverEverything) {
  LineBreakMap map(0, 64 * 1024);
  EXPECT_EQ(map.NextPossible(0, 64 * 1024, false), 64u * 1024);
  EXPECT_EQ(map.NextPossible(0, 64 * 1024, true), 64u * 1024);
  // A partial last sector counts whole.
  LineBreakMap partial(0, 700);
  partial.Bits().any.Set(1);
  EXPECT_EQ(partial.NextPossible(0, 700, false), 512u);
  EXPECT_EQ(partial.PossibleRunEnd(512, 700, false), 700u);
}

// The run's end, sector by sector, as the map's contract words it.
std::uint64_t PlainRunEnd(std::uint64_t first, std::uint64_t count, const std::vector<bool>& marked,
                          std::uint64_t at, std::uint64_t end) {
  std::uint64_t sector = at / 512;
  while (sector * 512 < end) {
    if (sector < first || sector - first >= count) return end;
    if (!marked[sector - first]) break;
    ++sector;
  }
  return std::min(end, sector * 512);
}

struct RunRow {
  const char* name;
  std::uint64_t first;  // the map's first sector
  std::uint64_t count;  // its sectors
  int density;          // sectors marked, in 16ths
};

class PossibleRunEndTest : public testing::TestWithParam<RunRow> {};

TEST_P(PossibleRunEndTest, EndsWhereASectorByItselfSays) {
  const RunRow& row = GetParam();
  std::mt19937 random(5);
  LineBreakMap map(row.first * 512, row.count * 512);
  std::vector<bool> marked(row.count);
  for (std::uint64_t i = 0; i < row.count; ++i) {
    marked[i] = static_cast<int>(random() % 16) < row.density;
    if (marked[i]) map.Bits().any.Set(row.first + i);
  }
  // From in front of the map to behind it, and ends inside and outside it.
  const std::uint64_t from = row.first > 3 ? row.first - 3 : 0;
  for (std::uint64_t sector = from; sector < row.first + row.count + 3; ++sector) {
    for (std::uint64_t at : {sector * 512, sector * 512 + 77}) {
      for (std::uint64_t end :
           {at + 1, at + 600, (row.first + row.count) * 512, (row.first + row.count + 200) * 512}) {
        ASSERT_EQ(map.PossibleRunEnd(at, end, false),
                  PlainRunEnd(row.first, row.count, marked, at, end))
            << "at " << at << " end " << end;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PossibleRunEndTest,
    testing::Values(RunRow{"AllMarked", 1000, 300, 16}, RunRow{"MostMarked", 7, 200, 14},
                    RunRow{"HalfMarked", 64, 128, 8}, RunRow{"NoneMarked", 5, 70, 0},
                    // A map of one partial word, and runs across whole words.
                    RunRow{"ShortMap", 0, 9, 15}, RunRow{"WordsOfRuns", 130, 640, 15}),
    [](const testing::TestParamInfo<RunRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
