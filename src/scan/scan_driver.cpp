#include "scan/scan_driver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/mail_carver.h"
#include "scan/record_merger.h"
#include "scan/shape_scanner.h"

namespace quillon {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{kChunkSectors} * kSectorSize;

// Chunks laid one after another in the scan buffer before the last is moved back to its front:
// the move costs a memmove per this many chunks.
constexpr std::size_t kBufferChunks = 8;

// Reads `sectors` sectors into `destination` in reads of 128 sectors; a read that fails leaves
// zeros. Stops early when a stop is requested.
void ReadChunk(DataSource& source, std::uint8_t* destination, std::uint64_t firstSector,
               std::uint64_t sectors, const std::atomic<bool>& stopRequested) {
  for (std::uint64_t done = 0; done < sectors; done += kReadSectors) {
    const std::uint64_t count = std::min<std::uint64_t>(kReadSectors, sectors - done);
    std::uint8_t* target = destination + done * kSectorSize;
    const auto bytes = static_cast<std::uint32_t>(count * kSectorSize);
    if (stopRequested.load()) {
      std::memset(target, 0, static_cast<std::size_t>(sectors - done) * kSectorSize);
      return;
    }
    // A trailing partial sector arrives short; the bytes behind it must read as zeros.
    if (firstSector + done + count == source.TotalSectors())
      std::memset(target + bytes - kSectorSize, 0, kSectorSize);
    if (!source.ReadSectors(target, bytes, firstSector + done)) std::memset(target, 0, bytes);
  }
}

}  // namespace

void RunScan(DataSource& source, const ScanOptions& options, ScanStatus& status, FoundMails& mails,
             ScanObserver& observer) {
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

  RecordMerger merger(status, mails, observer, source.SourceName(), options.strict);
  MailCarver carver(source.SourceName(), merger, first * kSectorSize);
  ShapeScanner shapes;

  // Chunks follow each other in one buffer: the chunk being carved, the next one, which the
  // carver may read ahead into (and whose bytes it may move when it removes block headers), and
  // the one after, which the shape scanner reads ahead into while it looks at the next chunk's
  // bytes before the carver has touched them. A zeroed margin stands behind the source's end.
  std::vector<std::uint8_t> buffer(kBufferChunks * kChunkBytes + kCarveLookAhead, 0);
  std::uint64_t bufferBase = first * kSectorSize;  // absolute offset of buffer[0]
  std::size_t chunkIndex = 0;                      // where the current chunk lies in the buffer
  std::size_t filled = 0;                          // bytes read into the buffer
  std::uint64_t readPosition = first;              // the next sector to read

  auto readNextChunk = [&] {
    const std::uint64_t count = std::min<std::uint64_t>(kChunkSectors, last - readPosition);
    if (count > 0)
      ReadChunk(source, buffer.data() + filled, readPosition, count, status.stopRequested);
    filled += static_cast<std::size_t>(count * kSectorSize);
    readPosition += count;
    if (count < kChunkSectors) std::memset(buffer.data() + filled, 0, kCarveLookAhead);
    return count * kSectorSize;
  };
  auto scanShapes = [&](std::uint64_t from, std::uint64_t to) {
    if (options.strict || from >= to) return;
    std::vector<ShapeCandidate> found;
    shapes.Scan(CarveBuffer{buffer.data(), buffer.size(), bufferBase}, from, to, found);
    merger.AddCandidates(std::move(found));
  };

  std::uint64_t position = first;
  std::uint64_t chunkBytes = readNextChunk();
  std::uint64_t nextBytes = readNextChunk();
  scanShapes(position * kSectorSize, position * kSectorSize + chunkBytes);

  while (chunkBytes > 0 && !status.stopRequested.load()) {
    observer.OnProgressPosition(position);
    status.currentSector = position;
    // Keep the current and the next chunk; make room for the one after.
    if (filled + kChunkBytes + kCarveLookAhead > buffer.size()) {
      std::memmove(buffer.data(), buffer.data() + chunkIndex, filled - chunkIndex);
      bufferBase += chunkIndex;
      filled -= chunkIndex;
      chunkIndex = 0;
    }
    const std::uint64_t afterNextBytes = readNextChunk();
    merger.PublishStatus();

    const std::uint64_t chunkStart = position * kSectorSize;
    const std::uint64_t nextStart = chunkStart + chunkBytes;
    scanShapes(nextStart, nextStart + nextBytes);
    carver.Walk(CarveBuffer{buffer.data(), buffer.size(), bufferBase}, nextStart,
                status.stopRequested);
    merger.Resolve(carver.Position());

    chunkIndex += static_cast<std::size_t>(chunkBytes);
    position += chunkBytes / kSectorSize;
    chunkBytes = nextBytes;
    nextBytes = afterNextBytes;
  }
  carver.Finish();
  merger.Finish();

  status.currentSector = 0;
  status.totalSectors = 0;
  status.scanning = false;
  status.stopRequested = false;
  observer.OnScanFinished(status.foundCount.load());
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
  RunScan(source, options, status, mails, observer);
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
