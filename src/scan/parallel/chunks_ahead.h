// The work on later chunks that worker threads do while the scan's own thread carves the
// current chunk: for chunk m, the shape scan of chunk m + 1 (without --strict) and the trace walk
// of chunk m begun afresh at its start (walk_ahead.h). The shape scans run in chunk order, one
// after the other, as the shape scanner carries what its searches saw from one chunk to the
// next; a walk ahead waits for the shape finds of its own chunk and the next, where the walk
// from the start will know header blocks to begin when it comes there. Without --strict the
// worker also follows the bodies of the header blocks of its chunk that no trace line of its walk
// stands in (prepared_bodies.h): the merge would follow each as a mail of its own on the scan's
// own thread. It prints no mail's text: the duplicate marker prints only the few it compares.
//
// Work is started in chunk order and taken in the same order; the chunks and bytes it was given
// must stay where they are until it is taken. More work may be in hand than there are workers:
// a worker that is done takes the next work queued at once rather than wait idle until the
// scan's own thread has taken the work before it, which it may still be waiting for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scan/merge/prepared_bodies.h"
#include "scan/parallel/task_thread.h"
#include "scan/parallel/walk_ahead.h"
#include "scan/read/chunk_reader.h"
#include "scan/shape/shape_scanner.h"

namespace quillon {

// The header blocks that begin in `chunk`; its marks and those of `next` (where blocks that
// begin in `chunk` name their sender) lead there.
ShapeFinds ScanChunkShapes(ShapeScanner& shapes, const ChunkReader::Chunk& chunk,
                           const ChunkReader::Chunk* next, CarveBuffer bytes);

// Whether the work of `chunk` is worth a worker's time: where it and `next` hold fewer than
// `fromMarks` shape marks between them, the scan's own thread carves it faster than it could
// hand it over. Always where no marks were looked for (--strict).
bool WorthAWorker(const ChunkReader::Chunk& chunk, const ChunkReader::Chunk& next,
                  std::uint32_t fromMarks);

class ChunksAhead {
 public:
  // `workers` threads do up to `inHand` works (at least `workers`) started and not yet taken.
  // `shapes`: the scan's one shape scanner, null with --strict (no shape scan, no block starts).
  ChunksAhead(unsigned workers, unsigned inHand, ShapeScanner* shapes, std::string sourceName,
              int ansiCodePage, const std::atomic<bool>& stopRequested);
  // Waits for the work begun; work not begun yet is dropped.
  ~ChunksAhead();
  ChunksAhead(const ChunksAhead&) = delete;
  ChunksAhead& operator=(const ChunksAhead&) = delete;

  unsigned InHand() const { return static_cast<unsigned>(slots_.size()); }

  // The shape finds of chunk `index` where the scan's own thread scanned them: the walks ahead
  // of that chunk and the one before it need to know where their blocks begin.
  void NoteShapes(std::uint64_t index, const ShapeFinds& finds);

  struct Work {
    std::uint64_t index = 0;  // of the chunk walked, counted from the scan's first
    ChunkReader::Chunk chunk;
    ChunkReader::Chunk next;       // whose shapes are scanned
    ChunkReader::Chunk afterNext;  // its marks lead the shape scan too; bytes == 0: none
    // The bytes in sight from `chunk` on, the walk's and the shape scan's alike, from the start
    // of the chunk before it.
    CarveBuffer bytes;
  };
  // Queues the work of chunk `work.index`, in the place of the work `InHand()` chunks before,
  // which must have been taken. The work of the chunk before must have been started, or its
  // shapes noted.
  void Start(const Work& work);
  bool Started(std::uint64_t index) const;

  struct Done {
    ShapeFinds nextShapes;  // of the chunk after the one walked
    std::unique_ptr<WalkAhead> walk;
    std::vector<PreparedBody> bodies;  // of the chunk's shape finds without a trace find
  };
  // Waits for the work of chunk `index`, which was started, and hands it over.
  Done Take(std::uint64_t index);

 private:
  struct Slot {
    bool busy = false;      // started and not taken; the scan's own thread alone reads and sets it
    bool finished = false;  // under mutex_
    std::uint64_t index = 0;
    Done done;  // the worker's until finished, then the taker's
  };
  // What the walk and the bodies followed ahead need of a header block found by shape: where
  // it begins, which ends the mail in front of it.
  struct Block {
    std::uint64_t start = 0;
  };
  struct ChunkBlocks {
    std::vector<Block> blocks;
    // The blocks outside stores, with what following their bodies needs (no other header).
    std::vector<ShapeCandidate> toFollow;
  };
  using BlockStarts = std::shared_ptr<const ChunkBlocks>;
  void PutStarts(std::uint64_t index, BlockStarts starts);
  BlockStarts WaitForStarts(std::uint64_t index);
  // A worker's loop: runs the works queued, in order, until told to quit.
  void Serve();
  void Run(Slot& slot, const Work& work);
  // Follows the bodies of `toFollow` in `bytes`, where none of the mails `walk` found begins in
  // the block, up to the next of `blocks` (in position order).
  std::vector<PreparedBody> FollowAhead(const WalkAhead& walk,
                                        const std::vector<ShapeCandidate>& toFollow,
                                        const std::vector<Block>& blocks, CarveBuffer bytes) const;

  ShapeScanner* shapes_;
  std::string sourceName_;
  int ansiCodePage_;
  const std::atomic<bool>& stopRequested_;
  std::vector<std::unique_ptr<Slot>> slots_;  // work `index` in slot index % InHand()
  std::mutex mutex_;
  std::condition_variable startsPut_;
  std::condition_variable queueChanged_;
  std::condition_variable workFinished_;
  std::map<std::uint64_t, BlockStarts> starts_;  // per chunk index, the older let go of
  std::deque<std::pair<Slot*, Work>> queued_;    // in chunk order, not begun yet
  bool quit_ = false;
  // Last: they run Serve, which reads everything above, and are waited for first.
  std::vector<std::unique_ptr<TaskThread>> workers_;
};

}  // namespace quillon
