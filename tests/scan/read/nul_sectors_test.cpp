// What the mark pass told of the sectors that may hold a NUL only spares the search bytes: with
// it, FindReadNul must answer what a search of every byte answers, wherever the NULs, the
// unreadable sectors and the marked stretches lie against each other and against the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scan/read/unreadable_sectors.h"
#include "source/source_test_files.h"

namespace quillon {
namespace {

constexpr std::size_t S = kSectorSize;
constexpr std::size_t kSourceSectors = 300;

// The sectors [first, first + count), marked as the chunk reader tells them: a bit for each
// sector that holds a NUL in `source`.
struct Marked {
  std::uint64_t first;
  std::uint64_t count;
};

struct SearchRow {
  std::string label;
  std::vector<std::size_t> nuls;        // absolute positions of the NULs read
  std::vector<SectorRange> unreadable;  // zeros that do not count
  std::vector<Marked> marked;           // told in this order
  std::uint64_t forgetBefore;           // sector; 0 for none
  std::size_t bufferBase;               // the buffer holds [bufferBase, bufferEnd) of the source
  std::size_t bufferEnd;
};

void PrintTo(const SearchRow& row, std::ostream* out) {
  *out << row.label;
}

std::vector<std::uint64_t> NulWords(const std::vector<std::uint8_t>& source, Marked marked) {
  std::vector<std::uint64_t> words((marked.count + 63) / 64, 0);
  for (std::uint64_t i = 0; i < marked.count; ++i) {
    const std::uint8_t* sector = source.data() + (marked.first + i) * S;
    bool nul = false;
    for (std::size_t b = 0; b < S; ++b) nul = nul || sector[b] == 0;
    if (nul) words[i / 64] |= std::uint64_t{1} << (i % 64);
  }
  return words;
}

// For each buffer index, the first NUL at or behind it outside the unreadable sectors, worked
// out byte by byte from the buffer's end back.
std::vector<std::size_t> PlainAnswers(const std::vector<std::uint8_t>& source,
                                      const SearchRow& row) {
  const std::size_t size = row.bufferEnd - row.bufferBase;
  std::vector<std::size_t> answers(size + 1, size);
  for (std::size_t i = size; i-- > 0;) {
    const std::size_t at = row.bufferBase + i;
    bool unread = false;
    for (const SectorRange& range : row.unreadable)
      unread = unread || (at / S >= range.first && at / S < range.End());
    answers[i] = source[at] == 0 && !unread ? i : answers[i + 1];
  }
  return answers;
}

// The row's source bytes (its NULs, its unreadable sectors' zeros) and what the reader learnt of
// them: the unreadable sectors, the marked sectors' NUL words, what was let go.
void PrepareRow(const SearchRow& row, std::vector<std::uint8_t>& source,
                UnreadableSectors& sectors) {
  source.assign(kSourceSectors * S, 'A');
  for (const std::size_t nul : row.nuls) source[nul] = 0;
  for (const SectorRange& range : row.unreadable)
    std::memset(source.data() + range.first * S, 0, range.count * S);
  sectors.Add(row.unreadable);
  for (const Marked& marked : row.marked)
    sectors.AddMarkedSectors(marked.first, marked.count, NulWords(source, marked), {});
  if (row.forgetBefore != 0) sectors.ForgetNulSectorsBefore(row.forgetBefore);
}

class FindReadNulTest : public testing::TestWithParam<SearchRow> {};

TEST_P(FindReadNulTest, AnswersAsASearchOfEveryByte) {
  const SearchRow& row = GetParam();
  std::vector<std::uint8_t> source;
  UnreadableSectors sectors;
  PrepareRow(row, source, sectors);

  const CarveBuffer buffer{source.data() + row.bufferBase, row.bufferEnd - row.bufferBase,
                           row.bufferBase, &sectors};
  const std::vector<std::size_t> plain = PlainAnswers(source, row);
  int asked = 0;
  // Every position near a NUL or a sector's edge, and a few in between.
  for (std::size_t from = 0; from < buffer.size; from += from % S < 3 ? 1 : 61) {
    ASSERT_EQ(FindReadNul(buffer, from, buffer.size), plain[from])
        << "from " << row.bufferBase + from;
    ++asked;
  }
  for (const std::size_t nul : row.nuls) {
    if (nul < row.bufferBase || nul >= row.bufferEnd) continue;
    for (std::size_t at : {nul - 1, nul, nul + 1}) {
      if (at < row.bufferBase || at >= row.bufferEnd) continue;
      const std::size_t from = at - row.bufferBase;
      EXPECT_EQ(FindReadNul(buffer, from, buffer.size), plain[from]) << "from " << at;
      // A search that stops short of the NUL does not see it.
      EXPECT_EQ(FindReadNul(buffer, from, from + 1), plain[from] == from ? from : from + 1)
          << "one byte from " << at;
    }
  }
  EXPECT_GT(asked, 100);
}

const SearchRow kSearchRows[] = {
    SearchRow{"NothingMarked", {5 * S + 7, 90 * S}, {}, {}, 0, 0, 200 * S},
    SearchRow{"AllMarkedNoNul", {}, {}, {{0, 128}, {128, 128}}, 0, 0, 256 * S},
    SearchRow{"NulsInMarkedSectors",
              {3 * S, 3 * S + 511, 64 * S + 100, 127 * S + 511, 128 * S, 200 * S + 9},
              {},
              {{0, 128}, {128, 128}},
              0,
              0,
              256 * S},
    // The buffer reaches beyond the marked sectors: there every byte is searched.
    SearchRow{"NulsBehindTheMarkedSectors",
              {10 * S + 1, 140 * S + 3, 250 * S},
              {},
              {{0, 128}},
              0,
              0,
              260 * S},
    // ... and in front of them, once the first ones are forgotten.
    SearchRow{"NulsInFrontOfWhatIsKept",
              {2 * S, 20 * S + 5, 70 * S + 8, 130 * S},
              {},
              {{0, 64}, {64, 64}, {128, 64}},
              64,
              S + 100,
              190 * S},
    SearchRow{"UnreadableSectorsAreNoNuls",
              {30 * S + 4, 31 * S + 500},
              {{10, 3}, {31, 1}, {100, 40}},
              {{0, 128}, {128, 128}},
              0,
              0,
              256 * S},
    // A stretch that does not follow the last one drops what was known before it.
    SearchRow{
        "MarkedOutOfTurn", {5 * S, 50 * S + 2, 150 * S}, {}, {{0, 64}, {128, 64}}, 0, 0, 256 * S},
    // Runs of sectors each holding a NUL, as zeros between mails.
    SearchRow{"RunsOfNulSectors",
              {40 * S, 41 * S, 42 * S, 43 * S, 44 * S + 511, 45 * S, 180 * S + 2},
              {{43, 2}},
              {{0, 100}, {100, 100}},
              0,
              20 * S + 3,
              199 * S + 17}};

INSTANTIATE_TEST_SUITE_P(Rows, FindReadNulTest, testing::ValuesIn(kSearchRows), test::RowLabel());

class LastMayHoldNulTest : public testing::TestWithParam<SearchRow> {};

// Looking back, stretch by stretch, the stretches told must hold every zero byte (a NUL read or
// an unreadable sector's zeros alike: both are edges to the look back), each lie inside what is
// still asked, and the look end only where no zero is left in front.
TEST_P(LastMayHoldNulTest, StretchesHoldEveryZeroInFront) {
  const SearchRow& row = GetParam();
  std::vector<std::uint8_t> source;
  UnreadableSectors sectors;
  PrepareRow(row, source, sectors);

  // lastZero[i]: one behind the last zero in front of absolute byte i, 0 for none.
  std::vector<std::size_t> lastZero(source.size() + 1, 0);
  for (std::size_t i = 1; i <= source.size(); ++i)
    lastZero[i] = source[i - 1] == 0 ? i : lastZero[i - 1];
  int asked = 0;
  for (std::size_t end = row.bufferBase + 1; end <= row.bufferEnd;
       end += end % S < 3 || end % S > S - 3 ? 1 : 67) {
    for (const std::size_t from : {row.bufferBase, end - std::min(end - row.bufferBase, 3 * S)}) {
      for (std::size_t rest = end;;) {
        const UnreadableSectors::ByteStretch stretch = sectors.LastMayHoldNul(from, rest);
        ++asked;
        ASSERT_GE(stretch.from, from) << "from " << from << " to " << rest;
        ASSERT_LE(stretch.to, rest) << "from " << from << " to " << rest;
        if (stretch.from >= stretch.to) {
          ASSERT_LE(lastZero[rest], from) << "a zero left out, from " << from << " to " << rest;
          break;
        }
        ASSERT_LE(lastZero[rest], stretch.to) << "a zero passed over behind " << stretch.to;
        rest = stretch.from;
      }
    }
  }
  EXPECT_GT(asked, 100);
}

INSTANTIATE_TEST_SUITE_P(Rows, LastMayHoldNulTest, testing::ValuesIn(kSearchRows),
                         test::RowLabel());

TEST(NulSectorsTest, LookingBackPassesOverSectorsWithoutNuls) {
  UnreadableSectors sectors;
  std::vector<std::uint64_t> words(2, 0);
  words[0] = std::uint64_t{1} << 5 | std::uint64_t{1} << 6;  // sectors 105 and 106
  sectors.AddMarkedSectors(100, 100, words, {});
  struct Row {
    const char* label;
    std::uint64_t from, end;
    std::uint64_t stretchFrom, stretchTo;
  } rows[] = {
      {"OverTextToTheMarkedSectors", 100 * S, 190 * S, 105 * S, 107 * S},
      {"EndingInsideThem", 100 * S, 106 * S + 3, 105 * S, 106 * S + 3},
      {"StartingInsideThem", 105 * S + 9, 190 * S, 105 * S + 9, 107 * S},
      {"NothingInFrontOfTheEnd", 107 * S, 190 * S, 107 * S, 107 * S},
      {"BehindWhatIsMarked", 150 * S, 300 * S, 200 * S, 300 * S},
      {"InFrontOfWhatIsMarked", 10 * S, 104 * S, 10 * S, 100 * S},
      {"AllInFrontOfIt", 10 * S, 90 * S, 10 * S, 90 * S},
  };
  for (const Row& row : rows) {
    const auto stretch = sectors.LastMayHoldNul(row.from, row.end);
    EXPECT_EQ(stretch.from, row.stretchFrom) << row.label;
    EXPECT_EQ(stretch.to, row.stretchTo) << row.label;
  }
  UnreadableSectors unmarked;
  EXPECT_EQ(unmarked.LastMayHoldNul(3, 900).from, 3u) << "no marks: every byte may";
  EXPECT_EQ(unmarked.LastMayHoldNul(3, 900).to, 900u) << "no marks: every byte may";
}

TEST(NulSectorsTest, StretchesReachOnlyAsFarAsAsked) {
  UnreadableSectors sectors;
  std::vector<std::uint64_t> words(2, 0);
  words[0] = std::uint64_t{1} << 5 | std::uint64_t{1} << 6;  // sectors 105 and 106
  sectors.AddMarkedSectors(100, 100, words, {});
  const auto stretch = sectors.MayHoldNul(100 * S, 300 * S);
  EXPECT_EQ(stretch.from, 105 * S);
  EXPECT_EQ(stretch.to, 107 * S);
  EXPECT_EQ(sectors.MayHoldNul(107 * S, 300 * S).from, 200 * S) << "behind what is marked";
  EXPECT_EQ(sectors.MayHoldNul(107 * S, 150 * S).from, 150 * S) << "nothing before the end";
  EXPECT_EQ(sectors.MayHoldNul(105 * S + 9, 106 * S).to, 106 * S);
  EXPECT_EQ(sectors.MayHoldNul(10 * S, 300 * S).to, 100 * S) << "in front of what is marked";
}

}  // namespace
}  // namespace quillon
