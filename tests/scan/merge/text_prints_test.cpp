// The bytes the duplicate marker prints of a mail: as far as the scan saw it end, else how far it
// was followed, and never more than the longest printed text.
#include "scan/merge/text_prints.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "scan/mail_record.h"
#include "scan/source_position.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

constexpr std::uint64_t kBase = 1024 * 1024;

struct BoundsRow {
  const char* name;
  bool closed;
  std::uint64_t textEnd;       // behind the start
  std::uint64_t followedEnd;   // behind the start
  std::uint64_t multipartEnd;  // behind the start; 0: none
  bool textStartKnown;         // the extent places the text 100 bytes before the trace line
  std::uint64_t limit;         // expected, behind the text's start
  bool open;                   // expected
};

void PrintTo(const BoundsRow& row, std::ostream* out) {
  *out << row.name;
}

class BoundsToPrintTest : public testing::TestWithParam<BoundsRow> {};

TEST_P(BoundsToPrintTest, BoundsTheText) {
  const BoundsRow& row = GetParam();
  constexpr std::uint64_t kTraceLine = kBase + 5000;
  MailRecord record;
  const SectorPosition at = SectorPositionOf(kTraceLine);
  record.startSector = at.sector;
  record.sectorOffset = at.offset;
  MailExtent extent;
  extent.textStartKnown = row.textStartKnown;
  extent.textStart = kTraceLine - 100;
  const std::uint64_t start = row.textStartKnown ? kTraceLine - 100 : kTraceLine;
  if (row.multipartEnd) extent.multipartEnd = start + row.multipartEnd;
  MailBody body;
  body.closed = row.closed;
  if (row.textEnd) body.textEnd = start + row.textEnd;
  if (row.followedEnd) body.followedEnd = start + row.followedEnd;
  record.PublishBody(std::move(body));

  const PrintBounds bounds = BoundsToPrint(record, extent);
  EXPECT_EQ(bounds.start, start);
  EXPECT_EQ(bounds.limit - bounds.start, row.limit);
  EXPECT_EQ(bounds.open, row.open);
}

constexpr std::uint64_t kMiB = 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Rows, BoundsToPrintTest,
    testing::Values(BoundsRow{"BodyEnd", true, 900, 950, 0, false, 900, false},
                    BoundsRow{"BodyEndFromItsFirstLine", true, 900, 950, 0, true, 900, false},
                    BoundsRow{"LongBodyPrintedOneMebibyte", true, 3 * kMiB, 3 * kMiB, 0, false,
                              kMiB, false},
                    BoundsRow{"MultipartEndWithoutBodyEnd", true, 0, 950, 2000, false, 2000, false},
                    BoundsRow{"OnlyHowFarFollowed", true, 0, 950, 0, false, 950, true},
                    // A body not closed tells nothing: the text is printed a little way, open.
                    BoundsRow{"NothingKnown", false, 900, 950, 0, false, 128 * 1024, true}),
    test::RowName{});

}  // namespace
}  // namespace quillon
