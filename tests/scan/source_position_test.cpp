// Positions at, below and above each sector boundary, and beyond 2^32 sectors, where a 32-bit
// sector number would wrap.
#include "scan/source_position.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/test_helpers.h"

namespace quillon {
namespace {

constexpr std::uint64_t kBeyond32Bits = (std::uint64_t{1} << 32) * 512;

struct PositionRow {
  std::string name;
  std::uint64_t byte;
  std::uint64_t sector;
  std::uint16_t offset;
  bool sectorStart;
  std::uint64_t nextSectorStart;
};

class SourcePositionTest : public ::testing::TestWithParam<PositionRow> {};

TEST_P(SourcePositionTest, SplitsAndJoinsTheByte) {
  const PositionRow& row = GetParam();
  const SectorPosition position = SectorPositionOf(row.byte);
  EXPECT_EQ(position.sector, row.sector);
  EXPECT_EQ(position.offset, row.offset);
  EXPECT_EQ(SectorOf(row.byte), row.sector);
  EXPECT_EQ(ByteOf(position), row.byte);
  EXPECT_EQ(IsSectorStart(row.byte), row.sectorStart);
  EXPECT_EQ(SectorStartFrom(row.byte), row.nextSectorStart);
  EXPECT_EQ(WholeSectors(row.byte), row.sector * 512);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SourcePositionTest,
    ::testing::Values(PositionRow{"SourceStart", 0, 0, 0, true, 0},
                      PositionRow{"FirstByteBehindStart", 1, 0, 1, false, 512},
                      PositionRow{"LastByteOfFirstSector", 511, 0, 511, false, 512},
                      PositionRow{"SecondSector", 512, 1, 0, true, 512},
                      PositionRow{"BehindSecondSectorStart", 513, 1, 1, false, 1024},
                      PositionRow{"ChunkEnd", 2048 * 512, 2048, 0, true, 2048 * 512},
                      PositionRow{"Beyond32BitSectors", kBeyond32Bits + 7, std::uint64_t{1} << 32,
                                  7, false, kBeyond32Bits + 512},
                      PositionRow{"Last32BitSector", kBeyond32Bits - 1,
                                  (std::uint64_t{1} << 32) - 1, 511, false, kBeyond32Bits}),
    test::RowName{});

}  // namespace
}  // namespace quillon
