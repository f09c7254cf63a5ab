// The trace walk of one chunk, begun afresh at the chunk's start on a worker thread while the
// walk from the source's start is still busy with earlier chunks. The walk carries little from
// mail to mail: once both walks stand between mails at the same trace line, they go on alike.
// So the walk from the start walks the chunk itself only until it meets this one, and takes the
// rest, finds and all, from here; where they never meet it walks the whole chunk, and this walk
// is thrown away. Either way the mails are those one walk over the whole source finds. Where they
// met, the walk from the start stands at the chunk's end as this walk stood; so this walk also
// goes on into the next chunk, as far as the first trace line there (most often where the walk
// ahead of that chunk meets it) or through it, and the walk from the start takes that stretch
// from here too.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scan/carve/mail_carver.h"
#include "scan/find/line_break_map.h"
#include "scan/mail_record.h"
#include "scan/source_bytes.h"

namespace quillon {

class WalkAhead {
 public:
  // A walk of the chunk that begins at the absolute byte `chunkStart`.
  WalkAhead(std::string sourceName, int ansiCodePage, std::uint64_t chunkStart);
  WalkAhead(const WalkAhead&) = delete;
  WalkAhead& operator=(const WalkAhead&) = delete;

  // Where header blocks are known to begin, in position order, as the walk from the start will
  // know them when it walks this chunk (without --strict: the shape finds of this chunk and the
  // next). Set before Run.
  void EndMailsAtBlocks(std::vector<std::uint64_t> blockStarts);

  // Walks the chunk up to the absolute byte `walkEnd`, as MailCarver::Walk does, keeping the
  // mails it finds and every point between mails it passes.
  void Run(CarveBuffer bytes, std::uint64_t walkEnd, const std::atomic<bool>& stopRequested,
           const LineBreakMap* lineBreaks);

  // Walks `reference` (the walk from the start, standing in this chunk) up to `walkEnd` until
  // it meets this walk; from there on it goes on as this walk did: the mails this walk found
  // behind the meeting point go to `sink` in order and `reference` takes its state. Returns
  // whether they met. This walk is used up either way.
  bool CarryOn(MailCarver& reference, MailSink& sink, CarveBuffer bytes, std::uint64_t walkEnd,
               const std::atomic<bool>& stopRequested, const LineBreakMap* lineBreaks);

  // Goes on from where Run ended, apart (this walk stays as it was), over the next chunk up to
  // the absolute byte `nextEnd`, to the line break before its first trace line, or to that end.
  // Where the walk from the start takes this walk's state at the chunk's end, it stands as this
  // walk then, and the stretch up to there is walked: WalkedOn() is then where it goes on.
  void WalkOnToTraceLine(CarveBuffer bytes, std::uint64_t nextEnd,
                         const std::atomic<bool>& stopRequested,
                         const LineBreakMap* nextLineBreaks);
  // The walk gone on, having found nothing; null where it may not have walked as the walk from
  // the start would. This walk knows where header blocks begin up to the next chunk's end, the
  // walk from the start further on: `firstBlockFromEnd` is the first it knows to begin from
  // there on (UINT64_MAX: none). A walk gone on to the end may have read lines that begin there.
  MailCarver* WalkedOn(std::uint64_t firstBlockFromEnd) {
    if (!walkedOn_ || (!stoppedBeforeTraceLine_ && firstBlockFromEnd < nextEnd_ + 2))
      return nullptr;
    return &*walkedOn_;
  }

  // The points between mails passed, and the mails found before each (for tests).
  struct Point {
    std::uint64_t traceLine = 0;
    std::size_t foundBefore = 0;
  };
  const std::vector<Point>& Points() const { return points_; }
  const std::vector<MailRecordPtr>& Found() const { return collected_.found; }

 private:
  struct Collector final : MailSink {
    void Accept(const MailRecordPtr& record) override { found.push_back(record); }
    std::vector<MailRecordPtr> found;
  };

  std::string sourceName_;
  int ansiCodePage_;
  Collector collected_;
  MailCarver carver_;
  std::optional<std::vector<std::uint64_t>> blockStarts_;
  Collector walkedOnFound_;
  std::optional<MailCarver> walkedOn_;
  std::uint64_t nextEnd_ = 0;
  bool stoppedBeforeTraceLine_ = false;
  std::vector<Point> points_;  // in position order
};

}  // namespace quillon
