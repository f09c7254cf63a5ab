#include "scan/parallel/walk_ahead.h"

#include <algorithm>

namespace quillon {

WalkAhead::WalkAhead(std::string sourceName, int ansiCodePage, std::uint64_t chunkStart)
    : sourceName_(std::move(sourceName)),
      ansiCodePage_(ansiCodePage),
      carver_(sourceName_, collected_, ansiCodePage, chunkStart) {}

void WalkAhead::EndMailsAtBlocks(std::vector<std::uint64_t> blockStarts) {
  blockStarts_ = std::move(blockStarts);
  carver_.EndMailsAtNextBlocks([this](std::uint64_t after) {
    const auto next = std::upper_bound(blockStarts_->begin(), blockStarts_->end(), after);
    return next == blockStarts_->end() ? UINT64_MAX : *next;
  });
}

void WalkAhead::WalkOnToTraceLine(CarveBuffer bytes, std::uint64_t nextEnd,
                                  const std::atomic<bool>& stopRequested,
                                  const LineBreakMap* nextLineBreaks) {
  // A walk that passed no point between mails is never met: the walk from the start never
  // stands where it stands. A header block read on would be a mail found here, before the walk
  // from the start took it.
  if (points_.empty() || carver_.ReadingHeader() || stopRequested.load()) return;
  walkedOn_.emplace(sourceName_, walkedOnFound_, ansiCodePage_, carver_.Position());
  if (blockStarts_) {
    walkedOn_->EndMailsAtNextBlocks([this](std::uint64_t after) {
      const auto next = std::upper_bound(blockStarts_->begin(), blockStarts_->end(), after);
      return next == blockStarts_->end() ? UINT64_MAX : *next;
    });
  }
  walkedOn_->CopyWalkFrom(carver_);
  nextEnd_ = nextEnd;
  stoppedBeforeTraceLine_ =
      walkedOn_->WalkToTraceLine(bytes, nextEnd, stopRequested, nextLineBreaks);
  // Stopped before a trace line, the walk read only lines that begin before it; else it walked
  // the whole next chunk, as Walk does (not cut short at a trace line it could not stop at).
  const bool walkedAlike = stoppedBeforeTraceLine_ ? walkedOn_->Position() + 2 < nextEnd
                                                   : walkedOn_->Position() >= nextEnd;
  if (!walkedAlike || !walkedOnFound_.found.empty() || stopRequested.load()) walkedOn_.reset();
}

void WalkAhead::Run(CarveBuffer bytes, std::uint64_t walkEnd,
                    const std::atomic<bool>& stopRequested, const LineBreakMap* lineBreaks) {
  carver_.WatchBetweenMails([this](std::uint64_t traceLine) {
    points_.push_back({traceLine, collected_.found.size()});
    return false;
  });
  carver_.Walk(bytes, walkEnd, stopRequested, lineBreaks);
  carver_.WatchBetweenMails(nullptr);
}

bool WalkAhead::CarryOn(MailCarver& reference, MailSink& sink, CarveBuffer bytes,
                        std::uint64_t walkEnd, const std::atomic<bool>& stopRequested,
                        const LineBreakMap* lineBreaks) {
  const Point* met = nullptr;
  reference.WatchBetweenMails([&](std::uint64_t traceLine) {
    const auto at = std::lower_bound(
        points_.begin(), points_.end(), traceLine,
        [](const Point& point, std::uint64_t line) { return point.traceLine < line; });
    if (at != points_.end() && at->traceLine == traceLine) met = &*at;
    return met != nullptr;
  });
  reference.Walk(bytes, walkEnd, stopRequested, lineBreaks);
  reference.WatchBetweenMails(nullptr);
  if (!met) return false;
  for (std::size_t i = met->foundBefore; i < collected_.found.size(); ++i)
    sink.Accept(collected_.found[i]);
  reference.TakeWalkFrom(carver_);
  collected_.found.clear();
  points_.clear();
  return true;
}

}  // namespace quillon
