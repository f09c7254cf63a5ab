#include "scan/read/chunk_reader.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{kChunkSectors} * kSectorSize;
constexpr std::size_t kPieceBytes = std::size_t{kReadSectors} * kSectorSize;

// Chunks the buffer holds where making room moves the chunks kept to its front: the more, the
// less often they are moved.
constexpr std::size_t kBufferChunks = 24;

// Read pieces left to the scan thread while it sleeps waiting for chunks, and told to it at
// once: woken for each, it would mostly find the piece marked already by the reader, which
// marks what it reads while the scan thread is busy; woken for a chunk's first half, it marks
// that while the reader reads the second, and the second while the reader reads on.
constexpr std::size_t kPiecesHandedOver = 8;

// Bytes kept in front of the first chunk not let go: mails found there may still be followed.
constexpr std::size_t kKeptBehind = kChunkBytes;

// The ring holds what the reader may hold and nothing more: the chunks not let go, the bytes kept
// in front of them and the zeros behind the source's end. A larger ring only costs resident
// memory, as the reading goes round all of it; a smaller one would make the reader wait before
// it holds kChunksHeld chunks.
std::size_t RingBytes(std::uint32_t chunkSectors) {
  return ChunkReader::kChunksHeld * std::size_t{chunkSectors} * kSectorSize + kKeptBehind +
         kCarveLookAhead;
}

// Waits until `condition` holds, calling `help` while it finds something to do, else asleep
// until the other thread tells of a change. On two cores a waiting thread that spins takes its
// core from the workers, and the reading runs chunks ahead of the scan anyway. `changes` counts
// the changes told, under `mutex`: one told between looking and falling asleep is not missed.
// `asleep`, when given, is set while the thread sleeps.
template <typename Condition, typename Help>
void WaitUntil(std::mutex& mutex, std::condition_variable& changed,
               const std::atomic<std::uint64_t>& changes, Condition condition, Help help,
               std::atomic<bool>* asleep = nullptr) {
  for (;;) {
    const std::uint64_t seen = changes.load(std::memory_order_acquire);
    if (condition()) return;
    if (help()) continue;
    std::unique_lock lock(mutex);
    if (asleep) asleep->store(true);
    changed.wait(lock, [&] { return changes.load(std::memory_order_relaxed) != seen; });
    if (asleep) asleep->store(false);
  }
}

}  // namespace

ChunkReader::ChunkReader(DataSource& source, std::uint64_t first, std::uint64_t last,
                         bool findMarks, const std::atomic<bool>& stopRequested,
                         UnreadableSectors& unreadable, bool ring, std::uint32_t chunkSectors)
    : rescue_(source, kReadSectors),
      unreadable_(unreadable),
      first_(first * kSectorSize),
      last_(last),
      chunkSectors_(
          std::clamp<std::uint32_t>(chunkSectors, kReadSectors, kMaxPieces * kReadSectors)),
      findMarks_(findMarks),
      stopRequested_(stopRequested),
      ring_(ring ? RingBytes(chunkSectors_) : 0),
      bufferBase_(first * kSectorSize) {
  if (!ring_.Data()) buffer_.assign(kBufferChunks * kChunkBytes + kCarveLookAhead, 0);
  readEnd_.store(first_);
  thread_ = std::thread([this] { ReadAll(); });
}

ChunkReader::~ChunkReader() {
  quit_.store(true);
  Notify(Wake::kBoth);
  thread_.join();
}

void ChunkReader::Notify(Wake whom) {
  {
    std::lock_guard lock(mutex_);
    changes_.fetch_add(1, std::memory_order_release);
  }
  if (whom != Wake::kReader) scanWakes_.notify_all();
  if (whom != Wake::kScan) readerWakes_.notify_all();
}

std::uint8_t* ChunkReader::Address(std::uint64_t at) {
  if (ring_.Data()) return ring_.Data() + (at - first_) % ring_.Size();
  return buffer_.data() + (at - bufferBase_);
}

std::uint64_t ChunkReader::KeptFrom(std::uint64_t readingAt) {
  std::uint64_t front = readingAt;
  {
    std::lock_guard lock(mutex_);
    if (!chunks_.empty()) front = chunks_.front().start;
  }
  return std::max(first_, front >= first_ + kKeptBehind ? front - kKeptBehind : first_);
}

