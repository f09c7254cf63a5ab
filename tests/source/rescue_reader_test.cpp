#include "source/rescue_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "source/memory_source.h"
#include "source/source_test_files.h"

namespace quillon {
namespace {

constexpr std::uint64_t kStretch = 2048;  // a scan chunk
constexpr std::uint32_t kPiece = 128;     // a scan read

struct Outcome {
  std::vector<std::uint8_t> bytes;
  std::vector<SectorRange> unreadable;
  std::uint64_t reads = 0;        // asked of the back end
  std::uint64_t readerCalls = 0;  // counted by the reader
};

std::vector<SectorRange> RangesOf(const std::set<std::uint64_t>& sectors, std::uint64_t below) {
  std::vector<SectorRange> ranges;
  for (std::uint64_t sector : sectors)
    if (sector < below) AppendSectorRange(ranges, sector, 1);
  return ranges;
}

// Reads a source of `sizeBytes` whole, stretch by stretch as a scan does.
Outcome ReadWhole(std::uint64_t sizeBytes, const std::set<std::uint64_t>& failing,
                  std::uint64_t stretch = kStretch) {
  auto counter = std::make_shared<ReadCounter>();
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(sizeBytes), failing, counter), "mem");
  RescueReader reader(source, kPiece);
  Outcome outcome;
  const std::uint64_t sectors = source.TotalSectors();
  outcome.bytes.assign(sectors * kSectorSize, 0xEE);
  for (std::uint64_t first = 0; first < sectors; first += stretch) {
    const std::uint64_t count = std::min(stretch, sectors - first);
    for (const SectorRange& range :
         reader.Read(outcome.bytes.data() + first * kSectorSize, first, count))
      AppendSectorRange(outcome.unreadable, range.first, range.count);
  }
  outcome.reads = counter->calls.load();
  outcome.readerCalls = reader.ReadCalls();
  return outcome;
}

void ExpectBytes(const Outcome& outcome, std::uint64_t sizeBytes,
                 const std::set<std::uint64_t>& failing) {
  const std::vector<std::uint8_t> expected = test::PatternBytes(sizeBytes);
  for (std::uint64_t sector = 0; sector * kSectorSize < outcome.bytes.size(); ++sector) {
    const bool bad = failing.count(sector) > 0;
    for (std::uint64_t i = sector * kSectorSize; i < (sector + 1) * kSectorSize; ++i) {
      const std::uint8_t want = bad || i >= sizeBytes ? 0 : expected[i];
      ASSERT_EQ(outcome.bytes[i], want) << "byte " << i << (bad ? " (unreadable sector)" : "");
    }
  }
}

struct FailingRow {
  const char* label;
  std::uint64_t sectors;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> failing;  // [first, end)
  std::uint64_t maxExtraReads;  // beyond one per failing sector and one per whole piece
};

class RescueReaderTest : public testing::TestWithParam<FailingRow> {};

