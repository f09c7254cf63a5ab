#include "scan/parallel/chunks_ahead.h"

#include <algorithm>
#include <utility>

#include "scan/shape/shape_body.h"

namespace quillon {

namespace {

// Block starts of the chunks let go of stay this long, for walks still in hand.
constexpr std::uint64_t kStartsKept = 8;

}  // namespace

ShapeFinds ScanChunkShapes(ShapeScanner& shapes, const ChunkReader::Chunk& chunk,
                           const ChunkReader::Chunk* next, CarveBuffer bytes) {
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
}

bool WorthAWorker(const ChunkReader::Chunk& chunk, const ChunkReader::Chunk& next,
                  std::uint32_t fromMarks) {
  if (!chunk.lineBreaks || !chunk.marks) return true;
  const std::size_t marks =
      chunk.marks->anchors.size() + (next.marks ? next.marks->anchors.size() : 0);
  return marks >= fromMarks;
}

ChunksAhead::ChunksAhead(unsigned workers, unsigned inHand, ShapeScanner* shapes,
                         std::string sourceName, int ansiCodePage,
                         const std::atomic<bool>& stopRequested)
    : shapes_(shapes),
      sourceName_(std::move(sourceName)),
      ansiCodePage_(ansiCodePage),
      stopRequested_(stopRequested) {
  for (unsigned i = 0; i < std::max(workers, inHand); ++i)
    slots_.push_back(std::make_unique<Slot>());
  for (unsigned i = 0; i < workers; ++i) {
    workers_.push_back(std::make_unique<TaskThread>());
    workers_.back()->Start([this] { Serve(); });
  }
}

ChunksAhead::~ChunksAhead() {
  {
    // Works are begun in chunk order, so none begun waits for the shapes of one dropped.
    std::lock_guard lock(mutex_);
    quit_ = true;
    queued_.clear();
  }
  queueChanged_.notify_all();
  workers_.clear();
}

void ChunksAhead::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    queueChanged_.wait(lock, [this] { return quit_ || !queued_.empty(); });
    if (queued_.empty()) return;
    auto [slot, work] = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    Run(*slot, work);
    lock.lock();
    slot->finished = true;
    // Told after the lock is let go: woken under it, the scan's thread would only sleep again
    // on the lock, and be woken a second time.
    lock.unlock();
    workFinished_.notify_all();
    lock.lock();
  }
}

void ChunksAhead::PutStarts(std::uint64_t index, BlockStarts starts) {
  {
    std::lock_guard lock(mutex_);
    starts_[index] = std::move(starts);
    while (!starts_.empty() && starts_.begin()->first + kStartsKept < index)
      starts_.erase(starts_.begin());
  }
  startsPut_.notify_all();
}

ChunksAhead::BlockStarts ChunksAhead::WaitForStarts(std::uint64_t index) {
  std::unique_lock lock(mutex_);
  startsPut_.wait(lock, [&] { return starts_.count(index) != 0; });
  return starts_[index];
}

void ChunksAhead::NoteShapes(std::uint64_t index, const ShapeFinds& finds) {
  auto blocks = std::make_shared<ChunkBlocks>();
  // A candidate is large: grown one by one, the list moved every one of them several times.
  blocks->blocks.reserve(finds.candidates.size());
  blocks->toFollow.reserve(finds.candidates.size());
  for (const ShapeCandidate& candidate : finds.candidates) {
    blocks->blocks.push_back({candidate.start});
    if (candidate.inStore) continue;
    ShapeCandidate& follow = blocks->toFollow.emplace_back();
    follow.start = candidate.start;
    follow.headerEnd = candidate.headerEnd;
    follow.multipartEnd = candidate.multipartEnd;
    follow.lineFeedOnly = candidate.lineFeedOnly;
    follow.endsWithoutEmptyLine = candidate.endsWithoutEmptyLine;
    follow.headers.contentType = candidate.headers.contentType;
    follow.headers.boundary = candidate.headers.boundary;
    follow.headers.transferEncoding = candidate.headers.transferEncoding;
  }
  PutStarts(index, std::move(blocks));
}

