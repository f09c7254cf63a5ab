#include "source/memory_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "source/source_test_files.h"

namespace quillon {
namespace {

constexpr std::uint64_t kSectors = 8;
constexpr std::uint64_t kFailingSector = 3;

struct ReadRow {
  const char* label;
  std::uint64_t offset;
  std::size_t count;
  std::int64_t expected;  // bytes delivered, or -1
};

class MemoryBackendReadTest : public testing::TestWithParam<ReadRow> {};

TEST_P(MemoryBackendReadTest, FailsExactlyWhenAFailingSectorIsTouched) {
  const ReadRow& row = GetParam();
  const std::vector<std::uint8_t> bytes = test::PatternBytes(kSectors * kSectorSize);
  auto backend = MakeMemoryBackend(bytes, {kFailingSector});
  ASSERT_EQ(backend->SizeBytes(), bytes.size());

  std::vector<std::uint8_t> buffer(row.count + 1, 0xEE);
  EXPECT_EQ(backend->ReadAt(buffer.data(), row.count, row.offset), row.expected);
  for (std::int64_t i = 0; i < row.expected; ++i)
    ASSERT_EQ(buffer[static_cast<std::size_t>(i)], bytes[row.offset + static_cast<std::size_t>(i)])
        << "byte " << i;
  // Nothing is written past what arrived.
  const std::size_t untouchedFrom = row.expected > 0 ? static_cast<std::size_t>(row.expected) : 0;
  for (std::size_t i = untouchedFrom; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE);
}

constexpr std::uint64_t kFailStart = kFailingSector * kSectorSize;

INSTANTIATE_TEST_SUITE_P(
    Rows, MemoryBackendReadTest,
    testing::Values(
        ReadRow{"FirstSector", 0, kSectorSize, kSectorSize},
        ReadRow{"EndsJustBeforeFailingSector", 0, kFailStart,
                static_cast<std::int64_t>(kFailStart)},
        ReadRow{"EndsOneByteIntoFailingSector", 0, kFailStart + 1, -1},
        ReadRow{"FailingSectorItself", kFailStart, kSectorSize, -1},
        ReadRow{"LastByteOfFailingSector", kFailStart + kSectorSize - 1, 1, -1},
        ReadRow{"StartsJustAfterFailingSector", kFailStart + kSectorSize, kSectorSize, kSectorSize},
        ReadRow{"SpansFailingSector", 2 * kSectorSize, 3 * kSectorSize, -1},
        ReadRow{"ShortAtEnd", (kSectors - 1) * kSectorSize, 2 * kSectorSize, kSectorSize},
        ReadRow{"AtEnd", kSectors* kSectorSize, kSectorSize, 0},
        ReadRow{"PastEnd", (kSectors + 5) * kSectorSize, kSectorSize, 0},
        ReadRow{"NothingAskedOfFailingSector", kFailStart, 0, 0}),
    test::RowLabel());

TEST(MemoryBackendTest, FailingSectorBeyondTheBytesFailsReadsThere) {
  auto backend = MakeMemoryBackend(std::vector<std::uint8_t>(kSectorSize, 1), {1});
  std::vector<std::uint8_t> buffer(2 * kSectorSize);
  EXPECT_EQ(backend->ReadAt(buffer.data(), kSectorSize, 0), kSectorSize);
  EXPECT_EQ(backend->ReadAt(buffer.data(), 2 * kSectorSize, 0), -1);
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// Byte reads across sector boundaries, up to the last byte and not beyond it.
TEST(DataSourceReadBytesTest, ReadsAnyStretchInsideTheSource) {
  std::vector<std::uint8_t> bytes(3 * kSectorSize + 100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes), "bytes");
  std::vector<std::uint8_t> out(600);
  ASSERT_TRUE(source.ReadBytes(500, out.size(), out.data()));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 500));
  ASSERT_TRUE(source.ReadBytes(bytes.size() - 10, 10, out.data()));
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 10, bytes.end() - 10));
  EXPECT_FALSE(source.ReadBytes(bytes.size() + 512, 10, out.data())) << "beyond the source";
  EXPECT_FALSE(source.ReadBytes(0, 0, out.data())) << "nothing to read";
}

// The bytes of the last sector past the source's end read as zeros, whatever the memory the read
// went through held before.
struct PastTheEndRow {
  const char* name;
  std::uint64_t offset;  // from the source's last byte on
  std::size_t count;
};

void PrintTo(const PastTheEndRow& row, std::ostream* out) {
  *out << row.name;
}

class DataSourceReadBytesPastTheEndTest : public testing::TestWithParam<PastTheEndRow> {};

