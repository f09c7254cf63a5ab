// Where a field written in lower case begins inside the old line that ran into it.
#include <gtest/gtest.h>

#include <string_view>

#include "scan/shape/old_line_fields.h"

namespace quillon::old_line_fields {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

struct RunIntoRow {
  const char* name;
  std::string_view line;
  std::size_t start;
};

void PrintTo(const RunIntoRow& row, std::ostream* out) {
  *out << row.name;
}

class LowerCaseFieldRunIntoTest : public testing::TestWithParam<RunIntoRow> {};

TEST_P(LowerCaseFieldRunIntoTest, FindsTheField) {
  EXPECT_EQ(LowerCaseFieldRunInto(GetParam().line), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LowerCaseFieldRunIntoTest,
    testing::Values(
        RunIntoRow{"AddressBehindABlankOfProse", "marble quarter at delivered-to: a@b.example", 18},
        RunIntoRow{"PrivateNameBehindAWord", "museum forex-original-to: a@b.example", 11},
        RunIntoRow{"PrivateNameBehindMarkup", "<p class=\"are\"x-original-to: a@b.example", 14},
        RunIntoRow{"KnownNameInACapitalisedWord", "Phonreturn-path: <a@b.example>", 4},
        RunIntoRow{"KnownNameInACutName", "Content-transfer-encodreturn-path: <a@b.example>", 22},
        RunIntoRow{"BehindTheValueOfAnOldLine", "X-Tenant-org: 8c00return-path: <a@b.example>", 18},
        // What is no field of its own.
        RunIntoRow{"OwnLine", "delivered-to: a@b.example", kNone},
        RunIntoRow{"OwnPrivateLine", "x-original-to: a@b.example", kNone},
        RunIntoRow{"LongerNameGoesOnWithAHyphen", "x-mail-delivered-to: a@b.example", kNone},
        RunIntoRow{"QuotedBehindABlankInAValue", "Subject: see delivered-to: a@b.example", kNone},
        RunIntoRow{"ValueOfMoreThanAnAddress", "text delivered-to: a@b.example and more", kNone},
        RunIntoRow{"StyleProperty", "<p style=\"max-device-width: 480px\">", kNone},
        RunIntoRow{"NameWithoutHyphen", "the harbourto: a@b.example", kNone},
        RunIntoRow{"CapitalisedName", "the harbourDelivered-To: a@b.example", kNone}),
    [](const testing::TestParamInfo<RunIntoRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::old_line_fields