bool ChunkReader::WaitForRoom(std::uint64_t start, std::size_t bytes) {
  // Ahead of the scan, the reader has time to mark what it has read.
  auto markWhileWaiting = [this] { return findMarks_ && MarkAReadPiece(); };
  WaitUntil(
      mutex_, readerWakes_, changes_,
      [&] {
        if (quit_.load()) return true;
        {
          std::lock_guard lock(mutex_);
          if (chunks_.size() >= kChunksHeld) return false;
        }
        // The ring overwrites what lies a ring's length before: only bytes let go of.
        return !ring_.Data() || start + bytes + kCarveLookAhead - KeptFrom(start) <= ring_.Size();
      },
      markWhileWaiting);
  while (!ring_.Data() && filled_ + bytes + kCarveLookAhead > buffer_.size() && !quit_.load()) {
    // The scan thread moves the bytes while this thread does nothing with them.
    wantsRoom_.store(true);
    Notify(Wake::kScan);
    WaitUntil(
        mutex_, readerWakes_, changes_, [this] { return !wantsRoom_.load() || quit_.load(); },
        [] { return false; });
  }
  return !quit_.load();
}

void ChunkReader::MakeRoom() {
  if (!wantsRoom_.load()) return;
  const std::uint64_t keepFrom = std::max(bufferBase_, KeptFrom(readEnd_.load()));
  const auto shift = static_cast<std::size_t>(keepFrom - bufferBase_);
  std::memmove(buffer_.data(), buffer_.data() + shift, filled_ - shift);
  bufferBase_ = keepFrom;
  filled_ -= shift;
  wantsRoom_.store(false);
  Notify(Wake::kReader);
}

void ChunkReader::MarkPiece(LoadingChunk& chunk, std::size_t piece) {
  const std::uint64_t from = chunk.start + std::uint64_t{piece} * kPieceBytes;
  const std::uint64_t to = std::min<std::uint64_t>(from + kPieceBytes, chunk.start + chunk.bytes);
  // The piece and the few bytes in front of it that anchors need, and none of those the reader
  // may be writing behind it.
  const std::uint64_t viewStart = std::max(first_, from >= 64 ? from - 64 : 0);
  const CarveBuffer read{Address(viewStart), static_cast<std::size_t>(to - viewStart), viewStart};
  FindShapeMarks(read, from, to, chunk.pieceMarks[piece], chunk.lineBreaks.Bits());
  // The scan waits for whole chunks: a piece marked before the last wakes no one in vain.
  if (chunk.piecesMarked.fetch_add(1, std::memory_order_release) + 1 == chunk.pieces)
    Notify(Wake::kScan);
}

bool ChunkReader::MarkAReadPiece() {
  LoadingChunk* found = nullptr;
  std::size_t piece = 0;
  {
    std::lock_guard lock(mutex_);
    for (LoadingChunk& chunk : chunks_) {
      if (chunk.piecesMarked.load(std::memory_order_acquire) == chunk.pieces) continue;
      const std::size_t read = chunk.piecesRead.load(std::memory_order_acquire);
      // The piece is claimed under the lock: a chunk with a claimed piece is not fully marked,
      // so the scan cannot let go of it while this thread marks outside the lock.
      for (std::size_t i = 0; i < read && !found; ++i) {
        if (!chunk.taken[i].exchange(true)) {
          found = &chunk;
          piece = i;
        }
      }
      // Past a chunk whose pieces the other thread is still marking, the next one's may wait.
      if (found || read < chunk.pieces) break;  // later chunks are not read yet
    }
  }
  if (!found) return false;
  MarkPiece(*found, piece);
  return true;
}

void ChunkReader::MarkReadPieces() {
  while (MarkAReadPiece()) {
  }
}

void ChunkReader::ReadAll() {
  std::uint64_t position = first_ / kSectorSize;
  while (position < last_ && !quit_.load() && !stopRequested_.load()) {
    const std::uint64_t count = std::min<std::uint64_t>(chunkSectors_, last_ - position);
    const auto bytes = static_cast<std::size_t>(count * kSectorSize);
    if (!WaitForRoom(position * kSectorSize, bytes)) return;
    LoadingChunk* chunk;
    {
      std::lock_guard lock(mutex_);
      chunk = &chunks_.emplace_back();
      chunk->start = position * kSectorSize;
      chunk->bytes = bytes;
      chunk->pieces = findMarks_ ? (bytes + kPieceBytes - 1) / kPieceBytes : 0;
      if (findMarks_) chunk->lineBreaks = LineBreakMap(chunk->start, bytes);
    }
    // A piece can be marked once every sector up to its end is final: a failed read is only
    // settled when the rescue has come back to it.
    auto settled = [chunk, this](std::uint64_t sectors) {
      if (!findMarks_) return;
      const std::size_t pieces =
          std::min<std::size_t>(chunk->pieces, sectors * kSectorSize / kPieceBytes);
      if (pieces > chunk->piecesRead.load(std::memory_order_relaxed)) {
        chunk->piecesRead.store(pieces, std::memory_order_release);
        if (!scanAsleep_.load()) {
          MarkReadPieces();
        } else if (pieces % kPiecesHandedOver == 0) {
          Notify(Wake::kScan);
        }
      }
    };
    unreadable_.Add(rescue_.Read(Address(chunk->start), position, count, settled, &stopRequested_));
    if (findMarks_) {
      chunk->piecesRead.store(chunk->pieces, std::memory_order_release);
      if (!scanAsleep_.load()) MarkReadPieces();
    }
    chunk->read.store(true, std::memory_order_release);
    filled_ += bytes;
    position += count;
    readEnd_.store(position * kSectorSize, std::memory_order_release);
    Notify(Wake::kScan);
  }
  // The carver reads a little past the source's end: zeros stand there.
  std::memset(Address(position * kSectorSize), 0, kCarveLookAhead);
  ended_.store(true, std::memory_order_release);
  Notify(Wake::kScan);
}

