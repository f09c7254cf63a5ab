// A body followed ahead stands in for the merge's own only where both followings saw every byte
// a following may look at: the same block, the same next mail, and bytes reaching past
// FollowReach in the worker's buffer and in the merge's alike.
#include "scan/merge/prepared_bodies.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "scan/body/body_steps.h"
#include "scan/shape/shape_body.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

constexpr std::uint64_t kStart = 5 * 1024 * 1024;
constexpr std::uint64_t kHeaderEnd = kStart + 700;
constexpr std::uint64_t kNextMail = kStart + 9000;

struct TakeRow {
  const char* name;
  std::uint64_t limitAsked;       // the merge's next mail
  std::int64_t preparedEndShift;  // the worker's bytes end, from the reach
  std::int64_t mergeEndShift;     // the merge's bytes end, from the reach
  std::int64_t mergeBaseShift;    // the merge's first byte, from the block's start
  bool taken;
};

void PrintTo(const TakeRow& row, std::ostream* out) {
  *out << row.name;
}

class PreparedBodiesTest : public testing::TestWithParam<TakeRow> {};

TEST_P(PreparedBodiesTest, TakesOnlyBodiesBothBuffersSawWhole) {
  const TakeRow& row = GetParam();
  const std::uint64_t reach = FollowReach(kHeaderEnd, kNextMail);
  ASSERT_GT(reach, kNextMail);

  PreparedBodies bodies;
  PreparedBody prepared;
  prepared.start = kStart;
  prepared.limit = kNextMail;
  prepared.bytesEnd = reach + row.preparedEndShift;
  prepared.body.bodyText = "followed ahead";
  prepared.body.followedEnd = kNextMail;
  std::vector<PreparedBody> list;
  list.push_back(std::move(prepared));
  bodies.Add(std::move(list));

  // Only positions matter here: the merge's buffer is never read.
  const std::uint64_t base = kStart + row.mergeBaseShift;
  const CarveBuffer buffer{nullptr, static_cast<std::size_t>(reach + row.mergeEndShift - base),
                           base};
  const std::optional<MailBody> body = bodies.Take(kStart, kHeaderEnd, row.limitAsked, buffer);
  EXPECT_EQ(body.has_value(), row.taken);
  if (body) {
    EXPECT_EQ(body->bodyText, "followed ahead");
    EXPECT_EQ(body->followedEnd, kNextMail);
  }
  // Used up when it was looked up by its own key, taken or not.
  EXPECT_EQ(bodies.Size(), row.limitAsked == kNextMail ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Rows, PreparedBodiesTest,
                         testing::Values(TakeRow{"BothReachFar", kNextMail, 4096, 4096, -512, true},
                                         TakeRow{"BothEndAtTheReach", kNextMail, 0, 0, 0, true},
                                         TakeRow{"WorkerEndsOneShort", kNextMail, -1, 0, 0, false},
                                         TakeRow{"MergeEndsOneShort", kNextMail, 0, -1, 0, false},
                                         TakeRow{"MergeBeginsBehindTheBlock", kNextMail, 0, 0, 1,
                                                 false},
                                         TakeRow{"OtherNextMail", kNextMail + 1, 0, 0, 0, false},
                                         TakeRow{"NoNextMailAhead", UINT64_MAX, 0, 0, 0, false}),
                         test::RowName{});

struct ReachRow {
  const char* name;
  std::uint64_t headerEnd;
  std::uint64_t limit;
  std::uint64_t reachBeyond;  // the reach, behind the followed end
  std::uint64_t followedEnd;  // behind the header end
};

void PrintTo(const ReachRow& row, std::ostream* out) {
  *out << row.name;
}

class FollowReachTest : public testing::TestWithParam<ReachRow> {};

// The followed text ends at the next mail or a little short of a mebibyte behind the block,
// whichever comes first; the reach lies a line's length and more behind it, and never wraps.
TEST_P(FollowReachTest, LiesBehindTheFollowedText) {
  const ReachRow& row = GetParam();
  const std::uint64_t reach = FollowReach(row.headerEnd, row.limit);
  ASSERT_GE(reach, row.headerEnd);
  EXPECT_GE(reach - row.headerEnd, row.followedEnd + row.reachBeyond);
  if (row.limit < UINT64_MAX / 2) {
    EXPECT_LE(reach, row.limit + 2 * 1024 * 1024);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FollowReachTest,
    testing::Values(
        ReachRow{"NextMailClose", 1000, 5000, kMaxBodyLine + 8192, 4000},
        ReachRow{"NextMailFar", 1000, 100 * 1024 * 1024, kMaxBodyLine + 8192, 1024 * 1024 - 4096},
        ReachRow{"NoNextMail", 1000, UINT64_MAX, kMaxBodyLine + 8192, 1024 * 1024 - 4096},
        ReachRow{"NearTheEndOfPositions", UINT64_MAX - 10, UINT64_MAX, 0, 0}),
    test::RowName{});

}  // namespace
}  // namespace quillon
