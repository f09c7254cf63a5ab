// Prints made ahead on other threads stand in for the duplicate marker's own only where they were
// made of the very bytes it would print: the same first byte and the same bound. A print made of
// other bytes is never taken, whatever it says; one made of the same bytes decides as the
// marker's own would.
#include "scan/merge/prepared_prints.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scan/merge/duplicate_marker.h"
#include "scan/source_position.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

constexpr std::size_t kCluster = 4096;
constexpr std::uint64_t kBase = 1024 * 1024;

std::string Mail(const std::string& body) {
  return "Return-Path: <a@x>\r\nFrom: a@x\r\nTo: b@y\r\nSubject: s\r\n"
         "Date: Thu, 2 Jan 2020 03:04:05 +0000\r\nMessage-ID: <1@x>\r\n\r\n" +
         body;
}

// Two copies of one mail, each at a cluster of its own with zeros behind it, whose bodies the
// scan saw end where the text does.
struct Source {
  std::string bytes;
  std::vector<std::uint64_t> ends;
  CarveBuffer Buffer() const {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), kBase};
  }
};

Source TwoCopies() {
  const std::string mail = Mail(std::string(700, 'b') + "\r\n");
  Source source{std::string(3 * kCluster, '\0'), {}};
  for (std::size_t i = 0; i < 2; ++i) {
    source.bytes.replace(i * kCluster, mail.size(), mail);
    source.ends.push_back(kBase + i * kCluster + mail.size());
  }
  return source;
}

MailRecordPtr RecordAt(std::size_t cluster, std::uint64_t end) {
  auto record = std::make_shared<MailRecord>();
  record->from = "a@x";
  record->to = "b@y";
  record->date = "2020-01-02 03:04:05";
  record->subject = "s";
  record->messageId = "<1@x>";
  const SectorPosition at = SectorPositionOf(kBase + cluster * kCluster);
  record->startSector = at.sector;
  record->sectorOffset = at.offset;
  MailBody body;
  body.closed = true;
  body.textEnd = end;
  body.followedEnd = end;
  record->PublishBody(std::move(body));
  return record;
}

struct PreparedRow {
  const char* name;
  // The second copy's print is made ahead over bytes where this byte of its body is changed
  // (none when 0), from its start moved by `startShift` up to its bound moved by `limitShift`.
  std::size_t changedByte;
  std::int64_t startShift;
  std::int64_t limitShift;
  bool taken;                // the marker takes the print made ahead
  std::int64_t duplicateOf;  // of the second copy
};

void PrintTo(const PreparedRow& row, std::ostream* out) {
  *out << row.name;
}

class PreparedPrintsTest : public testing::TestWithParam<PreparedRow> {};

TEST_P(PreparedPrintsTest, TakesOnlyPrintsOfTheSameBytes) {
  const PreparedRow& row = GetParam();
  const Source source = TwoCopies();
  Source ahead = source;
  if (row.changedByte != 0) ahead.bytes[kCluster + row.changedByte] ^= 0x01;

  const MailRecordPtr second = RecordAt(1, source.ends[1]);
  const PrintBounds bounds = BoundsToPrint(*second, second->Extent());
  ASSERT_EQ(bounds.start, kBase + kCluster);
  ASSERT_EQ(bounds.limit, source.ends[1]);
  PreparedPrints prepared;
  prepared.Add(
      {PrintTextAt(ahead.Buffer(), bounds.start + row.startShift, bounds.limit + row.limitShift)});

  DuplicateMarker marker;
  marker.UsePreparedPrints(&prepared);
  const MailRecordPtr first = RecordAt(0, source.ends[0]);
  const std::vector<MailRecordPtr> found{first, second};
  marker.Mark(*first, 0, source.Buffer(), found);
  marker.Mark(*second, 1, source.Buffer(), found);
  EXPECT_EQ(prepared.Size(), row.taken ? 0u : 1u);
  EXPECT_EQ(second->duplicateOf, row.duplicateOf);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PreparedPrintsTest,
    testing::Values(PreparedRow{"SameBytes", 0, 0, 0, true, 0},
                    // A print of other bytes is taken when its bounds fit: what decides is where it
                    // was made, so that is what must be right.
                    PreparedRow{"OtherBytesSameBounds", 300, 0, 0, true, -1},
                    PreparedRow{"OtherBytesBoundOneShort", 300, 0, -1, false, 0},
                    PreparedRow{"OtherBytesBoundOneFurther", 300, 0, 1, false, 0},
                    PreparedRow{"OtherBytesStartOneLater", 300, 1, 0, false, 0},
                    PreparedRow{"OtherBytesStartOneEarlier", 300, -1, 0, false, 0}),
    test::RowName{});

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
