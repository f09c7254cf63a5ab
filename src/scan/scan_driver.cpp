#include "scan/scan_driver.h"

#include <algorithm>
#include <optional>

#include "scan/carve/mail_carver.h"
#include "scan/merge/record_merger.h"
#include "scan/parallel/task_thread.h"
#include "scan/read/chunk_reader.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/shape_scanner.h"
#include "source/rescue_reader.h"

namespace quillon {

namespace {

// The chunks a round looks at: the one carved and those behind it where the mails begun in it
// are followed to their ends.
constexpr std::size_t kChunksInSight = 7;
// ... and one more for the shape scan a round ahead, with room for the reading to run ahead.
static_assert(kChunksInSight + 1 < ChunkReader::kChunksHeld);

// The bytes of `held` up to the end of the chunks in sight from the chunk at `chunkStart` on;
// all of them at the source's end, with the zeros that stand behind it.
CarveBuffer BytesInSight(CarveBuffer held, std::uint64_t chunkStart, std::uint32_t chunkSectors,
                         std::uint64_t sourceEnd) {
  const std::uint64_t end = chunkStart + std::uint64_t{kChunksInSight} * chunkSectors * kSectorSize;
  if (end >= sourceEnd || end - held.base >= held.size) return held;
  held.size = static_cast<std::size_t>(end - held.base);
  return held;
}

}  // namespace

unsigned DefaultScanThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<SectorRange> RunScan(DataSource& source, const ScanOptions& options, ScanStatus& status,
                                 FoundMails& mails, ScanObserver& observer) {
  observer.OnScanStarted();
  observer.OnViewsReset(source.SourceName());
  mails.Clear();

  const std::uint64_t sourceSectors = source.TotalSectors();
  const std::uint64_t first = std::min(options.startSector, sourceSectors);
  const std::uint64_t last = first + std::min(options.sectorCount, sourceSectors - first);

  status.unsavedMails = false;
  status.scanning = true;
  status.currentSector = 0;
  status.totalSectors = last;
  status.foundCount = 0;
  observer.OnProgressRange(last);

  RecordMerger merger(status, mails, observer, source.SourceName(), options.strict,
                      options.ansiCodePage);
  MailCarver carver(source.SourceName(), merger, options.ansiCodePage, first * kSectorSize);
  if (!options.strict)
    carver.EndMailsAtNextBlocks(
        [&merger](std::uint64_t after) { return merger.NextBlockStart(after); });
  ShapeScanner shapes(options.ansiCodePage);
  // Store chains lead anywhere: their blocks are taken from the bytes in hand, else read from the
  // source (reads of it may run on two threads at once). Such a read gives the same bytes as the
  // chunk reader would, zeros for a failing sector included, so that a chain does not end at a
  // bad sector only when the reading had not come that far.
  const SourceBytesReader readSource = [&source](std::uint64_t offset, std::size_t count,
                                                 std::uint8_t* out) {
    return ReadBytesRescued(source, offset, count, out);
  };
  shapes.SetSourceReader(readSource);
  merger.SetSourceReader(readSource);

  UnreadableSectors unreadable;
  // A header block that begins in a chunk ends within the next one.
  const std::uint32_t chunkSectors = std::clamp<std::uint32_t>(
      options.chunkSectors, 2 * kMaxShapeHeaderBlock / kSectorSize, kChunkSectors * 2);
  ChunkReader reader(source, first, last, !options.strict, status.stopRequested, unreadable, true,
                     chunkSectors);
  const std::uint64_t sourceEnd = last * kSectorSize;
  // Looks at the header blocks that begin in `chunk`; its marks and the next chunk's (where
  // blocks that begin here name their sender) lead there.
  auto scanShapes = [&shapes](const ChunkReader::Chunk& chunk, const ChunkReader::Chunk* next,
                              CarveBuffer bytes) {
    ShapeMarks marks = *chunk.marks;
    if (next) {
      marks.anchors.insert(marks.anchors.end(), next->marks->anchors.begin(),
                           next->marks->anchors.end());
      marks.sizeFields.insert(marks.sizeFields.end(), next->marks->sizeFields.begin(),
                              next->marks->sizeFields.end());
    }
    ShapeFinds found;
    shapes.Scan(bytes, chunk.start, chunk.start + chunk.bytes, marks, found);
    return found;
  };

  if (options.digest) {
    for (const StoredHash& stored : source.Facts().storedHashes)
      if (const auto algorithm = DigestByName(stored.algorithm))
        options.digest->Include(*algorithm);
  }
  // A chunk is digested once, in source order: the first one in the first round, every later one
  // in the round before it is carved.
  auto digestChunk = [&](const ChunkReader::Chunk& chunk, CarveBuffer bytes) {
    const std::uint64_t end = std::min(chunk.start + chunk.bytes, source.SizeBytes());
    if (options.digest && end > chunk.start)
      options.digest->Add(bytes.data + (chunk.start - bytes.base), end - chunk.start);
  };

  // With threads to spare, the shape scan of the chunk after next runs beside the walk, so that
  // its finds are in hand when the round that needs them begins.
  const bool shapesAside = !options.strict && options.threads > 1;
  std::optional<TaskThread> shapeThread;
  if (shapesAside) shapeThread.emplace();
  ShapeFinds shapesAhead;  // the shape thread's finds, for the next round

  // Each round carves one chunk. Before that it looks for header blocks in the next chunk, with
  // the chunk after that for their ends, so that the walk knows where the next mail begins
  // before it reaches it.
  bool firstRound = true;
  while (!status.stopRequested.load()) {
    const std::size_t available = reader.WaitForChunks(kChunksInSight + (shapesAside ? 1 : 0));
    if (available == 0) break;
    const ChunkReader::Chunk current = reader.ChunkAt(0);
    const ChunkReader::Chunk next = available > 1 ? reader.ChunkAt(1) : ChunkReader::Chunk{};
    const ChunkReader::Chunk afterNext = available > 2 ? reader.ChunkAt(2) : ChunkReader::Chunk{};
    const std::uint64_t position = current.start / kSectorSize;
    observer.OnProgressPosition(position);
    status.currentSector = position;
    merger.PublishProgress();

    const CarveBuffer held = reader.Bytes();
    // Every look at the bytes of a round reaches equally far, however far the reading has come:
    // a mail's end that lies further on is then found in every run or in none.
    const CarveBuffer stable = BytesInSight(held, current.start, chunkSectors, sourceEnd);
    if (firstRound) digestChunk(current, stable);
    if (available > 1) digestChunk(next, stable);
    if (!options.strict) {
      if (firstRound)
        merger.AddCandidates(scanShapes(current, available > 1 ? &next : nullptr, stable));
      if (available > 1) {
        if (shapesAside && !firstRound)
          merger.AddCandidates(std::move(shapesAhead));
        else
          merger.AddCandidates(scanShapes(next, available > 2 ? &afterNext : nullptr, stable));
      }
      shapesAhead = {};
      if (shapesAside && available > 2) {
        const ChunkReader::Chunk third = available > 3 ? reader.ChunkAt(3) : ChunkReader::Chunk{};
        const CarveBuffer nextRounds = BytesInSight(held, next.start, chunkSectors, sourceEnd);
        shapeThread->Start([&, afterNext, third, nextRounds, hasThird = available > 3] {
          shapesAhead = scanShapes(afterNext, hasThird ? &third : nullptr, nextRounds);
        });
      }
    }
    firstRound = false;
    // Store chains are followed at the end through every block header seen, wherever it lies.
    if (!options.strict && current.marks)
      merger.IndexStoreBlocks(stable, current.start, current.start + current.bytes,
                              current.marks->sizeFields);

    carver.Walk(stable, current.start + current.bytes, status.stopRequested, current.lineBreaks);
    merger.Resolve(carver.Position(), stable);
    // The bytes the shape thread reads stay in the reader's hands until it is done.
    if (shapeThread) shapeThread->Wait();
    reader.LetGoOfFirst();
  }
  carver.Finish();
  merger.Finish(reader.Bytes(), status.stopRequested.load() ? carver.Position() : UINT64_MAX);
  std::vector<SectorRange> unreadableRanges = unreadable.Ranges();
  MarkDamagedMails(mails.Snapshot(), unreadable);

  status.currentSector = 0;
  status.totalSectors = 0;
  status.scanning = false;
  status.stopRequested = false;
  observer.OnUnreadableSectors(unreadableRanges);
  observer.OnScanFinished(status.foundCount.load());
  return unreadableRanges;
}

ScanResult RunScanOfSource(std::string_view sourceName, const ScanOptions& options,
                           ScanStatus& status, FoundMails& mails, ScanObserver& observer) {
  ScanResult result;
  DataSource source;
  if (!source.Open(sourceName)) {
    result.error = source.LastError();
    observer.OnScanFinished(status.foundCount.load());
    return result;
  }
  result.opened = true;
  result.sizeBytes = source.SizeBytes();
  result.facts = source.Facts();
  result.unreadable = RunScan(source, options, status, mails, observer);
  result.foundCount = static_cast<int>(mails.Count());
  return result;
}

std::thread StartScanThread(std::string sourceName, ScanOptions options, ScanStatus& status,
                            FoundMails& mails, ScanObserver& observer) {
  return std::thread([name = std::move(sourceName), options, &status, &mails, &observer] {
    RunScanOfSource(name, options, status, mails, observer);
  });
}

}  // namespace quillon
