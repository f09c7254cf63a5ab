#include "output/byte_run_tracing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/memory_source.h"
#include "source/source_test_files.h"

namespace quillon {
namespace {

// A source of 4 sectors: sector n holds the letter 'a' + n, except byte 700, a control byte.
std::vector<std::uint8_t> SourceBytes() {
  std::vector<std::uint8_t> bytes(4 * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>('a' + i / 512);
  bytes[700] = 0x03;
  return bytes;
}

struct TraceRow {
  std::string label;
  std::string text;
  TextOrigin origin;
  std::vector<ByteRun> expected;
};

class TraceByteRunsTest : public testing::TestWithParam<TraceRow> {};

TEST_P(TraceByteRunsTest, GivesTheTextBackExactly) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(SourceBytes()), "memory");
  const TraceRow& row = GetParam();
  const std::vector<ByteRun> runs = TraceByteRuns(row.text, row.origin, source);
  EXPECT_EQ(runs, row.expected);
  // Whatever the rows say, the runs must rebuild the text from the source.
  const std::vector<std::uint8_t> bytes = SourceBytes();
  std::string rebuilt;
  for (const ByteRun& run : runs) {
    ASSERT_EQ(run.fileOffset, rebuilt.size());
    if (run.fill)
      rebuilt.append(run.length, static_cast<char>(run.fillByte));
    else
      rebuilt.append(bytes.begin() + static_cast<std::ptrdiff_t>(run.imageOffset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(run.imageOffset + run.length));
  }
  EXPECT_EQ(rebuilt, row.text);
}

std::string Repeat(char c, std::size_t count) {
  return std::string(count, c);
}

INSTANTIATE_TEST_SUITE_P(
    Origins, TraceByteRunsTest,
    testing::Values(
        TraceRow{"OnePiece", Repeat('a', 100), {{{0, 10, 100}}, {}}, {{0, 10, 100, false, 0}}},
        // Two store pieces that follow each other in the source are one run.
        TraceRow{"PiecesThatFollowOnMerge",
                 Repeat('a', 12) + Repeat('b', 20),
                 {{{0, 500, 12}, {12, 512, 20}}, {}},
                 {{0, 500, 32, false, 0}}},
        // A block header between them stays out of the runs.
        TraceRow{"PiecesAroundAHeader",
                 Repeat('a', 12) + Repeat('b', 20),
                 {{{0, 500, 12}, {12, 528, 20}}, {}},
                 {{0, 500, 12, false, 0}, {12, 528, 20, false, 0}}},
        // The reader hands a control byte out as a blank: that byte is a fill run.
        TraceRow{"ControlByteSavedAsBlank",
                 Repeat('b', 4) + " " + Repeat('b', 5),
                 {{{0, 696, 10}}, {}},
                 {{0, 696, 4, false, 0}, {4, 0, 1, true, ' '}, {5, 701, 5, false, 0}}},
        // Unreadable bytes are zeros in the text and are not read again.
        TraceRow{"UnreadableStretch",
                 Repeat('c', 3) + std::string(4, '\0') + Repeat('c', 3),
                 {{{0, 1100, 10}}, {{3, 7}}},
                 {{0, 1100, 3, false, 0}, {3, 0, 4, true, 0}, {7, 1107, 3, false, 0}}},
        // Bytes beyond the source's end are not the source's.
        TraceRow{"PastTheSourceEnd",
                 Repeat('d', 2) + std::string(3, '\0'),
                 {{{0, 2046, 5}}, {}},
                 {{0, 2046, 2, false, 0}, {2, 0, 3, true, 0}}},
        // Text no piece places is still given back, by fills.
        TraceRow{"NoOrigin", "xxyy", {}, {{0, 0, 2, true, 'x'}, {2, 0, 2, true, 'y'}}}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
