// The folds a walk up a header block passes: the field it tells is the one the lowest fold that
// holds one begins, as each fold asked in turn from the bottom up would tell, however many folds
// there are and wherever a header line cleared those below it.
#include "scan/shape/orphan_folds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/shape/old_line_fields.h"

namespace quillon {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::string_view kProseFold = "    and the rest of the old text, at 12:30 or so";
constexpr std::string_view kFieldFold = "    continue the Message-Id: <a.b@c.example>";
constexpr std::string_view kHeader = "Subject: what the folds belong to";

struct FoldsRow {
  const char* name;
  // The lines from the top down; the walk meets them from the bottom up.
  std::vector<std::string_view> lines;
};

void PrintTo(const FoldsRow& row, std::ostream* out) {
  *out << row.name;
}

// The field of the lowest fold that holds one above the topmost header line (those below it are
// that line's own), each asked in turn.
std::size_t FieldAskedFoldByFold(CarveBuffer buffer, const std::vector<std::size_t>& starts,
                                 const std::vector<std::string_view>& lines) {
  std::size_t top = 0;
  while (top < lines.size() && lines[top] != kHeader) ++top;
  for (std::size_t i = top; i-- > 0;) {
    const std::string_view line(reinterpret_cast<const char*>(buffer.data + starts[i]),
                                lines[i].size());
    const std::size_t inside = old_line_fields::FieldInAnOrphanFold(buffer, starts[i], line);
    if (inside != kNone) return starts[i] + inside;
  }
  return kNone;
}

class OrphanFoldsTest : public testing::TestWithParam<FoldsRow> {};

TEST_P(OrphanFoldsTest, TellsTheFieldOfTheLowestFoldThatHoldsOne) {
  const FoldsRow& row = GetParam();
  std::string text;
  std::vector<std::size_t> starts;
  for (const std::string_view line : row.lines) {
    starts.push_back(text.size());
    text.append(line).append("\r\n");
  }
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 4096};
  OrphanFolds folds;
  for (std::size_t i = row.lines.size(); i-- > 0;) {
    const std::string_view line(text.data() + starts[i], row.lines[i].size());
    if (row.lines[i] == kHeader)
      folds.Clear();
    else
      folds.Add(starts[i], line);
  }
  const std::size_t expected = FieldAskedFoldByFold(buffer, starts, row.lines);
  EXPECT_EQ(folds.Field(buffer), expected);
  if (std::string_view(row.name).find("Field") != std::string_view::npos) {
    EXPECT_NE(expected, kNone) << "the row is meant to hold a field";
  }
}

std::vector<std::string_view> Folds(std::size_t prose, std::string_view top = {}) {
  std::vector<std::string_view> lines;
  if (!top.empty()) lines.push_back(top);
  lines.insert(lines.end(), prose, kProseFold);
  return lines;
}

std::vector<std::string_view> WithFieldAt(std::size_t count, std::size_t field) {
  std::vector<std::string_view> lines(count, kProseFold);
  lines[field] = kFieldFold;
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OrphanFoldsTest,
    testing::Values(
        FoldsRow{"NoFolds", {}}, FoldsRow{"ProseAlone", Folds(5)},
        FoldsRow{"OneField", WithFieldAt(1, 0)}, FoldsRow{"FieldBelowProse", WithFieldAt(6, 5)},
        FoldsRow{"FieldAboveProse", WithFieldAt(6, 0)},
        FoldsRow{"TheLowestOfTwoFields", {kFieldFold, kProseFold, kFieldFold, kProseFold}},
        FoldsRow{"HeaderAboveTheFoldsHasNone", Folds(4, kHeader)},
        FoldsRow{"HeaderClearsTheFoldsBelowIt", {kProseFold, kHeader, kFieldFold}},
        FoldsRow{"FieldAboveTheHeaderCounts", {kFieldFold, kHeader, kProseFold, kFieldFold}},
        FoldsRow{"FieldBeyondTheFoldsKeptInPlace", WithFieldAt(100, 3)},
        FoldsRow{"FieldRightAtTheFoldsKeptInPlace", WithFieldAt(64, 32)},
        FoldsRow{"FieldAmongTheFirstOfMany", WithFieldAt(100, 97)},
        FoldsRow{"TheLowestOfTwoFieldsOneInPlaceOneNot",
                 [] {
                   auto lines = WithFieldAt(100, 10);
                   lines[90] = kFieldFold;
                   return lines;
                 }()},
        FoldsRow{"ThousandsOfProseFolds", Folds(3000)}),
    [](const testing::TestParamInfo<FoldsRow>& row) { return std::string(row.param.name); });

TEST(OrphanFolds, AFieldAskedForMidWalkLeavesTheFoldsAboveToBeAsked) {
  // A walk that asks (a line of prose it may go on over) and then goes on up.
  std::string text;
  text.append(kFieldFold).append("\r\n");
  const std::size_t prose = text.size();
  text.append(kProseFold).append("\r\n");
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 4096};
  OrphanFolds folds;
  folds.Add(prose, std::string_view(text.data() + prose, kProseFold.size()));
  EXPECT_EQ(folds.Field(buffer), kNone);
  folds.Add(0, std::string_view(text.data(), kFieldFold.size()));
  const std::size_t field = folds.Field(buffer);
  ASSERT_NE(field, kNone);
  EXPECT_EQ(text.substr(field, 10), "Message-Id");
}

}  // namespace
}  // namespace quillon