// Only the sectors that fail are zeros, every one of them is reported, and the cost in reads
// stays near one per failing sector.
TEST_P(RescueReaderTest, ZeroesOnlyFailingSectorsAtAFewReadsEach) {
  const FailingRow& row = GetParam();
  std::set<std::uint64_t> failing;
  for (const auto& [first, end] : row.failing)
    for (std::uint64_t s = first; s < end; ++s) failing.insert(s);
  const std::uint64_t size = row.sectors * kSectorSize;
  const Outcome outcome = ReadWhole(size, failing);

  EXPECT_EQ(outcome.unreadable, RangesOf(failing, row.sectors));
  ExpectBytes(outcome, size, failing);
  EXPECT_EQ(outcome.reads, outcome.readerCalls);
  const std::uint64_t pieces = (row.sectors + kPiece - 1) / kPiece;
  EXPECT_LE(outcome.reads, failing.size() + pieces + row.maxExtraReads)
      << failing.size() << " failing sectors, " << pieces << " pieces";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RescueReaderTest,
    testing::Values(FailingRow{"NothingFails", 5000, {}, 0},
                    FailingRow{"FirstSector", 5000, {{0, 1}}, 10},
                    FailingRow{"LastSectorOfAPiece", 5000, {{127, 128}}, 10},
                    FailingRow{"FirstSectorOfAPiece", 5000, {{128, 129}}, 10},
                    FailingRow{"MiddleOfAPiece", 5000, {{1000, 1001}}, 10},
                    FailingRow{"LastSectorOfAStretch", 5000, {{2047, 2048}}, 10},
                    FailingRow{"FirstSectorOfAStretch", 5000, {{2048, 2049}}, 10},
                    FailingRow{"LastSectorOfTheSource", 5000, {{4999, 5000}}, 10},
                    FailingRow{"TwoInOnePiece", 5000, {{300, 301}, {350, 351}}, 25},
                    FailingRow{"RunAcrossPieces", 5000, {{100, 300}}, 30},
                    FailingRow{"RunAcrossStretches", 9000, {{2000, 4200}}, 40},
                    FailingRow{"WholeSource", 3000, {{0, 3000}}, 40},
                    FailingRow{
                        "EveryOtherSector", 600, {{10, 11}, {12, 13}, {14, 10}, {16, 17}}, 30}),
    test::RowLabel());

// A dead region of 100,000 sectors costs one read per sector and a few more: the skip crosses
// the region without reading it piece by piece, and the way back reads it sector by sector.
TEST(RescueReaderCostTest, DeadRegionCostsFewReadsBeyondOnePerSector) {
  constexpr std::uint64_t kDeadFirst = 10'000;
  constexpr std::uint64_t kDead = 100'000;
  constexpr std::uint64_t kSectors = 130'000;
  std::set<std::uint64_t> failing;
  for (std::uint64_t s = kDeadFirst; s < kDeadFirst + kDead; ++s) failing.insert(s);
  const Outcome outcome = ReadWhole(kSectors * kSectorSize, failing);

  EXPECT_EQ(outcome.unreadable, (std::vector<SectorRange>{{kDeadFirst, kDead}}));
  const std::uint64_t readablePieces = (kSectors - kDead) / kPiece;
  // The readable sectors cost what they cost without the region, give or take the edges.
  EXPECT_LE(outcome.reads, kDead + readablePieces + 60) << "reads " << outcome.reads;
  ExpectBytes(outcome, kSectors * kSectorSize, failing);
}

// 100 sectors spread at random: each costs a few reads, never a piece's worth.
TEST(RescueReaderCostTest, ScatteredSectorsCostAFewReadsEach) {
  constexpr std::uint64_t kSectors = 200'000;
  std::mt19937_64 random(17);
  std::set<std::uint64_t> failing;
  while (failing.size() < 100) failing.insert(random() % kSectors);
  const Outcome outcome = ReadWhole(kSectors * kSectorSize, failing);

  EXPECT_EQ(outcome.unreadable, RangesOf(failing, kSectors));
  const std::uint64_t pieces = kSectors / kPiece;
  EXPECT_LE(outcome.reads, pieces + 20 * failing.size()) << "reads " << outcome.reads;
  ExpectBytes(outcome, kSectors * kSectorSize, failing);
}

TEST(RescueReaderTest, TrailingPartialSectorComesZeroPadded) {
  constexpr std::uint64_t kSize = 3 * kSectorSize + 100;
  const Outcome outcome = ReadWhole(kSize, {1});
  ASSERT_EQ(outcome.bytes.size(), 4 * kSectorSize);
  EXPECT_EQ(outcome.unreadable, (std::vector<SectorRange>{{1, 1}}));
  ExpectBytes(outcome, kSize, {1});
}

