// Copies of one message are known by their Message-ID, or else by their header values; a copy
// read without its Message-ID still matches one read with it, two different IDs never match.
#include "scan/merge/duplicate_marker.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quillon {
namespace {

struct Copy {
  std::string messageId;
  std::string subject;
};

struct DuplicateRow {
  const char* name;
  std::vector<Copy> copies;               // published in this order
  std::vector<std::int64_t> duplicateOf;  // expected, per copy
};

// Names the row in failure messages and test lists.
void PrintTo(const DuplicateRow& row, std::ostream* out) {
  *out << row.name;
}

class DuplicateMarkerTest : public testing::TestWithParam<DuplicateRow> {};

TEST_P(DuplicateMarkerTest, MarksLaterCopies) {
  const DuplicateRow& row = GetParam();
  DuplicateMarker marker;
  for (std::size_t index = 0; index < row.copies.size(); ++index) {
    MailRecord record;
    record.from = "a@x";
    record.to = "b@y";
    record.date = "2020-01-02 03:04:05";
    record.subject = row.copies[index].subject;
    record.messageId = row.copies[index].messageId;
    marker.Mark(record, index);
    EXPECT_EQ(record.duplicateOf, row.duplicateOf[index]) << "copy " << index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DuplicateMarkerTest,
    testing::Values(
        DuplicateRow{"SameIdDifferentValues", {{"<1@x>", "one"}, {"<1@x>", "two"}}, {-1, 0}},
        DuplicateRow{"SameValuesNoIds", {{"", "one"}, {"", "one"}, {"", "one"}}, {-1, 0, 0}},
        DuplicateRow{"DifferentValuesNoIds", {{"", "one"}, {"", "two"}}, {-1, -1}},
        DuplicateRow{"SameValuesDifferentIds", {{"<1@x>", "one"}, {"<2@x>", "one"}}, {-1, -1}},
        DuplicateRow{"IdlessCopyOfOneWithId", {{"<1@x>", "one"}, {"", "one"}}, {-1, 0}},
        DuplicateRow{"CopyWithIdOfIdlessOne", {{"", "one"}, {"<1@x>", "one"}}, {-1, 0}},
        DuplicateRow{
            "IdMatchBeatsValues", {{"", "one"}, {"<1@x>", "two"}, {"<1@x>", "one"}}, {-1, -1, 1}}),
    [](const testing::TestParamInfo<DuplicateRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
