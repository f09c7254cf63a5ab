// The reader hands over every chunk once, in order, with the bytes the source holds (zeros for
// the reads that fail) and the marks a single look over the whole source finds, however
// far it runs ahead and whichever thread marks.
#include "scan/read/chunk_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "scan/carve/mail_carver.h"
#include "scan/scan_driver.h"
#include "source/memory_source.h"

namespace quillon {
namespace {

std::vector<std::uint8_t> SourceBytes(std::size_t size) {
  std::mt19937 random(11);
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  // Header lines, line breaks and store size fields here and there, some across pieces and
  // chunks.
  for (std::size_t at = 1000; at + 40 < size; at += 37'000 + random() % 70'000) {
    const std::string line = "\r\nFrom: a@x\r\nDate: today\r\n";
    std::copy(line.begin(), line.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    const std::size_t field = (at + 64) / 4 * 4;
    bytes[field] = 0x10;
    bytes[field + 1] = 0x02;
    bytes[field + 2] = 0;
    bytes[field + 3] = 0;
  }
  return bytes;
}

// The bytes are held in a ring or in a buffer whose bytes are moved; both go round several times.
// A scan that waits for every chunk gets the pieces read left to it to mark; one that is busy
// whenever a piece is read leaves them to the reader.
struct ReaderRow {
  const char* name;
  bool ring;
  std::chrono::microseconds busyPerChunk;
};

class ChunkReaderTest : public testing::TestWithParam<ReaderRow> {};

TEST_P(ChunkReaderTest, HandsOverEveryChunkInOrderWithItsMarks) {
  const std::size_t size = 61 * kChunkSectors * kSectorSize + 5 * kSectorSize + 100;
  std::vector<std::uint8_t> bytes = SourceBytes(size);
  // A lone bad sector, a run across a chunk boundary, and a dead region over three chunks.
  const std::vector<SectorRange> bad = {{3 * kChunkSectors + 7, 1},
                                        {10 * kChunkSectors - 1, 3},
                                        {20 * kChunkSectors + 100, 2 * kChunkSectors + 3000}};
  std::set<std::uint64_t> badSectors;
  for (const SectorRange& range : bad)
    for (std::uint64_t s = range.first; s < range.End(); ++s) badSectors.insert(s);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes, badSectors), "reader.img");
  // What the scan should see: the bad sectors alone as zeros, the partial sector zero-padded.
  std::vector<std::uint8_t> expected = bytes;
  for (const std::uint64_t sector : badSectors)
    std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize), kSectorSize,
                0);
  expected.resize((size + kSectorSize - 1) / kSectorSize * kSectorSize, 0);
  ShapeMarks whole;
  FindShapeMarks(CarveBuffer{expected.data(), expected.size(), 0}, 0, expected.size(), whole);
  ASSERT_FALSE(whole.anchors.empty());
  ASSERT_FALSE(whole.sizeFields.empty());

  for (bool findMarks : {true, false}) {
    std::atomic<bool> stop{false};
    UnreadableSectors unreadable;
    ChunkReader reader(source, 0, source.TotalSectors(), findMarks, stop, unreadable,
                       GetParam().ring);
    std::uint64_t next = 0;
    ShapeMarks joined;
    while (std::size_t available = reader.WaitForChunks(3)) {
      const ChunkReader::Chunk chunk = reader.ChunkAt(0);
      ASSERT_EQ(chunk.start, next);
      const CarveBuffer held = reader.Bytes();
      ASSERT_EQ(held.unreadable, &unreadable);
      // Every unreadable sector of a chunk is known when it is handed over.
      for (const SectorRange& range : bad) {
        if (range.first * kSectorSize >= chunk.start + chunk.bytes) continue;
        EXPECT_GE(unreadable.StretchEndAt(range.first * kSectorSize),
                  std::min(range.End() * kSectorSize, chunk.start + chunk.bytes));
      }
      ASSERT_LE(held.base, chunk.start);
      ASSERT_GE(held.base + held.size, chunk.start + chunk.bytes);
      EXPECT_TRUE(std::equal(held.data + (chunk.start - held.base),
                             held.data + (chunk.start - held.base + chunk.bytes),
                             expected.begin() + static_cast<std::ptrdiff_t>(chunk.start)))
          << chunk.start;
      if (available < 3) {
        EXPECT_EQ(held.base + held.size, expected.size() + kCarveLookAhead);
      }
      joined.anchors.insert(joined.anchors.end(), chunk.marks->anchors.begin(),
                            chunk.marks->anchors.end());
      joined.sizeFields.insert(joined.sizeFields.end(), chunk.marks->sizeFields.begin(),
                               chunk.marks->sizeFields.end());
      EXPECT_EQ(chunk.lineBreaks != nullptr, findMarks);
      next = chunk.start + chunk.bytes;
      reader.LetGoOfFirst();
      std::this_thread::sleep_for(GetParam().busyPerChunk);
    }
    EXPECT_EQ(next, expected.size()) << "every sector, the partial one too";
    EXPECT_EQ(unreadable.Ranges(), bad);
    if (findMarks) {
      EXPECT_EQ(joined.anchors, whole.anchors);
      EXPECT_EQ(joined.sizeFields, whole.sizeFields);
    } else {
      EXPECT_TRUE(joined.anchors.empty() && joined.sizeFields.empty());
    }
  }
}

