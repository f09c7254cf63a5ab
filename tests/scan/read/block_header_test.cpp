// The search for the block header a line runs into looks for the mark byte rather than probing
// each aligned place: it must name the same header the probing names, at the edges of its span,
// of the buffer and of the source's 4-byte grid.
#include "scan/read/block_header.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

// The plain probe of every 4-aligned place in the span.
std::size_t ProbeEachAlignedPlace(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                  std::uint64_t lineStartPosition) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - lineStartPosition % 4) % 4);
  for (std::size_t k = 0; k < kHeaderSearchSpan; k += 4) {
    const std::size_t header = aligned + k;
    if (header + kBlockHeaderSize > size) return kNoBlockHeader;
    if (HasBlockHeaderMark(data + header + kBlockHeaderMarkOffset)) return header;
  }
  return kNoBlockHeader;
}

void PutMark(std::vector<std::uint8_t>& bytes, std::size_t header) {
  bytes[header + kBlockHeaderMarkOffset] = 0x02;
  bytes[header + kBlockHeaderMarkOffset + 1] = 0x00;
  bytes[header + kBlockHeaderMarkOffset + 2] = 0x00;
}

struct HeaderAheadRow {
  const char* name;
  std::size_t size;
  std::size_t lineStart;
  std::uint64_t lineStartPosition;
  std::vector<std::size_t> marks;      // block headers whose mark is put in
  std::vector<std::size_t> strayTwos;  // single 02 bytes followed by text
  std::size_t expected;
};

class FindBlockHeaderAheadTest : public testing::TestWithParam<HeaderAheadRow> {};

TEST_P(FindBlockHeaderAheadTest, NamesTheFirstHeaderOnTheGrid) {
  const HeaderAheadRow& row = GetParam();
  std::vector<std::uint8_t> bytes(row.size, 'x');
  for (const std::size_t header : row.marks) PutMark(bytes, header);
  for (const std::size_t stray : row.strayTwos) bytes[stray] = 0x02;
  EXPECT_EQ(FindBlockHeaderAhead(bytes.data(), bytes.size(), row.lineStart, row.lineStartPosition),
            row.expected);
  EXPECT_EQ(ProbeEachAlignedPlace(bytes.data(), bytes.size(), row.lineStart, row.lineStartPosition),
            row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindBlockHeaderAheadTest,
    testing::Values(
        HeaderAheadRow{"NoMark", 1024, 100, 100, {}, {}, kNoBlockHeader},
        HeaderAheadRow{"AtTheLineStart", 1024, 100, 100, {100}, {}, 100},
        HeaderAheadRow{"OffTheGrid", 1024, 100, 100, {102}, {}, kNoBlockHeader},
        // The grid is the source's: a line start at index 100 that lies at position 101 has its
        // first aligned place 3 bytes on.
        HeaderAheadRow{"GridOfTheSource", 1024, 100, 101, {103}, {}, 103},
        HeaderAheadRow{"LastPlaceOfTheSpan",
                       1024,
                       100,
                       100,
                       {100 + kHeaderSearchSpan - 4},
                       {},
                       100 + kHeaderSearchSpan - 4},
        HeaderAheadRow{
            "BeyondTheSpan", 1024, 100, 100, {100 + kHeaderSearchSpan}, {}, kNoBlockHeader},
        HeaderAheadRow{"FirstOfTwo", 1024, 100, 100, {140, 120}, {}, 120},
        HeaderAheadRow{"StrayTwosBeforeIt", 1024, 100, 100, {160}, {105, 109, 117, 130}, 160},
        HeaderAheadRow{"TwoOffTheGridBeforeIt", 1024, 100, 100, {101, 160}, {}, 160},
        HeaderAheadRow{"WholeHeaderAtBufferEnd", 116, 0, 0, {100}, {}, 100},
        HeaderAheadRow{"HeaderRunsPastBufferEnd", 115, 0, 0, {96, 100}, {}, 96},
        HeaderAheadRow{"OnlyHeaderRunsPastBufferEnd", 115, 0, 0, {100}, {}, kNoBlockHeader},
        HeaderAheadRow{"LineStartTooNearTheEnd", 40, 30, 30, {}, {}, kNoBlockHeader}),
    [](const testing::TestParamInfo<HeaderAheadRow>& row) { return std::string(row.param.name); });

// Bytes full of 02s and zeros, the worst case for a search by the mark byte, at every line start
// and every grid phase.
TEST(FindBlockHeaderAheadSweep, AgreesWithTheProbeOverRandomBytes) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(4096);
  for (auto& byte : bytes) {
    const unsigned roll = random() % 8;
    byte = roll < 3 ? 0x02 : roll < 6 ? 0x00 : static_cast<std::uint8_t>(random());
  }
  for (std::size_t lineStart = 0; lineStart < bytes.size(); ++lineStart)
    for (std::uint64_t phase = 0; phase < 4; ++phase) {
      const std::uint64_t position = 1'000'000 + lineStart + phase;
      ASSERT_EQ(FindBlockHeaderAhead(bytes.data(), bytes.size(), lineStart, position),
                ProbeEachAlignedPlace(bytes.data(), bytes.size(), lineStart, position))
          << "line start " << lineStart << ", phase " << phase;
    }
}

// A walk asks line after line, forwards, now and then back, and once behind a header it found:
// the search that remembers the bytes free of the mark byte names what the probe names.
struct WalkRow {
  const char* name;
  unsigned twosInAThousand;   // how many bytes are 02, per thousand
  unsigned marksInAThousand;  // how many 4-aligned places get a header's mark
};

void PrintTo(const WalkRow& row, std::ostream* out) {
  *out << row.name;
}

class FindBlockHeaderAheadWalk : public testing::TestWithParam<WalkRow> {};

TEST_P(FindBlockHeaderAheadWalk, RemembersOnlyWhatHoldsNoMarkByte) {
  const WalkRow& row = GetParam();
  std::mt19937 random(11);
  std::vector<std::uint8_t> bytes(64 * 1024);
  for (auto& byte : bytes)
    byte = random() % 1000 < row.twosInAThousand ? 0x02 : static_cast<std::uint8_t>('a');
  for (std::size_t place = 0; place + kBlockHeaderSize <= bytes.size(); place += 4)
    if (random() % 1000 < row.marksInAThousand) PutMark(bytes, place);
  MarkFreeBytes free;
  std::size_t lineStart = 0;
  for (int step = 0; step < 20000 && lineStart < bytes.size(); ++step) {
    const std::uint64_t position = 1'000'000 + lineStart + step % 4;
    const std::size_t expected =
        ProbeEachAlignedPlace(bytes.data(), bytes.size(), lineStart, position);
    ASSERT_EQ(FindBlockHeaderAhead(bytes.data(), bytes.size(), lineStart, position, free), expected)
        << "step " << step << ", line start " << lineStart;
    const unsigned roll = random() % 16;
    if (roll == 0 && lineStart > 300)
      lineStart -= random() % 300;  // back
    else if (roll == 1 && expected != kNoBlockHeader)
      lineStart = expected + kBlockHeaderSize;  // behind the header stepped over
    else
      lineStart += 1 + random() % 120;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindBlockHeaderAheadWalk,
    testing::Values(WalkRow{"TextWithoutTwos", 0, 0}, WalkRow{"StrayTwos", 5, 0},
                    WalkRow{"StrayTwosAndHeaders", 5, 3}, WalkRow{"ManyTwosFewHeaders", 200, 1},
                    WalkRow{"HeadersEverywhere", 0, 200}),
    [](const testing::TestParamInfo<WalkRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
