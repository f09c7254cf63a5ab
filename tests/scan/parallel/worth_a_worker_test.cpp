// Which chunks go to a worker: those that hold, with the next one, as many shape marks as the
// scan's option asks for; every chunk of a scan that looked for no marks (--strict), whose
// workers only walk; and the last chunk, whose next one holds nothing, by its own marks.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "scan/parallel/chunks_ahead.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

struct WorthRow {
  const char* name;
  std::size_t chunkMarks;
  std::size_t nextMarks;
  bool marksLookedFor;
  bool nextHeld;  // false: the source ends with the chunk
  std::uint32_t fromMarks;
  bool worth;
};

void PrintTo(const WorthRow& row, std::ostream* out) {
  *out << row.name;
}

class WorthAWorkerTest : public ::testing::TestWithParam<WorthRow> {};

TEST_P(WorthAWorkerTest, HandsOverOnlyChunksWithMarksEnough) {
  const WorthRow& row = GetParam();
  ShapeMarks chunkMarks;
  ShapeMarks nextMarks;
  chunkMarks.anchors.assign(row.chunkMarks, 7);
  nextMarks.anchors.assign(row.nextMarks, 9);
  // Block size fields are no header blocks: they never make a chunk worth handing over.
  chunkMarks.sizeFields.assign(100, 3);
  const LineBreakMap lineBreaks(0, kChunkSectors * kSectorSize);
  ChunkReader::Chunk chunk{0, kChunkSectors * kSectorSize, &chunkMarks,
                           row.marksLookedFor ? &lineBreaks : nullptr};
  ChunkReader::Chunk next;
  if (row.nextHeld)
    next = {chunk.bytes, chunk.bytes, &nextMarks, row.marksLookedFor ? &lineBreaks : nullptr};
  EXPECT_EQ(WorthAWorker(chunk, next, row.fromMarks), row.worth);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, WorthAWorkerTest,
    ::testing::Values(WorthRow{"BothJustEnough", 40, 24, true, true, 64, true},
                      WorthRow{"OneShort", 40, 23, true, true, 64, false},
                      WorthRow{"AllInTheNext", 0, 64, true, true, 64, true},
                      WorthRow{"NoneAnywhere", 0, 0, true, true, 64, false},
                      WorthRow{"LastChunkOnItsOwn", 64, 0, true, false, 64, true},
                      WorthRow{"LastChunkShort", 63, 0, true, false, 64, false},
                      WorthRow{"StrictWithoutMarks", 0, 0, false, true, 64, true},
                      WorthRow{"EveryChunkWhenAskedForNone", 0, 0, true, true, 0, true},
                      WorthRow{"NoChunkWhenAskedForAll", 900, 900, true, true, UINT32_MAX, false}),
    RowName{});

}  // namespace
}  // namespace quillon
