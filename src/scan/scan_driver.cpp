#include "scan/scan_driver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "scan/mail_carver.h"
#include "scan/record_merger.h"
#include "scan/shape_scanner.h"

namespace quillon {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{kChunkSectors} * kSectorSize;

// Chunks laid one after another in the scan buffer before the last is moved back to its front:
// the move costs a memmove per this many chunks.
constexpr std::size_t kBufferChunks = 16;

// Reads `sectors` sectors into `destination` in reads of 128 sectors; a read that fails leaves
// zeros. Stops early when a stop is requested. `afterRead(offset, bytes)` is told of each read
// while its bytes are still fresh in the cache.
void ReadChunk(DataSource& source, std::uint8_t* destination, std::uint64_t firstSector,
               std::uint64_t sectors, const std::atomic<bool>& stopRequested,
               const std::function<void(std::size_t, std::size_t)>& afterRead) {
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
    afterRead(static_cast<std::size_t>(done * kSectorSize), bytes);
  }
}

// Runs one task at a time on a thread of its own, so that reading and looking ahead overlap
// with carving. Run and Wait alternate; Wait orders everything the task wrote before what the
// caller does next. Both sides wait a little while busily before they sleep: a round takes
// about a millisecond, and waking a sleeping thread can take a tenth of that.
class LookAheadWorker {
 public:
  LookAheadWorker() : thread_([this] { Loop(); }) {}
  ~LookAheadWorker() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  LookAheadWorker(const LookAheadWorker&) = delete;
  LookAheadWorker& operator=(const LookAheadWorker&) = delete;