bool ChunkReader::Ready(std::size_t count, std::size_t atMost, Held& held) {
  const bool ended = ended_.load(std::memory_order_acquire);
  std::lock_guard lock(mutex_);
  const std::size_t most = std::min(atMost, chunks_.size());
  std::size_t ready = 0;
  for (; ready < most; ++ready) {
    LoadingChunk& chunk = chunks_[ready];
    if (!chunk.read.load(std::memory_order_acquire) ||
        chunk.piecesMarked.load(std::memory_order_acquire) != chunk.pieces)
      break;
    TellNulSectors(chunk);
  }
  held.chunks = ready;
  held.all = ended && ready == chunks_.size();
  return ready >= count || held.all;
}

void ChunkReader::TellNulSectors(LoadingChunk& chunk) {
  if (!findMarks_ || chunk.nulsTold) return;
  chunk.nulsTold = true;
  const LineBreakMap& map = chunk.lineBreaks;
  unreadable_.AddMarkedSectors(map.FirstSector(), map.SectorCount(), map.NulWords(),
                               map.DashWords());
}

ChunkReader::Held ChunkReader::WaitForChunks(std::size_t count, std::size_t atMost) {
  Held held;
  WaitUntil(
      mutex_, scanWakes_, changes_,
      [&] {
        MakeRoom();
        return Ready(count, std::max(count, atMost), held);
      },
      [&] { return findMarks_ && MarkAReadPiece(); }, &scanAsleep_);
  MakeRoom();
  return held;
}

ChunkReader::Chunk ChunkReader::ChunkAt(std::size_t i) {
  std::lock_guard lock(mutex_);
  LoadingChunk& chunk = chunks_[i];
  if (!chunk.joined) {
    for (std::size_t piece = 0; piece < chunk.pieces; ++piece) {
      ShapeMarks& marks = chunk.pieceMarks[piece];
      chunk.marks.anchors.insert(chunk.marks.anchors.end(), marks.anchors.begin(),
                                 marks.anchors.end());
      chunk.marks.sizeFields.insert(chunk.marks.sizeFields.end(), marks.sizeFields.begin(),
                                    marks.sizeFields.end());
      marks = {};
    }
    chunk.joined = true;
  }
  return Chunk{chunk.start, chunk.bytes, &chunk.marks, findMarks_ ? &chunk.lineBreaks : nullptr};
}

CarveBuffer ChunkReader::Bytes() {
  // Once the reading has ended, readEnd_ is final.
  const bool ended = ended_.load(std::memory_order_acquire);
  const std::uint64_t end = readEnd_.load(std::memory_order_acquire);
  const std::uint64_t kept = ring_.Data() ? KeptFrom(end) : bufferBase_;
  return CarveBuffer{Address(kept),
                     static_cast<std::size_t>(end - kept) + (ended ? kCarveLookAhead : 0), kept,
                     &unreadable_};
}

void ChunkReader::LetGoOfFirst() {
  std::uint64_t keptFrom = 0;
  {
    std::lock_guard lock(mutex_);
    if (!chunks_.empty()) chunks_.pop_front();
    if (!chunks_.empty()) keptFrom = chunks_.front().start;
    changes_.fetch_add(1, std::memory_order_release);
  }
  readerWakes_.notify_all();
  // The bytes of a chunk let go of stay held while the next is carved (see KeptFrom).
  if (keptFrom >= first_ + kKeptBehind)
    unreadable_.ForgetNulSectorsBefore((keptFrom - kKeptBehind) / kSectorSize);
}

}  // namespace quillon
