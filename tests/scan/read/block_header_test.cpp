#include "scan/read/block_header.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillon {
namespace {

// The plain walk over every 4-aligned place: the search that looks for the 02 byte first must
// agree with it everywhere.
std::size_t ReferenceFind(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                          std::uint64_t lineStartPosition) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  for (std::size_t k = 0; k < kHeaderSearchSpan; k += 4) {
    const std::size_t header = aligned + k;
    if (header + kBlockHeaderSize > size) return kNoBlockHeader;
    if (HasBlockHeaderMark(data + header + kBlockHeaderMarkOffset)) return header;
  }
  return kNoBlockHeader;
}

struct SearchRow {
  const char* name;
  std::size_t size;
  int marksPerKiB;      // 02 00 00 put at random places, aligned or not
  int strayPerKiB;      // 02 bytes without the zeros behind them
  std::uint64_t base;   // the chunk's source position (its remainder by 4 shifts alignment)
  std::size_t maxStep;  // how far the walk goes from one line to the next
};

class FindBlockHeaderAheadTest : public testing::TestWithParam<SearchRow> {};

std::vector<std::uint8_t> RandomText(const SearchRow& row, std::mt19937& random) {
  std::vector<std::uint8_t> data(row.size);
  for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>('a' + random() % 26);
  const std::size_t kib = row.size / 1024 + 1;
  for (std::size_t i = 0; i < kib * static_cast<std::size_t>(row.strayPerKiB); ++i)
    data[random() % row.size] = 0x02;
  for (std::size_t i = 0; i < kib * static_cast<std::size_t>(row.marksPerKiB); ++i) {
    const std::size_t at = random() % row.size;
    for (std::size_t j = 0; j < 3 && at + j < row.size; ++j) data[at + j] = j == 0 ? 0x02 : 0;
  }
  return data;
}

TEST_P(FindBlockHeaderAheadTest, AgreesWithThePlainWalk) {
  const SearchRow& row = GetParam();
  std::mt19937 random(static_cast<unsigned>(row.size + row.base));
  for (int round = 0; round < 20; ++round) {
    const std::vector<std::uint8_t> data = RandomText(row, random);
    std::size_t lineStart = 0;
    while (lineStart <= row.size) {
      const std::size_t expected =
          ReferenceFind(data.data(), data.size(), lineStart, row.base + lineStart);
      ASSERT_EQ(FindBlockHeaderAhead(data.data(), data.size(), lineStart, row.base + lineStart),
                expected)
          << "round " << round << ", line at " << lineStart;
      // Lines of every length, the same line asked twice among them.
      lineStart += random() % (row.maxStep + 1);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindBlockHeaderAheadTest,
    testing::Values(
        SearchRow{"PlainText", 4096, 0, 0, 0, 80}, SearchRow{"StrayMarkBytes", 4096, 0, 40, 1, 80},
        SearchRow{"FewHeaders", 4096, 2, 4, 2, 80}, SearchRow{"ManyHeaders", 4096, 30, 10, 3, 40},
        SearchRow{"ShortLines", 2048, 4, 4, 0, 8}, SearchRow{"LongJumps", 8192, 3, 3, 1, 600},
        SearchRow{"SmallerThanAHeader", 12, 1, 1, 2, 3},
        SearchRow{"EndsWithinTheSpan", 100, 5, 5, 3, 7},
        SearchRow{"FarIntoTheSource", 4096, 4, 4, (1ULL << 33) + 2, 60}),
    [](const testing::TestParamInfo<SearchRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