TEST_P(DataSourceReadBytesPastTheEndTest, ReadsZerosThere) {
  const PastTheEndRow& row = GetParam();
  std::vector<std::uint8_t> bytes(3 * kSectorSize + 100, 0xA5);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes), "bytes");
  std::vector<std::uint8_t> out(row.count, 0x5A);
  // A read of as many sectors first leaves its bytes in memory the next read may be given.
  ASSERT_TRUE(source.ReadBytes(0, row.count, out.data()));
  const std::uint64_t at = bytes.size() - 1 + row.offset;
  ASSERT_TRUE(source.ReadBytes(at, row.count, out.data()));
  for (std::size_t i = 0; i < row.count; ++i)
    EXPECT_EQ(out[i], at + i < bytes.size() ? 0xA5 : 0) << "byte " << at + i;
}

INSTANTIATE_TEST_SUITE_P(Rows, DataSourceReadBytesPastTheEndTest,
                         testing::Values(PastTheEndRow{"FromTheLastByte", 0, 412},
                                         PastTheEndRow{"FromBehindIt", 1, 411},
                                         PastTheEndRow{"OneByteBehindIt", 200, 1},
                                         PastTheEndRow{"AcrossTwoSectors", 0 - 600ULL, 1012}),
                         [](const testing::TestParamInfo<PastTheEndRow>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// A stretch is read in up to three parts (the sector it begins inside, the whole sectors, the
// sector it ends inside): whatever the parts, the bytes are the source's, and a failing sector
// under any part fails the read.
struct StretchRow {
  const char* name;
  std::uint64_t offset;
  std::size_t count;
  std::int64_t failingSector;  // -1: none
  bool read;
};

void PrintTo(const StretchRow& row, std::ostream* out) {
  *out << row.name;
}

class DataSourceReadBytesPartsTest : public testing::TestWithParam<StretchRow> {};

TEST_P(DataSourceReadBytesPartsTest, ReadsTheSourcesBytes) {
  const StretchRow& row = GetParam();
  constexpr std::size_t S = kSectorSize;
  std::vector<std::uint8_t> bytes(8 * S + 77);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
  std::set<std::uint64_t> failing;
  if (row.failingSector >= 0) failing.insert(static_cast<std::uint64_t>(row.failingSector));
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes, failing), "bytes");
  // Guards on both sides catch a part written out of place.
  std::vector<std::uint8_t> out(row.count + 2 * S, 0xEE);
  ASSERT_EQ(source.ReadBytes(row.offset, row.count, out.data() + S), row.read);
  for (std::size_t i = 0; i < S; ++i) {
    ASSERT_EQ(out[i], 0xEE) << "written in front, byte " << i;
    ASSERT_EQ(out[S + row.count + i], 0xEE) << "written behind, byte " << i;
  }
  if (!row.read) return;
  for (std::size_t i = 0; i < row.count; ++i) {
    const std::uint64_t at = row.offset + i;
    ASSERT_EQ(out[S + i], at < bytes.size() ? bytes[at] : 0) << "byte " << at;
  }
}

constexpr std::size_t kS = kSectorSize;
INSTANTIATE_TEST_SUITE_P(
    Rows, DataSourceReadBytesPartsTest,
    testing::Values(StretchRow{"WholeSectors", 2 * kS, 3 * kS, -1, true},
                    StretchRow{"InsideOneSector", 3 * kS + 10, 100, -1, true},
                    StretchRow{"ToASectorsEnd", 3 * kS + 10, kS - 10, -1, true},
                    StretchRow{"FromASectorsStartShort", 3 * kS, kS - 1, -1, true},
                    StretchRow{"AcrossOneBoundary", 3 * kS + 500, 30, -1, true},
                    StretchRow{"HeadWholeAndTail", kS + 7, 4 * kS + 9, -1, true},
                    StretchRow{"WholeThenTail", kS, 2 * kS + 300, -1, true},
                    StretchRow{"HeadThenWhole", kS + 300, 3 * kS - 300, -1, true},
                    StretchRow{"IntoThePartialLastSector", 7 * kS + 100, kS - 23, -1, true},
                    StretchRow{"WholeIntoTheLastSector", 6 * kS, 2 * kS + 77, -1, true},
                    StretchRow{"PastTheSourcesEnd", 7 * kS + 100, kS + 50, -1, true},
                    StretchRow{"FailingHead", kS + 7, 4 * kS + 9, 1, false},
                    StretchRow{"FailingMiddle", kS + 7, 4 * kS + 9, 3, false},
                    StretchRow{"FailingTail", kS + 7, 4 * kS + 9, 5, false},
                    StretchRow{"FailingSectorBehind", kS + 7, 4 * kS + 9, 6, true}),
    [](const testing::TestParamInfo<StretchRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