TEST_P(ChunkReaderTest, AStopEndsTheReading) {
  const std::vector<std::uint8_t> bytes = SourceBytes(40 * kChunkSectors * kSectorSize);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes), "stop.img");
  std::atomic<bool> stop{false};
  UnreadableSectors unreadable;
  ChunkReader reader(source, 0, source.TotalSectors(), true, stop, unreadable, GetParam().ring);
  ASSERT_EQ(reader.WaitForChunks(3), 3u);
  stop = true;
  std::size_t handedOver = 0;
  while (reader.WaitForChunks(3) > 0) {
    reader.LetGoOfFirst();
    ++handedOver;
  }
  EXPECT_LT(handedOver, 40u);
}

INSTANTIATE_TEST_SUITE_P(
    Holding, ChunkReaderTest,
    testing::Values(ReaderRow{"Ring", true, {}},
                    ReaderRow{"RingOfABusyScan", true, std::chrono::microseconds(300)},
                    ReaderRow{"MovedBuffer", false, {}},
                    ReaderRow{"MovedBufferOfABusyScan", false, std::chrono::microseconds(300)}),
    [](const testing::TestParamInfo<ReaderRow>& param) { return param.param.name; });

// However large its chunks, the reader holds as many as the scan may wait for at once, each with
// the source's bytes, and the bytes in front of the first that mails found there are followed
// into; with the ring sized to just that, a reader that ran out of room would never hand over
// the last chunk waited for.
struct HeldChunksRow {
  const char* name;
  bool ring;
  std::uint32_t chunkSectors;
};

class ChunkReaderHoldingTest : public testing::TestWithParam<HeldChunksRow> {};

TEST_P(ChunkReaderHoldingTest, HoldsEveryChunkInSightWithItsBytes) {
  const HeldChunksRow& row = GetParam();
  const std::size_t chunkBytes = std::size_t{row.chunkSectors} * kSectorSize;
  // Enough chunks that the reading goes round the ring at least twice.
  const std::size_t chunks = 2 * (ChunkReader::kChunksHeld +
                                  (2 * kChunkSectors + row.chunkSectors - 1) / row.chunkSectors);
  const std::vector<std::uint8_t> bytes = SourceBytes(chunks * chunkBytes + 3 * kSectorSize);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(bytes), "held.img");
  std::atomic<bool> stop{false};
  UnreadableSectors unreadable;
  ChunkReader reader(source, 0, source.TotalSectors(), true, stop, unreadable, row.ring,
                     row.chunkSectors);
  constexpr std::size_t kWaitedFor = ChunkReader::kChunksHeld - 1;
  std::uint64_t next = 0;
  std::size_t rounds = 0;
  while (std::size_t available = reader.WaitForChunks(kWaitedFor)) {
    ++rounds;
    if (next + kWaitedFor * chunkBytes < bytes.size()) {
      ASSERT_EQ(available, kWaitedFor);
    }
    const CarveBuffer held = reader.Bytes();
    const ChunkReader::Chunk first = reader.ChunkAt(0);
    ASSERT_EQ(first.start, next);
    const std::uint64_t keptFrom =
        first.start >= kChunkSectors * kSectorSize ? first.start - kChunkSectors * kSectorSize : 0;
    ASSERT_LE(held.base, keptFrom);
    const ChunkReader::Chunk last = reader.ChunkAt(available - 1);
    const std::uint64_t end = std::min<std::uint64_t>(last.start + last.bytes, bytes.size());
    ASSERT_GE(held.base + held.size, end);
    EXPECT_TRUE(std::equal(held.data + (keptFrom - held.base), held.data + (end - held.base),
                           bytes.begin() + static_cast<std::ptrdiff_t>(keptFrom)))
        << "round " << rounds << " at " << first.start;
    next = first.start + first.bytes;
    reader.LetGoOfFirst();
  }
  EXPECT_GE(next, bytes.size());
  EXPECT_EQ(rounds, chunks + 1);
}

INSTANTIATE_TEST_SUITE_P(
    ChunkSizes, ChunkReaderHoldingTest,
    testing::Values(HeldChunksRow{"RingOfSmallestChunks", true, kReadSectors},
                    HeldChunksRow{"RingOfOddChunks", true, 3 * kReadSectors},
                    HeldChunksRow{"RingOfUsualChunks", true, kChunkSectors},
                    HeldChunksRow{"RingOfLargestChunks", true, 2 * kChunkSectors},
                    HeldChunksRow{"MovedBufferOfSmallestChunks", false, kReadSectors},
                    HeldChunksRow{"MovedBufferOfLargestChunks", false, 2 * kChunkSectors}),
    [](const testing::TestParamInfo<HeldChunksRow>& param) { return param.param.name; });

