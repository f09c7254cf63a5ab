// The remembering search for where a mail around a position can begin gives what the plain
// look back gives, over bytes with and without NULs, a window that moves on and positions
// asked out of order, with and without the sectors that may hold one told.
#include "scan/merge/nul_search.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "scan/read/unreadable_sectors.h"
#include "scan/source_position.h"

namespace quillon {
namespace {

struct FinderRow {
  const char* name;
  std::size_t windowSize;  // bytes in the buffer at a time
  std::size_t windowStep;  // how far the window moves on between rounds (its base)
  int nulEvery;            // one byte in this many is a NUL; 0: none
  bool outOfOrder;         // some positions are asked behind the last one
  // The sectors that may hold a NUL are told for the source's first this many bytes (a multiple
  // of 64 sectors), as the mark pass tells them; 0: not at all.
  std::size_t markedBytes = 0;
};

// The sectors of source's first `bytes` that hold a zero, one bit each, as the chunk reader
// tells them.
void MarkNulSectors(const std::vector<std::uint8_t>& source, std::size_t bytes,
                    UnreadableSectors& sectors) {
  const std::size_t count = bytes / kSectorSize;
  std::vector<std::uint64_t> words((count + 63) / 64, 0);
  for (std::size_t at = 0; at < bytes; ++at)
    if (source[at] == 0)
      words[at / kSectorSize / 64] |= std::uint64_t{1} << (at / kSectorSize % 64);
  sectors.AddMarkedSectors(0, count, words, {});
}

// Names the row in failure messages and test lists.
void PrintTo(const FinderRow& row, std::ostream* out) {
  *out << row.name;
}

class ContainerStartFinderTest : public testing::TestWithParam<FinderRow> {};

TEST_P(ContainerStartFinderTest, AgreesWithThePlainLookBack) {
  const FinderRow& row = GetParam();
  std::mt19937 random(7);
  constexpr std::size_t kSourceSize = 12 << 20;
  std::vector<std::uint8_t> source(kSourceSize);
  for (auto& byte : source) {
    byte = static_cast<std::uint8_t>('a' + random() % 26);
    if (row.nulEvery > 0 && random() % static_cast<unsigned>(row.nulEvery) == 0) byte = 0;
  }
  UnreadableSectors marks;
  if (row.markedBytes > 0) MarkNulSectors(source, row.markedBytes, marks);
  ContainerStartFinder finder;
  std::size_t checked = 0;
  std::uint64_t at = 0;
  std::uint64_t lastAsked = 0;
  for (std::uint64_t base = 0; base + row.windowSize <= kSourceSize; base += row.windowStep) {
    const CarveBuffer plain{source.data() + base, row.windowSize, base, nullptr};
    const CarveBuffer buffer{plain.data, plain.size, base, row.markedBytes > 0 ? &marks : nullptr};
    at = std::max<std::uint64_t>(at, base);
    // Positions through this window, ascending, now and then one behind.
    for (; at < base + row.windowSize; at += 1 + random() % 200'000) {
      std::uint64_t asked = at;
      if (row.outOfOrder && random() % 4 == 0)
        asked = lastAsked - std::min<std::uint64_t>(lastAsked, 1 + random() % 5000);
      lastAsked = asked;
      const std::uint64_t expected = ContainerStartsFrom(plain, asked);
      ASSERT_EQ(finder.StartsFrom(buffer, asked), expected)
          << "asked " << asked << " in window at " << base;
      ASSERT_EQ(ContainerStartsFrom(buffer, asked), expected)
          << "asked " << asked << " in window at " << base;
      // Whether a NUL lies between a position behind and the one asked, looked for forwards
      // over the sectors told.
      if (row.markedBytes > 0) {
        const std::uint64_t behind = std::max<std::uint64_t>(
            base, asked - std::min<std::uint64_t>(asked, random() % 600'000));
        ASSERT_EQ(NulBetween(buffer, behind, asked), NulBetween(plain, behind, asked))
            << "from " << behind << " to " << asked;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 20u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ContainerStartFinderTest,
    testing::Values(FinderRow{"NoNulsWindowWiderThanLookBack", 6 << 20, 1 << 20, 0, false},
                    FinderRow{"NoNulsNarrowWindow", 3 << 20, 1 << 20, 0, false},
                    FinderRow{"RareNuls", 6 << 20, 1 << 20, 3'000'000, false},
                    FinderRow{"FrequentNuls", 6 << 20, 1 << 20, 50'000, false},
                    FinderRow{"WindowJumpsAhead", 1 << 20, 3 << 20, 0, false},
                    FinderRow{"AskedOutOfOrder", 6 << 20, 1 << 20, 3000, true},
                    // Where the sectors that may hold a NUL are told, only those are read; behind
                    // what is told, every byte is.
                    FinderRow{"MarkedNoNuls", 6 << 20, 1 << 20, 0, false, 8 << 20},
                    FinderRow{"MarkedRareNuls", 6 << 20, 1 << 20, 3'000'000, false, 8 << 20},
                    FinderRow{"MarkedFrequentNuls", 3 << 20, 1 << 20, 50'000, true, 8 << 20},
                    FinderRow{"MarkedWindowJumpsAhead", 1 << 20, 3 << 20, 1'000'000, false,
                              8 << 20}),
    [](const testing::TestParamInfo<FinderRow>& row) { return std::string(row.param.name); });

// A NUL a mail program let into a line of text is no edge of a mail: the searches pass over it
// and stop at the zeros of a file's end.
TEST(NulSearchTest, StrayNulsAreNoEdges) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::string before;  // bytes in front of the position asked
    bool nulBetween;
    std::size_t startsFrom;  // index where a mail around the position can begin
  } rows[] = {
      {"NoNul", "Subject: a b\r\n\r\ntext\r\n"s, false, 0},
      {"NulInASubject", "Subject: a\0b\r\n\r\ntext\r\n"s, false, 0},
      {"NulsInBodyLines", "S: a\r\n\r\nsome\0\0 text\r\nmore\0 text\r\n"s, false, 0},
      {"ZerosOfAFileEnd", "old mail\r\n\0\0\0\0\0\0\0\0From: x\r\n"s, true, 18},
      {"ZerosThenAStrayOne", "old\r\n\0\0\0\0\0Subject: a\0b\r\n"s, true, 10},
      {"NulAtALineStart", "a line\r\n\0next line\r\n"s, true, 9},
      {"NulAmidBinaryBytes", "ab\x01\x02\x03\0\x04z\r\n"s, true, 6},
  };
  for (const Row& row : rows) {
    const std::string bytes = row.before + "Received: x\r\n";
    const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0,
                             nullptr};
    const std::uint64_t at = row.before.size();
    EXPECT_EQ(NulBetween(buffer, 0, at), row.nulBetween) << row.name;
    EXPECT_EQ(ContainerStartsFrom(buffer, at), row.startsFrom) << row.name;
    ContainerStartFinder finder;
    EXPECT_EQ(finder.StartsFrom(buffer, at), row.startsFrom) << row.name;
  }
}

}  // namespace
}  // namespace quillon
