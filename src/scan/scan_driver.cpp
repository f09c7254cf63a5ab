#include "scan/scan_driver.h"

#include <algorithm>

#include "scan/carve/mail_carver.h"
#include "scan/merge/record_merger.h"
#include "scan/read/chunk_reader.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/shape_scanner.h"
#include "source/rescue_reader.h"

namespace quillon {

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
  ChunkReader reader(source, first, last, !options.strict, status.stopRequested, unreadable);
  // Looks at the header blocks that begin in `chunk`; its marks and the next chunk's (where
  // blocks that begin here name their sender) lead there. Gives them to the merger.
  auto scanShapes = [&](const ChunkReader::Chunk& chunk, const ChunkReader::Chunk* next,
                        CarveBuffer bytes) {
    if (options.strict) return;
    ShapeMarks marks = *chunk.marks;
    if (next) {
      marks.anchors.insert(marks.anchors.end(), next->marks->anchors.begin(),
                           next->marks->anchors.end());
      marks.sizeFields.insert(marks.sizeFields.end(), next->marks->sizeFields.begin(),
                              next->marks->sizeFields.end());
    }
    ShapeFinds found;
    shapes.Scan(bytes, chunk.start, chunk.start + chunk.bytes, marks, found);
    merger.AddCandidates(std::move(found));
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

  // Each round carves one chunk. Before that it looks for header blocks in the next chunk, with
  // the chunk after that for their ends, so that the walk knows where the next mail begins
  // before it reaches it.
  bool firstRound = true;
  while (!status.stopRequested.load()) {
    const std::size_t available = reader.WaitForChunks(3);
    if (available == 0) break;
    const ChunkReader::Chunk current = reader.ChunkAt(0);
    const ChunkReader::Chunk next = available > 1 ? reader.ChunkAt(1) : ChunkReader::Chunk{};
    const ChunkReader::Chunk afterNext = available > 2 ? reader.ChunkAt(2) : ChunkReader::Chunk{};
    const std::uint64_t position = current.start / kSectorSize;
    observer.OnProgressPosition(position);
    status.currentSector = position;
    merger.PublishProgress();

    const CarveBuffer stable = reader.Bytes();
    if (firstRound) digestChunk(current, stable);
    if (available > 1) digestChunk(next, stable);
    if (firstRound) {
      scanShapes(current, available > 1 ? &next : nullptr, stable);
      firstRound = false;
    }
    if (available > 1) scanShapes(next, available > 2 ? &afterNext : nullptr, stable);

    carver.Walk(stable, current.start + current.bytes, status.stopRequested, current.lineBreaks);
    merger.Resolve(carver.Position(), stable);
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
