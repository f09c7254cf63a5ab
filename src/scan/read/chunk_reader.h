// Reads a source chunk by chunk into one buffer on a thread of its own, running up to a buffer's
// worth of chunks ahead of the scan, so that a run of chunks that are slow to carve (dense text)
// and one that is quick (random bytes or zeros) even each other out instead of each round
// waiting for the slower side.
//
// In the default mode each chunk also gets its shape marks, one read piece at a time, from
// whichever thread is free: the reader marks a piece right after reading it, while its bytes are
// in cache, unless the scan thread is waiting for it; then the scan thread marks the pieces
// already read, woken for several at once, and the reader goes on reading. Reading a page-cached
// image takes about as long as carving it, so neither thread has the marks' time to spare on its
// own. A thread with nothing to mark waits asleep until the other tells of a change: on two cores a
// spinning reader would take its core from the scan's workers.
//
// Chunks are handed to the scan thread in order and kept in the buffer until it lets them go
// (and one chunk more, whose mails may still be followed). Nothing is ever written to the source.
//
// A chunk is read through a RescueReader: a failed read is retried until only the sectors that
// really fail are left, and those are zeros, listed in `unreadable` before the chunk is handed
// out. Marking a piece waits until the reader has come back to every sector in front of it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "scan/find/line_break_map.h"
#include "scan/find/shape_marks.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/source_bytes.h"
#include "source/data_source.h"
#include "source/rescue_reader.h"
#include "source/ring_memory.h"

namespace quillon {

class ChunkReader {
 public:
  struct Chunk {
    std::uint64_t start = 0;  // absolute byte
    std::uint64_t bytes = 0;
    const ShapeMarks* marks = nullptr;  // empty without marks
    // The sectors that may hold a line break; null without marks.
    const LineBreakMap* lineBreaks = nullptr;
  };

  // Chunks the reader holds at most, those the scan looks at included: it runs ahead of the
  // scan by this many less those the scan waits for.
  static constexpr std::size_t kChunksHeld = 12;

  // Reads the sectors [first, last) of `source`; finds marks when `findMarks`. Stops early when
  // `stopRequested` is set. The reading starts at once. Without `ring` (or where the system has
  // none) the bytes are held in a buffer whose kept bytes are moved to its front. The sectors
  // that cannot be read are added to `unreadable`, which the buffers handed out refer to.
  // `chunkSectors` (at most 32 reads of kReadSectors) is the size of the chunks handed out.
  ChunkReader(DataSource& source, std::uint64_t first, std::uint64_t last, bool findMarks,
              const std::atomic<bool>& stopRequested, UnreadableSectors& unreadable,
              bool ring = true, std::uint32_t chunkSectors = kChunkSectors);
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // Waits until the first `count` chunks (below kChunksHeld) not yet let go are read and marked, or
  // the reading has ended; returns how many of them there are (fewer at the source's end).
  // Meanwhile marks what has been read, and makes room in the buffer when the reader asks for it;
  // bytes handed out before may move then.
  std::size_t WaitForChunks(std::size_t count) { return WaitForChunks(count, count).chunks; }

  struct Held {
    std::size_t chunks = 0;  // the first chunks not yet let go that are read and marked
    bool all = false;        // the reading has ended and no chunk is still to come
  };
  // As above, but counts up to `atMost` chunks among those ready by then, without waiting for
  // those beyond `count`: a scan that needs `count` chunks goes on as soon as it has them, and
  // may use more where the reading is ahead.
  Held WaitForChunks(std::size_t count, std::size_t atMost);

  // The i-th chunk not yet let go; i below what WaitForChunks returned.
  Chunk ChunkAt(std::size_t i);

  // The bytes read in whole chunks, from the first chunk kept on; behind the source's end the
  // carver's look-ahead of zeros. Valid until the next WaitForChunks.
  CarveBuffer Bytes();

  // The scan is done with the first chunk.
  void LetGoOfFirst();

