// Where a field written in lower case begins inside the old line that ran into it.
#include <gtest/gtest.h>

#include <string>
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

// A header block written in lower case throughout, glued behind a blank to a line of old text:
// the line under it tells it from prose that names a field.
struct BlockBehindABlankRow {
  const char* name;
  std::string_view line;
  std::string_view below;
  std::size_t start;
};

void PrintTo(const BlockBehindABlankRow& row, std::ostream* out) {
  *out << row.name;
}

class LowerCaseBlockBehindABlankTest : public testing::TestWithParam<BlockBehindABlankRow> {};

TEST_P(LowerCaseBlockBehindABlankTest, FindsTheBlock) {
  const BlockBehindABlankRow& row = GetParam();
  std::string bytes(row.line);
  bytes += "\r\n";
  const std::size_t lineStart = bytes.size();
  bytes += row.below;
  bytes += "\r\nFrom: a@b.example\r\n";
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  EXPECT_EQ(LowerCaseBlockBehindABlank(buffer, row.line, lineStart), row.start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LowerCaseBlockBehindABlankTest,
    testing::Values(
        BlockBehindABlankRow{"BehindProse", "yellow figure and in-reply-to: 0002",
                             "message-id: 00020", 18},
        BlockBehindABlankRow{"BehindStrayBytes", "#Y in-reply-to: 0002", "message-id: 00020", 3},
        BlockBehindABlankRow{"VersionOverAType", "as the mime-version: 1.0",
                             "content-type: text/plain", 7},
        // What is prose naming a field, or left to other rules.
        BlockBehindABlankRow{"CapitalisedLineBelow", "yellow figure and in-reply-to: 0002",
                             "From: a@b.example", kNone},
        BlockBehindABlankRow{"ProseBelow", "yellow figure and in-reply-to: 0002",
                             "and the rest of it", kNone},
        BlockBehindABlankRow{"NameWithoutAHyphenBelow", "yellow figure and in-reply-to: 0002",
                             "subject: plans", kNone},
        BlockBehindABlankRow{"NameWithoutAHyphen", "the note to: 0002", "message-id: 00020", kNone},
        BlockBehindABlankRow{"UnknownName", "write to my e-mail: 0002", "message-id: 00020", kNone},
        BlockBehindABlankRow{"CapitalisedName", "yellow figure and In-Reply-To: 0002",
                             "message-id: 00020", kNone},
        BlockBehindABlankRow{"NoValue", "yellow figure and in-reply-to:", "message-id: 00020",
                             kNone},
        BlockBehindABlankRow{"RunIntoAWord", "yellow figurein-reply-to: 0002", "message-id: 00020",
                             kNone}),
    [](const testing::TestParamInfo<BlockBehindABlankRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::old_line_fields