  void Run(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      task_ = std::move(task);
      busy_.store(true, std::memory_order_release);
    }
    wake_.notify_one();
  }

  void Wait() {
    SpinWhile([this] { return busy_.load(std::memory_order_acquire); });
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !task_; });
  }

 private:
  // Busy for at most half a millisecond: on a slow disk a read takes far longer, and the thread
  // had better sleep.
  template <typename Condition>
  static void SpinWhile(Condition condition) {
    constexpr auto kLongest = std::chrono::microseconds(500);
    const auto until = std::chrono::steady_clock::now() + kLongest;
    for (int turn = 1; condition(); ++turn) {
      if (turn % 64 == 0 && std::chrono::steady_clock::now() > until) return;
      std::this_thread::yield();
    }
  }

  void Loop() {
    while (true) {
      SpinWhile([this] { return !busy_.load(std::memory_order_acquire); });
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || task_; });
      if (!task_) return;
      lock.unlock();
      task_();
      lock.lock();
      task_ = nullptr;
      busy_.store(false, std::memory_order_release);
      done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::function<void()> task_;
  std::atomic<bool> busy_{false};  // a task has been given and has not ended
  bool quit_ = false;
  std::thread thread_;
};

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
  // Store chains are read from the source (reads of it may run on two threads at once), never
  // from the buffer the carver changes.
  shapes.SetSourceReader([&source](std::uint64_t offset, std::size_t count, std::uint8_t* out) {
    return source.ReadBytes(offset, count, out);
  });

  // Chunks follow each other in one buffer. While a worker reads chunk k+3 (marking where the
  // shape scan starts while the bytes are fresh), the scan thread looks for header blocks in
  // chunk k+1, before the carver touches it, and then carves chunk k (reading ahead into chunk
  // k+1 and moving bytes at its start when it removes block headers); the two threads never
  // touch the same bytes. A zeroed margin stands behind the source's end.
  std::vector<std::uint8_t> buffer(kBufferChunks * kChunkBytes + kCarveLookAhead, 0);
  std::uint64_t bufferBase = first * kSectorSize;  // absolute offset of buffer[0]
  std::size_t filled = 0;                          // bytes read into the buffer
  bool sourceEnded = false;                        // the margin behind the last chunk is written
  std::uint64_t readPosition = first;              // the next sector to read
  struct LoadedChunk {
    std::uint64_t start;  // absolute byte
    std::uint64_t bytes;
    ShapeMarks marks;  // where the shape scan starts from in it
  };
  std::deque<LoadedChunk> chunks;  // read and not yet carved

  auto readNextChunk = [&] {
    const std::uint64_t count = std::min<std::uint64_t>(kChunkSectors, last - readPosition);
    if (count > 0) {
      LoadedChunk chunk{readPosition * kSectorSize, count * kSectorSize, {}};
      const std::size_t chunkOffset = filled;
      ReadChunk(source, buffer.data() + filled, readPosition, count, status.stopRequested,
                [&](std::size_t offset, std::size_t bytes) {
                  if (options.strict) return;
                  const CarveBuffer read{buffer.data(), chunkOffset + offset + bytes, bufferBase};
                  FindShapeMarks(read, chunk.start + offset, chunk.start + offset + bytes,
                                 chunk.marks);
                });
      chunks.push_back(std::move(chunk));
    }
    filled += static_cast<std::size_t>(count * kSectorSize);
    readPosition += count;
    if (count < kChunkSectors && !sourceEnded) {
      std::memset(buffer.data() + filled, 0, kCarveLookAhead);
      sourceEnded = true;
    }
  };
  // Looks at the header blocks that begin in `chunk`; its marks and the next chunk's (where
  // blocks that begin here name their sender) lead there. Gives them to the merger.
  auto scanShapes = [&](const LoadedChunk& chunk, const LoadedChunk* next, CarveBuffer bytes) {
    if (options.strict) return;
    ShapeMarks marks = chunk.marks;
    if (next) {
      marks.anchors.insert(marks.anchors.end(), next->marks.anchors.begin(),
                           next->marks.anchors.end());
      marks.sizeFields.insert(marks.sizeFields.end(), next->marks.sizeFields.begin(),
                              next->marks.sizeFields.end());
    }
    ShapeFinds found;
    shapes.Scan(bytes, chunk.start, chunk.start + chunk.bytes, marks, found);
    merger.AddCandidates(std::move(found));
  };

  for (int i = 0; i < 3; ++i) readNextChunk();
  if (!chunks.empty()) {
    scanShapes(
        chunks[0], chunks.size() > 1 ? &chunks[1] : nullptr,
        CarveBuffer{buffer.data(), filled + (sourceEnded ? kCarveLookAhead : 0), bufferBase});
  }

  LookAheadWorker worker;
  while (!chunks.empty() && !status.stopRequested.load()) {
    const std::uint64_t currentStart = chunks.front().start;
    const std::uint64_t currentEnd = currentStart + chunks.front().bytes;
    const std::uint64_t position = currentStart / kSectorSize;
    observer.OnProgressPosition(position);
    status.currentSector = position;
    merger.PublishStatus();

    // Keep the previous chunk (shape finds from it may still wait for their bodies to be read)
    // and make room for the next read.
    if (filled + kChunkBytes + kCarveLookAhead > buffer.size()) {
      const std::uint64_t keepFrom = std::max<std::uint64_t>(
          bufferBase, currentStart >= kChunkBytes ? currentStart - kChunkBytes : 0);
      const auto shift = static_cast<std::size_t>(keepFrom - bufferBase);
      std::memmove(buffer.data(), buffer.data() + shift, filled - shift);
      bufferBase = keepFrom;
      filled -= shift;
    }
    // The scan thread sees only bytes that no read of this round will write.
    const CarveBuffer stable{buffer.data(), filled + (sourceEnded ? kCarveLookAhead : 0),
                             bufferBase};
    // While the worker reads the chunk after next, this thread looks for header blocks in the
    // next chunk (its bytes and the following chunk's are read and untouched by the carver),
    // then carves this one. The worker adds to `chunks`; the elements stay where they are.
    const LoadedChunk* shapeChunk = chunks.size() > 1 ? &chunks[1] : nullptr;
    const LoadedChunk* afterShapeChunk = chunks.size() > 2 ? &chunks[2] : nullptr;
    worker.Run(readNextChunk);
    if (shapeChunk) {
      // The carver may have moved bytes as far as its look-ahead into this chunk; behind that
      // they are as the source holds them.
      const std::uint64_t untouched = std::max(bufferBase, currentStart + kCarveLookAhead);
      const auto skip = static_cast<std::size_t>(untouched - bufferBase);
      scanShapes(*shapeChunk, afterShapeChunk,
                 CarveBuffer{stable.data + skip, stable.size - skip, untouched});
    }

    carver.Walk(stable, currentEnd, status.stopRequested);
    merger.Resolve(carver.Position(), stable);

    worker.Wait();
    chunks.pop_front();
  }
  carver.Finish();
  merger.Finish(
      CarveBuffer{buffer.data(), filled + (sourceEnded ? kCarveLookAhead : 0), bufferBase},
      status.stopRequested.load() ? carver.Position() : UINT64_MAX);

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
