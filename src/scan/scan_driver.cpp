#include "scan/scan_driver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/mail_carver.h"

namespace quillon {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{kChunkSectors} * kSectorSize;

// Adds each accepted mail to the list and tells the front end, in the order the window expects:
// the row first, then the count and the status line.
class ScanSession final : public MailSink {
 public:
  ScanSession(ScanStatus& status, FoundMails& mails, ScanObserver& observer)
      : status_(status), mails_(mails), observer_(observer) {}

  void Accept(const MailRecordPtr& record) override {
    mails_.Add(record);
    observer_.OnMailFound(record);
    const int found = status_.foundCount.fetch_add(1) + 1;
    PublishStatus(found);
    status_.unsavedMails = true;
  }

  void PublishStatus(int found) {
    std::u16string text =
        ComposeStatusText(found, status_.currentSector.load(), status_.totalSectors.load());
    status_.SetStatusText(text);
    observer_.OnStatusText(text);
  }

 private:
  ScanStatus& status_;
  FoundMails& mails_;
  ScanObserver& observer_;
};

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

  ScanSession session(status, mails, observer);
  MailCarver carver(source.SourceName(), session, first * kSectorSize);

  // Chunks follow each other in one buffer so that the carver can read ahead into the next
  // chunk (and move its bytes when it removes block headers) before that chunk is carved; a zeroed
  // margin stands behind the source's end.
  std::vector<std::uint8_t> buffer(kBufferChunks * kChunkBytes + kCarveLookAhead, 0);
  std::uint64_t bufferBase = first * kSectorSize;  // absolute offset of buffer[0]
  std::size_t chunkIndex = 0;                      // where the current chunk lies in the buffer
  std::uint64_t position = first;
  std::uint64_t chunk = std::min<std::uint64_t>(kChunkSectors, last - position);
  if (chunk > 0) ReadChunk(source, buffer.data(), position, chunk, status.stopRequested);

  while (chunk > 0 && !status.stopRequested.load()) {
    observer.OnProgressPosition(position);
    status.currentSector = position;
    const std::size_t chunkBytes = static_cast<std::size_t>(chunk * kSectorSize);
    if (chunkIndex + chunkBytes + kChunkBytes + kCarveLookAhead > buffer.size()) {
      std::memmove(buffer.data(), buffer.data() + chunkIndex, chunkBytes);
      bufferBase += chunkIndex;
      chunkIndex = 0;
    }
    const std::uint64_t nextPosition = position + chunk;
    const std::uint64_t nextChunk = std::min<std::uint64_t>(kChunkSectors, last - nextPosition);
    std::uint8_t* nextData = buffer.data() + chunkIndex + chunkBytes;
    if (nextChunk > 0) ReadChunk(source, nextData, nextPosition, nextChunk, status.stopRequested);
    if (nextChunk < kChunkSectors)
      std::memset(nextData + nextChunk * kSectorSize, 0, kCarveLookAhead);
    session.PublishStatus(status.foundCount.load());

    const std::uint64_t chunkStart = position * kSectorSize;
    carver.Walk(CarveBuffer{buffer.data(), buffer.size(), bufferBase}, chunkStart + chunkBytes,
                status.stopRequested);
    chunkIndex += chunkBytes;
    position = nextPosition;
    chunk = nextChunk;
  }
  carver.Finish();

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
