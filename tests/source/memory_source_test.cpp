#include "source/memory_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
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