TEST(RescueReaderTest, SettledGrowsToTheWholeStretchBehindEveryFailure) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(kStretch * kSectorSize), {5, 700}),
                     "mem");
  RescueReader reader(source, kPiece);
  std::vector<std::uint8_t> buffer(kStretch * kSectorSize);
  std::vector<std::uint64_t> told;
  const auto unreadable =
      reader.Read(buffer.data(), 0, kStretch, [&](std::uint64_t n) { told.push_back(n); });
  EXPECT_EQ(unreadable, (std::vector<SectorRange>{{5, 1}, {700, 1}}));
  ASSERT_FALSE(told.empty());
  EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
  EXPECT_EQ(told.back(), kStretch);
}

TEST(RescueReaderTest, StopLeavesZerosAndListsNothingUnread) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(kStretch * kSectorSize), {300}), "mem");
  RescueReader reader(source, kPiece);
  std::vector<std::uint8_t> buffer(kStretch * kSectorSize, 0xEE);
  std::atomic<bool> stop{false};
  // Stop as soon as the first pieces are in.
  const auto unreadable = reader.Read(
      buffer.data(), 0, kStretch, [&](std::uint64_t n) { stop = n >= 2 * kPiece; }, &stop);
  EXPECT_TRUE(unreadable.empty());
  EXPECT_TRUE(std::all_of(buffer.begin() + 2 * kPiece * kSectorSize, buffer.end(),
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_LE(reader.ReadCalls(), 3u);
}

struct BytesRow {
  const char* label;
  std::uint64_t offset;
  std::size_t count;
  bool read;  // what ReadBytesRescued answers
};

class ReadBytesRescuedTest : public testing::TestWithParam<BytesRow> {};

// A short read across a failing sector gives the bytes of every other sector and zeros for that
// one, as a scan chunk does; only a stretch past the last sector makes it fail.
TEST_P(ReadBytesRescuedTest, ZeroesOnlyTheFailingSector) {
  constexpr std::uint64_t kSize = 8 * kSectorSize + 100;
  const std::set<std::uint64_t> failing = {3};
  const BytesRow& row = GetParam();
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(kSize), failing), "mem");
  std::vector<std::uint8_t> out(row.count, 0xEE);
  ASSERT_EQ(ReadBytesRescued(source, row.offset, row.count, out.data()), row.read);
  if (!row.read) return;
  const std::vector<std::uint8_t> expected = test::PatternBytes(kSize);
  for (std::size_t i = 0; i < row.count; ++i) {
    const std::uint64_t at = row.offset + i;
    const bool bad = failing.count(at / kSectorSize) > 0;
    ASSERT_EQ(out[i], bad || at >= kSize ? 0 : expected[at]) << "byte " << at;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadBytesRescuedTest,
    testing::Values(BytesRow{"Sound", 100, 600, true},
                    BytesRow{"AcrossTheFailingSector", 3 * kSectorSize - 16, kSectorSize + 32,
                             true},
                    BytesRow{"InsideTheFailingSector", 3 * kSectorSize + 16, 16, true},
                    BytesRow{"UpToThePartialEnd", 2 * kSectorSize, 6 * kSectorSize + 100, true},
                    BytesRow{"IntoThePartialSectorsPadding", 8 * kSectorSize, 200, true},
                    BytesRow{"PastTheLastSector", 8 * kSectorSize + 50, 600, false}),
    [](const testing::TestParamInfo<BytesRow>& row) { return std::string(row.param.label); });

TEST(SectorRangesTest, AppendMergesTouchingRangesAndTextCompressesThem) {
  std::vector<SectorRange> ranges;
  AppendSectorRange(ranges, 1000, 100);
  AppendSectorRange(ranges, 1100, 28);
  AppendSectorRange(ranges, 5000, 1);
  AppendSectorRange(ranges, 5000, 1);
  AppendSectorRange(ranges, 7000, 0);
  EXPECT_EQ(ranges, (std::vector<SectorRange>{{1000, 128}, {5000, 1}}));
  EXPECT_EQ(SectorCount(ranges), 129u);
  EXPECT_EQ(SectorRangesText(ranges), "1000-1127, 5000");
  EXPECT_EQ(SectorRangesText({}), "");
}

}  // namespace
}  // namespace quillon
