// The finder remembers what its searches saw; whatever order the positions come in, and however
// the buffer moves and grows between questions, it must answer what a fresh search answers.
#include "scan/shape/read_nul_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/read/unreadable_sectors.h"

namespace quillon {
namespace {

constexpr std::size_t kSourceSize = 16 * kSectorSize;

// A view of the source bytes [kept, readTo), as the chunk reader hands them out.
struct View {
  std::size_t kept;
  std::size_t readTo;
};

struct Question {
  View view;
  std::size_t position;  // absolute
};

struct NulRow {
  const char* name;
  std::vector<std::size_t> nuls;        // absolute positions of the NULs in the source
  std::vector<SectorRange> unreadable;  // zeros that do not count
  std::vector<Question> questions;
};

class ReadNulFinderTest : public testing::TestWithParam<NulRow> {};

TEST_P(ReadNulFinderTest, AnswersAsAFreshSearch) {
  const NulRow& row = GetParam();
  std::vector<std::uint8_t> source(kSourceSize, 'x');
  for (const std::size_t nul : row.nuls) source[nul] = 0;
  UnreadableSectors unreadable;
  unreadable.Add(row.unreadable);
  for (const SectorRange& range : row.unreadable)
    for (std::uint64_t at = range.first * kSectorSize; at < range.End() * kSectorSize; ++at)
      source[at] = 0;

  ReadNulFinder finder;
  for (std::size_t i = 0; i < row.questions.size(); ++i) {
    const Question& question = row.questions[i];
    const CarveBuffer buffer{source.data() + question.view.kept,
                             question.view.readTo - question.view.kept, question.view.kept,
                             &unreadable};
    const std::size_t from = question.position - question.view.kept;
    EXPECT_EQ(finder.From(buffer, from), FindReadNul(buffer, from, buffer.size))
        << "question " << i << " at " << question.position;
  }
}

constexpr View kWhole{0, kSourceSize};
constexpr std::size_t S = kSectorSize;

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadNulFinderTest,
    testing::Values(
        NulRow{"NoNulAnywhere", {}, {}, {{kWhole, 10}, {kWhole, 500}, {kWhole, 5000}}},
        NulRow{"BeforeAndAtAndBehindTheNul",
               {3000},
               {},
               {{kWhole, 100}, {kWhole, 2999}, {kWhole, 3000}, {kWhole, 3001}, {kWhole, 200}}},
        NulRow{"NulsInTurn",
               {1000, 2000, 4000},
               {},
               {{kWhole, 0},
                {kWhole, 999},
                {kWhole, 1001},
                {kWhole, 1500},
                {kWhole, 2001},
                {kWhole, 3000}}},
        // An earlier position than the search began at has not been looked at.
        NulRow{"BackwardsPastTheSearch",
               {500, 3000},
               {},
               {{kWhole, 1000}, {kWhole, 400}, {kWhole, 1000}}},
        NulRow{"ZerosOfUnreadableSectorsDoNotCount",
               {6 * S + 10},
               {{2, 3}},
               {{kWhole, 10}, {kWhole, 2 * S + 7}, {kWhole, 5 * S}, {kWhole, 6 * S + 11}}},
        // The buffer reaches further after each chunk read: a search that ended at the
        // buffer's end goes on behind it, into sectors that could not be read too.
        NulRow{"BufferGrows",
               {9 * S + 3},
               {{4, 2}},
               {{{0, 2 * S}, 100},
                {{0, 4 * S}, 200},
                {{0, 5 * S}, 300},
                {{0, 8 * S}, 400},
                {{0, 12 * S}, 500},
                {{0, 12 * S}, 9 * S + 4}}},
        NulRow{"FrontLetGoAndEndReadOn",
               {3 * S, 11 * S},
               {},
               {{{0, 4 * S}, 10},
                {{2 * S, 6 * S}, 2 * S + 1},
                {{4 * S, 10 * S}, 4 * S + 5},
                {{6 * S, 12 * S}, 7 * S},
                {{8 * S, 14 * S}, 11 * S}}},
        // A NUL found in a wide buffer lies behind a narrower one given afterwards.
        NulRow{"NulBehindANarrowerBuffer",
               {10 * S},
               {},
               {{kWhole, 50}, {{0, 6 * S}, 60}, {kWhole, 70}}}),
    [](const testing::TestParamInfo<NulRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