void ChunksAhead::Start(const Work& work) {
  Slot& slot = *slots_[work.index % slots_.size()];
  slot.busy = true;
  slot.index = work.index;
  {
    std::lock_guard lock(mutex_);
    slot.finished = false;
    queued_.emplace_back(&slot, work);
  }
  queueChanged_.notify_one();
}

bool ChunksAhead::Started(std::uint64_t index) const {
  const Slot& slot = *slots_[index % slots_.size()];
  return slot.busy && slot.index == index;
}

ChunksAhead::Done ChunksAhead::Take(std::uint64_t index) {
  Slot& slot = *slots_[index % slots_.size()];
  std::unique_lock lock(mutex_);
  workFinished_.wait(lock, [&slot] { return slot.finished; });
  slot.busy = false;
  return std::move(slot.done);
}

std::vector<PreparedBody> ChunksAhead::FollowAhead(const WalkAhead& walk,
                                                   const std::vector<ShapeCandidate>& toFollow,
                                                   const std::vector<Block>& blocks,
                                                   CarveBuffer bytes) const {
  std::vector<std::uint64_t> traceFinds;
  traceFinds.reserve(walk.Found().size());
  for (const MailRecordPtr& record : walk.Found()) traceFinds.push_back(record->StartByte());
  std::sort(traceFinds.begin(), traceFinds.end());
  const std::uint64_t bytesEnd = bytes.base + bytes.size;
  std::vector<PreparedBody> bodies;
  bodies.reserve(toFollow.size());
  for (const ShapeCandidate& block : toFollow) {
    // A trace find in the block makes the block that find's mail: no body of its own to follow.
    const auto trace = std::lower_bound(traceFinds.begin(), traceFinds.end(), block.start);
    if (trace != traceFinds.end() && *trace < block.headerEnd) continue;
    // The merge follows a body up to where the next block begins.
    const auto next = std::upper_bound(
        blocks.begin(), blocks.end(), block.start,
        [](std::uint64_t position, const Block& each) { return position < each.start; });
    const std::uint64_t limit = next == blocks.end() ? UINT64_MAX : next->start;
    if (block.start < bytes.base || FollowReach(block.headerEnd, limit) > bytesEnd) continue;
    // Copied only for the bodies followed: the list is shared, and following writes the body.
    ShapeCandidate candidate = block;
    FollowShapeBody(bytes, candidate, limit, ansiCodePage_);
    bodies.push_back({candidate.start, limit, bytesEnd, std::move(candidate.body)});
  }
  return bodies;
}

void ChunksAhead::Run(Slot& slot, const Work& work) {
  slot.done = {};
  std::vector<Block> blocks;
  BlockStarts own;
  if (shapes_) {
    // The scanner's last chunk must be the one before: it goes on from there.
    own = WaitForStarts(work.index);
    slot.done.nextShapes = ScanChunkShapes(
        *shapes_, work.next, work.afterNext.bytes ? &work.afterNext : nullptr, work.bytes);
    NoteShapes(work.index + 1, slot.done.nextShapes);
    // A chunk's blocks begin in it, so the two lists stand in position order one behind the other.
    blocks = own->blocks;
    for (const ShapeCandidate& candidate : slot.done.nextShapes.candidates)
      blocks.push_back({candidate.start});
  }
  auto walk = std::make_unique<WalkAhead>(sourceName_, ansiCodePage_, work.chunk.start);
  if (shapes_) {
    std::vector<std::uint64_t> starts;
    starts.reserve(blocks.size());
    for (const Block& block : blocks) starts.push_back(block.start);
    walk->EndMailsAtBlocks(std::move(starts));
  }
  walk->Run(work.bytes, work.chunk.start + work.chunk.bytes, stopRequested_, work.chunk.lineBreaks);
  walk->WalkOnToTraceLine(work.bytes, work.next.start + work.next.bytes, stopRequested_,
                          work.next.lineBreaks);
  // Only the merge without --strict follows shape finds' bodies. No texts are printed here: the
  // duplicate marker prints a mail's text only when a mail with the same values is compared
  // with it, which on dense mail is about one mail in five; printing every found mail ahead
  // cost the workers more than those prints cost the marker.
  if (shapes_) slot.done.bodies = FollowAhead(*walk, own->toFollow, blocks, work.bytes);
  slot.done.walk = std::move(walk);
}

}  // namespace quillon