// A source whose reads take a while, as a page-cached disk image does whose copy out of the
// cache takes the reader's core: the scan is then quicker than the reading.
class SlowBackend final : public SourceBackend {
 public:
  SlowBackend(std::vector<std::uint8_t> bytes, std::chrono::microseconds perRead)
      : inner_(MakeMemoryBackend(std::move(bytes))), perRead_(perRead) {}
  std::uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    std::this_thread::sleep_for(perRead_);
    return inner_->ReadAt(buffer, count, offset);
  }

 private:
  std::unique_ptr<SourceBackend> inner_;
  std::chrono::microseconds perRead_;
};

// A scan that needs `count` chunks goes on as soon as those are ready, and learns of as many
// more as are ready then, up to `atMost`: it never waits for those, nor is told of one that is
// not read and marked.
struct WaitRow {
  const char* name;
  std::size_t count;
  std::size_t atMost;
  std::chrono::microseconds perRead;
  bool findMarks = true;
};

void PrintTo(const WaitRow& row, std::ostream* out) {
  *out << row.name;
}

class ChunkReaderWaitTest : public testing::TestWithParam<WaitRow> {};

TEST_P(ChunkReaderWaitTest, CountsTheChunksReadyWithoutWaitingForMore) {
  const WaitRow& row = GetParam();
  constexpr std::size_t kChunks = 24;
  const std::size_t chunkBytes = std::size_t{kChunkSectors} * kSectorSize;
  const std::vector<std::uint8_t> bytes = SourceBytes(kChunks * chunkBytes + 7 * kSectorSize);
  const std::size_t end = bytes.size();
  DataSource source;
  source.OpenBackend(std::make_unique<SlowBackend>(bytes, row.perRead), "slow.img");
  std::atomic<bool> stop{false};
  UnreadableSectors unreadable;
  ChunkReader reader(source, 0, source.TotalSectors(), row.findMarks, stop, unreadable);
  const std::size_t most = std::max(row.count, row.atMost);
  std::uint64_t next = 0;
  std::size_t fewerThanMost = 0;  // rounds told of fewer chunks than they might use, before the end
  for (;;) {
    const ChunkReader::Held held = reader.WaitForChunks(row.count, row.atMost);
    ASSERT_LE(held.chunks, most);
    if (!held.all) {
      ASSERT_GE(held.chunks, row.count) << "went on before the chunks it needs were ready";
      if (held.chunks < most) ++fewerThanMost;
    }
    if (held.chunks == 0 && !held.all) {  // only where none was needed
      ASSERT_EQ(row.count, 0u);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
      continue;
    }
    if (held.chunks == 0) break;
    // A look that does not wait counts at least the chunks counted before.
    const ChunkReader::Held now = reader.WaitForChunks(0, row.atMost);
    ASSERT_GE(now.chunks, held.chunks);
    ASSERT_LE(now.chunks, most);
    const CarveBuffer view = reader.Bytes();
    for (std::size_t i = 0; i < now.chunks; ++i) {
      const ChunkReader::Chunk chunk = reader.ChunkAt(i);
      ASSERT_EQ(chunk.start, next + i * chunkBytes);
      ASSERT_EQ(chunk.marks != nullptr && chunk.lineBreaks != nullptr, row.findMarks);
      const std::uint64_t to = std::min<std::uint64_t>(chunk.start + chunk.bytes, end);
      ASSERT_GE(view.base + view.size, to);
      ASSERT_TRUE(std::equal(view.data + (chunk.start - view.base), view.data + (to - view.base),
                             bytes.begin() + static_cast<std::ptrdiff_t>(chunk.start)))
          << "chunk " << i << " at " << chunk.start;
    }
    if (now.all) {
      const ChunkReader::Chunk last = reader.ChunkAt(now.chunks - 1);
      EXPECT_GE(last.start + last.bytes, end) << "told it had all chunks before the last";
    }
    next = reader.ChunkAt(0).start + reader.ChunkAt(0).bytes;
    reader.LetGoOfFirst();
  }
  EXPECT_GE(next, end);
  // Where the reading is slower than the scan, most rounds could use more than they wait for.
  if (row.perRead.count() > 0 && row.count < most) {
    EXPECT_GT(fewerThanMost, kChunks / 2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reading, ChunkReaderWaitTest,
    testing::Values(WaitRow{"AsManyAsItNeeds", 7, 7, {}}, WaitRow{"FewerThanItMayUse", 7, 10, {}},
                    WaitRow{"NoneNeeded", 0, 10, {}},
                    WaitRow{"SlowReadingFewerThanItMayUse", 2, 10, std::chrono::microseconds(1500)},
                    WaitRow{"SlowReadingNoneNeeded", 0, 6, std::chrono::microseconds(1500)},
                    WaitRow{"SlowReadingWithoutMarks", 1, 9, std::chrono::microseconds(1500),
                            false}),
    [](const testing::TestParamInfo<WaitRow>& param) { return param.param.name; });

}  // namespace
}  // namespace quillon
