#include "scan/scan_driver.h"

#include <algorithm>
#include <optional>

#include "scan/carve/mail_carver.h"
#include "scan/merge/record_merger.h"
#include "scan/parallel/chunks_ahead.h"
#include "scan/read/chunk_reader.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/shape_scanner.h"
#include "source/rescue_reader.h"

namespace quillon {

namespace {

// The chunks a round looks at: the one carved and those behind it where the mails begun in it
// are followed to their ends.
constexpr std::size_t kChunksInSight = 7;
// The most workers, and the most works ahead in hand whatever their number: each walks one of
// the chunks behind the current one, and the chunks in sight of the last of them are held, with
// room for the reading to run ahead. With fewer workers than that, a worker done early goes on
// with the next chunk while this thread still waits for the one before: with two workers and
// three works in hand, a worker done early often found nothing queued and slept until this
// thread had taken the work before and queued the next.
constexpr unsigned kMostWorkers = 3;
constexpr unsigned kWorksInHand = 4;
static_assert(kChunksInSight + kWorksInHand < ChunkReader::kChunksHeld);

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
  const std::uint64_t chunkBytes = std::uint64_t{chunkSectors} * kSectorSize;

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

  // With threads to spare, workers walk later chunks afresh and scan their shapes while this
  // thread carves the current one; it walks each chunk itself only until it meets the walk
  // ahead. The work ahead reads bytes held over several rounds: they must not move meanwhile.
  const unsigned workers =
      options.threads > 1 && reader.BytesStayPut() ? std::min(options.threads, kMostWorkers) : 0;
  const unsigned inHand = workers > 0 ? std::max(workers, kWorksInHand) : 0;
  std::optional<ChunksAhead> ahead;
  if (workers > 0)
    ahead.emplace(workers, inHand, options.strict ? nullptr : &shapes,
                  std::string(source.SourceName()), options.ansiCodePage, status.stopRequested);
  std::uint64_t round = 0;        // the index of the chunk carved, from the scan's first
  std::uint64_t nextWork = 0;     // the first chunk whose work ahead is not started yet
  std::uint64_t shapesNoted = 0;  // the last chunk whose shape finds the works ahead may take
  // The walk ahead of the chunk before, met at that chunk's end.
  std::unique_ptr<WalkAhead> walkedOnFrom;

