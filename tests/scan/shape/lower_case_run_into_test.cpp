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

// A header block written in lower case throughout, glued to a line of old text:
// the line under it tells it from prose that names a field.
struct BlockGluedRow {
  const char* name;
  std::string_view line;
  std::string_view below;
  std::size_t start;
};

void PrintTo(const BlockGluedRow& row, std::ostream* out) {
  *out << row.name;
}

class LowerCaseBlockGluedIntoTest : public testing::TestWithParam<BlockGluedRow> {};

TEST_P(LowerCaseBlockGluedIntoTest, FindsTheBlock) {
  const BlockGluedRow& row = GetParam();
  std::string bytes(row.line);
  bytes += "\r\n";
  const std::size_t lineStart = bytes.size();
  bytes += row.below;
  bytes += "\r\nFrom: a@b.example\r\n";
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  EXPECT_EQ(LowerCaseBlockGluedInto(buffer, row.line, lineStart), row.start);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LowerCaseBlockGluedIntoTest,
    testing::Values(
        BlockGluedRow{"BehindProse", "yellow figure and in-reply-to: 0002", "message-id: 00020",
                      18},
        BlockGluedRow{"BehindStrayBytes", "#Y in-reply-to: 0002", "message-id: 00020", 3},
        BlockGluedRow{"VersionOverAType", "as the mime-version: 1.0", "content-type: text/plain",
                      7},
        BlockGluedRow{"BehindTheColonOfATime", "2009-02-09 01:in-reply-to: 0022",
                      "message-id: 0022", 14},
        // What is prose naming a field, a list of names, or left to other rules.
        BlockGluedRow{"InASignersList", "h=from:to:in-reply-to: 0002", "message-id: 00020", kNone},
        BlockGluedRow{"BehindACapital", "the Xin-reply-to: 0002", "message-id: 00020", kNone},
        BlockGluedRow{"FoldBelow", "yellow figure and in-reply-to: 0002", "\tmessage-id: 00020",
                      kNone},
        BlockGluedRow{"CapitalisedLineBelow", "yellow figure and in-reply-to: 0002",
                      "From: a@b.example", kNone},
        BlockGluedRow{"ProseBelow", "yellow figure and in-reply-to: 0002", "and the rest of it",
                      kNone},
        BlockGluedRow{"NameWithoutAHyphenBelow", "yellow figure and in-reply-to: 0002",
                      "subject: plans", kNone},
        BlockGluedRow{"NameWithoutAHyphen", "the note to: 0002", "message-id: 00020", kNone},
        BlockGluedRow{"UnknownName", "write to my e-mail: 0002", "message-id: 00020", kNone},
        BlockGluedRow{"CapitalisedName", "yellow figure and In-Reply-To: 0002", "message-id: 00020",
                      kNone},
        BlockGluedRow{"NoValue", "yellow figure and in-reply-to:", "message-id: 00020", kNone},
        BlockGluedRow{"RunIntoAWord", "yellow figurein-reply-to: 0002", "message-id: 00020",
                      kNone}),
    [](const testing::TestParamInfo<BlockGluedRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::old_line_fields