  // Whether bytes handed out stay where they are, across later waits too, until the chunk
  // before them is let go (a ring holds them; a plain buffer moves them to make room).
  bool BytesStayPut() const { return ring_.Data() != nullptr; }

 private:
  static constexpr std::size_t kMaxPieces = 32;
  struct LoadingChunk {
    std::uint64_t start = 0;
    std::uint64_t bytes = 0;
    std::size_t pieces = 0;
    std::atomic<std::size_t> piecesRead{0};
    std::atomic<std::size_t> piecesMarked{0};
    std::atomic<bool> read{false};  // every piece read
    std::array<std::atomic<bool>, kMaxPieces> taken{};
    std::array<ShapeMarks, kMaxPieces> pieceMarks;
    LineBreakMap lineBreaks;  // pieces set bits in words of their own
    ShapeMarks marks;         // the pieces' marks joined, once all are there
    bool joined = false;
    bool nulsTold = false;  // its sectors that may hold a NUL or a dash are in `unreadable_`
  };

  void ReadAll();
  bool WaitForRoom(std::uint64_t start, std::size_t bytes);  // reader side; false: told to quit
  void MakeRoom();  // scan side, while the reader waits for the buffer's bytes to be moved
  void MarkPiece(LoadingChunk& chunk, std::size_t piece);  // a piece this thread has claimed
  bool MarkAReadPiece();                                   // false when no piece is waiting
  // The reader marks what it has just read while the bytes are in its core's cache: marked
  // later, a piece read chunks ahead has to come from memory again.
  void MarkReadPieces();
  bool Ready(std::size_t count, std::size_t atMost, Held& held);
  // Tells `unreadable_` which sectors of a chunk read and marked may hold a NUL, and which a dash;
  // chunks are told in order. Under mutex_.
  void TellNulSectors(LoadingChunk& chunk);
  // Tells of a change the thread named waits for. The reader waits for room alone, the scan
  // thread for chunks read and marked: one condition for both woke each for the other's news.
  enum class Wake { kScan, kReader, kBoth };
  void Notify(Wake whom);
  // Where the absolute byte `at` is held (or is to be); `at` at or behind the first byte kept.
  std::uint8_t* Address(std::uint64_t at);
  // The first byte to keep: the chunk before the first one not let go (mails found there may
  // still be followed), or the reading position when no chunk is held.
  std::uint64_t KeptFrom(std::uint64_t readingAt);

  RescueReader rescue_;  // used by the reader thread only
  UnreadableSectors& unreadable_;
  const std::uint64_t first_;  // absolute byte
  const std::uint64_t last_;   // sector
  const std::uint32_t chunkSectors_;
  const bool findMarks_;
  const std::atomic<bool>& stopRequested_;

  // The bytes are held in a ring mapped twice in a row where the system allows, so nothing is
  // ever moved; otherwise in one buffer whose kept bytes are moved to its front when the reader
  // reaches its end.
  RingMemory ring_;
  std::vector<std::uint8_t> buffer_;
  // buffer_[0] is this absolute byte; it and filled_ change only while the reader waits for
  // room (or before the reader thread starts).
  std::uint64_t bufferBase_ = 0;
  std::size_t filled_ = 0;                 // reader side: bytes written into the buffer
  std::atomic<std::uint64_t> readEnd_{0};  // absolute end of the whole chunks read
  std::atomic<bool> ended_{false};         // everything is read (or the reading stopped)
  std::atomic<bool> wantsRoom_{false};
  std::atomic<bool> quit_{false};
  // The scan thread sleeps in WaitForChunks: the reader leaves the pieces it reads to it.
  std::atomic<bool> scanAsleep_{false};

  std::mutex mutex_;  // guards the chunk list's shape (the chunks' own fields are atomics)
  std::condition_variable scanWakes_;      // the scan thread waits for chunks
  std::condition_variable readerWakes_;    // the reader waits for room
  std::atomic<std::uint64_t> changes_{0};  // changes told, counted under mutex_
  std::deque<LoadingChunk> chunks_;
  std::thread thread_;
};

}  // namespace quillon