  // Each round carves one chunk. Before that it looks for header blocks in the next chunk, with
  // the chunk after that for their ends, so that the walk knows where the next mail begins
  // before it reaches it.
  for (; !status.stopRequested.load(); ++round) {
    // A round waits only for the chunks in sight of its own chunk, and starts the works ahead
    // of those chunks whose bytes in sight are read by then. Where the reading is what holds the
    // scan back (big attachments: the copy out of the page cache takes a core), this thread then
    // carves the chunk itself as soon as it is read, and the reader keeps its lead; a worker is
    // given chunks only when this thread falls behind the reading. Waiting for the bytes of
    // every work in hand took all but one chunk of the reader's lead and woke a worker for
    // chunks that this thread, idle, would have carved as fast. The first round waits for all
    // of them: the workers have nothing to do before it. A round whose chunk is in a worker's
    // hands waits for one chunk more, the last in sight of the next chunk, so that the next
    // chunk's work begins in this round: where the reading runs ahead (dense mail), a chunk it
    // was late for would otherwise be carved here, and the one behind it too, as its work waits
    // for the shapes this thread scans then, while the workers had nothing to do.
    const bool workedAhead = ahead && ahead->Started(round);
    const std::size_t waitedFor = kChunksInSight + (round == 0 ? inHand : workedAhead ? 1 : 0);
    const ChunkReader::Held ready = reader.WaitForChunks(waitedFor, kChunksInSight + inHand);
    const std::size_t available = ready.chunks;
    if (available == 0) break;
    const ChunkReader::Chunk current = reader.ChunkAt(0);
    const ChunkReader::Chunk next = available > 1 ? reader.ChunkAt(1) : ChunkReader::Chunk{};
    const ChunkReader::Chunk afterNext = available > 2 ? reader.ChunkAt(2) : ChunkReader::Chunk{};
    const std::uint64_t position = current.start / kSectorSize;
    observer.OnProgressPosition(position);
    status.currentSector = position;
    merger.PublishProgress();

    CarveBuffer held = reader.Bytes();
    // Every look at the bytes of a round reaches equally far, however far the reading has come:
    // a mail's end that lies further on is then found in every run or in none.
    const CarveBuffer stable = BytesInSight(held, current.start, chunkSectors, sourceEnd);
    if (round == 0) digestChunk(current, stable);
    if (available > 1) digestChunk(next, stable);

    auto scanHere = [&](std::uint64_t index, const ChunkReader::Chunk& chunk,
                        const ChunkReader::Chunk* behind) {
      ShapeFinds found = ScanChunkShapes(shapes, chunk, behind, stable);
      if (ahead) ahead->NoteShapes(index, found);
      return found;
    };
    // The work ahead of the chunks whose bytes in sight are all here: so they are the bytes the
    // round of that chunk will see. Where those reach the source's end, that is every byte
    // held, the zeros behind the end included, once the reading has ended and every chunk is
    // ready; the work ahead needs a next chunk to scan.
    ChunkReader::Held readyForWorks = ready;
    auto startWorks = [&](std::uint64_t lastWork) {
      const std::size_t read = readyForWorks.chunks;
      const bool allRead = readyForWorks.all;
      for (; ahead && nextWork <= lastWork; ++nextWork) {
        const std::size_t at = static_cast<std::size_t>(nextWork - round);
        if (at + 1 >= read) break;
        const ChunkReader::Chunk chunk = reader.ChunkAt(at);
        std::uint64_t sightEnd = chunk.start + kChunksInSight * chunkBytes;
        if (sightEnd >= sourceEnd) {
          if (!allRead) break;
          sightEnd = held.base + held.size;
        } else if (at + kChunksInSight > read) {
          break;
        }
        const ChunkReader::Chunk following = reader.ChunkAt(at + 1);
        // This thread walks the chunk and scans the next one's shapes in its round instead.
        if (!WorthAWorker(chunk, following, options.handOverFromMarks)) continue;
        // Behind a chunk carved here, the work waits for the shapes this thread scans in that
        // chunk's round: begun before, it would only put a worker to sleep once more.
        if (!options.strict && nextWork > shapesNoted && !ahead->Started(nextWork - 1)) break;
        const std::uint64_t from = at > 0 ? reader.ChunkAt(at - 1).start : held.base;
        const CarveBuffer bytes{held.data + (from - held.base), sightEnd - from, from,
                                held.unreadable};
        ahead->Start({nextWork, chunk, following,
                      at + 2 < read ? reader.ChunkAt(at + 2) : ChunkReader::Chunk{}, bytes});
      }
    };
    // The first chunk is walked ahead too, once its shapes are known: the shape scan of the next
    // chunk and the walk then run on a worker while the others begin the chunks behind, rather
    // than on this thread while the workers wait for those shapes.
    if (round == 0) {
      if (!options.strict)
        merger.AddCandidates(scanHere(0, current, available > 1 ? &next : nullptr));
      startWorks(round + inHand - 1);
    }

    std::optional<ChunksAhead::Done> done;
    if (ahead && ahead->Started(round)) {
      done = ahead->Take(round);
      merger.AddPreparedBodies(std::move(done->bodies));
    }
    if (!options.strict && available > 1) {
      merger.AddCandidates(done ? std::move(done->nextShapes)
                                : scanHere(round + 1, next, available > 2 ? &afterNext : nullptr));
      shapesNoted = round + 1;
    }
    // Store chains are followed at the end through every block header seen, wherever it lies.
    if (!options.strict && current.marks)
      merger.IndexStoreBlocks(stable, current.start, current.start + current.bytes,
                              current.marks->sizeFields);

    nextWork = std::max(nextWork, round + 1);
    // More may have been read while this thread took the work of its chunk: the chunks read by
    // now stay put, as does every byte in front of them, so their works can begin at once
    // rather than a round later, when this thread would have to carve the next chunk itself.
    if (ahead && !readyForWorks.all && readyForWorks.chunks < kChunksInSight + inHand) {
      readyForWorks = reader.WaitForChunks(0, kChunksInSight + inHand);
      held = reader.Bytes();
    }
    startWorks(round + inHand);

    const std::uint64_t walkEnd = current.start + current.bytes;
    // Standing as the walk ahead of the chunk before stood at that chunk's end, the walk from the
    // start goes on where that walk went on into this chunk, where they walked alike.
    if (walkedOnFrom) {
      if (!status.stopRequested.load())
        if (MailCarver* walkedOn = walkedOnFrom->WalkedOn(merger.NextBlockStart(walkEnd - 1)))
          carver.TakeWalkFrom(*walkedOn);
      walkedOnFrom.reset();
    }
    bool met = false;
    if (done && done->walk)
      met = done->walk->CarryOn(carver, merger, stable, walkEnd, status.stopRequested,
                                current.lineBreaks);
    else
      carver.Walk(stable, walkEnd, status.stopRequested, current.lineBreaks);
    merger.Resolve(carver.Position(), stable);
    // Where they met, its walk gone on into the next chunk is taken in the next round, once the
    // header blocks of the chunk after that are known too.
    if (met) walkedOnFrom = std::move(done->walk);
    reader.LetGoOfFirst();
  }
  // Work ahead still in hand reads the reader's bytes: it ends first.
  ahead.reset();
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
