// Where the walk may pass over sectors: only those the map covers and has not marked.
#include "scan/find/line_break_map.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon
