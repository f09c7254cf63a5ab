// A mail is a part of another when it lies inside its multipart text or was found inside its
// body; a mail of its own ends the text of the one before it.
#include "scan/merge/mail_containment.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillon {
namespace {

struct Placed {
  Placed(std::uint64_t startAt, std::uint64_t multipartEndAt = 0, bool separator = false,
         std::optional<std::uint64_t> inside = std::nullopt)
      : start(startAt),
        multipartEnd(multipartEndAt),
        behindSeparator(separator),
        insideFrom(inside) {}
  std::uint64_t start;         // byte of the find
  std::uint64_t multipartEnd;  // 0: none
  bool behindSeparator;
  std::optional<std::uint64_t> insideFrom;  // noted as found inside a mail beginning there
};

struct ContainmentRow {
  const char* name;
  std::vector<Placed> mails;             // placed in this order
  std::vector<std::int64_t> partOf;      // expected, per mail
  std::vector<std::uint64_t> nextStart;  // expected nextMailStart, per mail
};

MailRecordPtr RecordAt(const Placed& placed) {
  auto record = std::make_shared<MailRecord>();
  record->startSector = placed.start / 512;
  record->sectorOffset = static_cast<std::uint16_t>(placed.start % 512);
  MailExtent extent;
  extent.multipartEnd = placed.multipartEnd;
  extent.behindMailboxSeparator = placed.behindSeparator;
  record->SetExtent(extent);
  return record;
}

// Names the row in failure messages and test lists.
void PrintTo(const ContainmentRow& row, std::ostream* out) {
  *out << row.name;
}

class MailContainmentTest : public testing::TestWithParam<ContainmentRow> {};

TEST_P(MailContainmentTest, PlacesParts) {
  const ContainmentRow& row = GetParam();
  MailContainment containment;
  std::vector<MailRecordPtr> records;
  for (std::size_t index = 0; index < row.mails.size(); ++index) {
    records.push_back(RecordAt(row.mails[index]));
    if (row.mails[index].insideFrom)
      containment.NoteInside(records.back().get(), *row.mails[index].insideFrom);
    // A mail held back (a store's, until its chain is known) has no place yet.
    EXPECT_EQ(containment.IndexOf(records.back().get()), std::nullopt) << "mail " << index;
    containment.Place(records.back(), index);
    EXPECT_EQ(containment.IndexOf(records.back().get()), index);
  }
  for (std::size_t index = 0; index < records.size(); ++index) {
    EXPECT_EQ(records[index]->partOf, row.partOf[index]) << "mail " << index;
    EXPECT_EQ(records[index]->Extent().nextMailStart, row.nextStart[index]) << "mail " << index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailContainmentTest,
    testing::Values(
        ContainmentRow{"MailsOfTheirOwn", {{100}, {900}, {2000}}, {-1, -1, -1}, {900, 2000, 0}},
        ContainmentRow{"InsideMultipart", {{100, 5000}, {900}, {6000}}, {-1, 0, -1}, {6000, 0, 0}},
        ContainmentRow{"AtMultipartStart", {{100, 5000}, {100}}, {-1, -1}, {0, 0}},
        ContainmentRow{"BehindMultipartEnd", {{100, 800}, {900}}, {-1, -1}, {900, 0}},
        ContainmentRow{"SeparatorEndsMultipart", {{100, 5000}, {900, 0, true}}, {-1, -1}, {900, 0}},
        ContainmentRow{"NestedMultiparts",
                       {{100, 5000}, {900, 3000}, {1000}, {4000}},
                       {-1, 0, 1, 0},
                       {0, 0, 0, 0}},
        ContainmentRow{"InsideMailThatBeganInReach", {{100}, {900, 0, false, 50}}, {-1, 0}, {0, 0}},
        ContainmentRow{
            "InsideMailThatBeganBeforeReach", {{100}, {900, 0, false, 500}}, {-1, -1}, {900, 0}}),
    [](const testing::TestParamInfo<ContainmentRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
