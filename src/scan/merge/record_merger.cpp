#include "scan/merge/record_merger.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "scan/carve/record_building.h"
#include "scan/merge/nul_search.h"
#include "scan/shape/block_context.h"
#include "scan/shape/shape_body.h"

namespace quillon {

namespace {

// What a header block tells about the text of the mail it begins.
MailExtent ExtentOf(const ShapeCandidate& candidate) {
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = candidate.start;
  extent.lineFeedOnly = candidate.lineFeedOnly;
  extent.multipartEnd = candidate.multipartEnd;
  extent.behindMailboxSeparator = candidate.behindMboxSeparator;
  return extent;
}

}  // namespace

RecordMerger::RecordMerger(ScanStatus& status, FoundMails& mails, ScanObserver& observer,
                           std::string sourceName, bool strict, int ansiCodePage)
    : sourceName_(std::make_shared<const std::string>(std::move(sourceName))),
      strict_(strict),
      ansiCodePage_(ansiCodePage),
      publisher_(status, mails, observer),
      storeChains_(sourceName_, ansiCodePage) {}

void RecordMerger::Accept(const MailRecordPtr& record) {
  if (strict_) {
    Publish(record, {});
    return;
  }
  if (!traceFinds_.empty() && record->StartByte() < traceFinds_.back()->StartByte())
    traceFindsInOrder_ = false;
  traceFinds_.push_back(record);
}

void RecordMerger::AddCandidates(ShapeFinds&& finds) {
  storeChains_.Add(finds);
  candidates_.Add(std::move(finds.candidates));
}

void RecordMerger::DecideBlock(ShapeCandidate& candidate, std::uint64_t nextBlockStart,
                               CarveBuffer buffer) {
  const bool quoted = candidate.behindMboxSeparator && !candidate.separatorOpensFile &&
                      haveLastBlock_ && lastBlockOpensFile_ &&
                      !NulBetween(buffer, lastBlockStart_, candidate.start);
  if (!quoted) {
    lastBlockStart_ = candidate.start;
    lastBlockOpensFile_ = candidate.opensFile;
    haveLastBlock_ = true;
  }
  // A trace find inside a block is that block's mail.
  bool matched = false;
  // The walk finds mails in position order: then only the finds inside the block are looked at,
  // in the order a look at every one would meet them.
  auto first = traceFinds_.begin();
  auto last = traceFinds_.end();
  if (traceFindsInOrder_) {
    auto startsBefore = [](const MailRecordPtr& r, std::uint64_t at) {
      return r->StartByte() < at;
    };
    first = std::lower_bound(first, last, candidate.start, startsBefore);
    last = std::lower_bound(first, last, candidate.headerEnd, startsBefore);
  }
  for (; first != last; ++first) {
    const MailRecordPtr& trace = *first;
    const std::uint64_t at = trace->StartByte();
    if (at >= candidate.start && at < candidate.headerEnd && !trace->Extent().textStartKnown) {
      // A message quoted in a mail with its separator line is part of that mail.
      if (quoted) {
        quotedFinds_.insert(trace.get());
        continue;
      }
      trace->SetExtent(ExtentOf(candidate));
      matched = true;
    }
  }
  if (matched || quoted) return;
  // A mail of its own: follow its body up to where the next block begins.
  FollowBodyOf(candidate, nextBlockStart, buffer);
  // The body ran on behind the NUL the multipart's end was taken at, as it does only over a
  // part of raw bytes: the mail ends where its body does.
  if (candidate.multipartEnd != 0 && candidate.body.textEnd > candidate.multipartEnd)
    candidate.multipartEnd = candidate.body.textEnd;
  MailRecordPtr record =
      BuildRecord(std::move(candidate.headers), sourceName_, FoundBy::Shape, ansiCodePage_);
  record->SetExtent(ExtentOf(candidate));
  record->PublishBody(std::move(candidate.body));
  held_.push_back(std::move(record));
}

void RecordMerger::FollowBodyOf(ShapeCandidate& candidate, std::uint64_t limit,
                                CarveBuffer buffer) {
  if (candidate.start >= buffer.base && candidate.headerEnd <= buffer.base + buffer.size) {
    std::optional<MailBody> body =
        preparedBodies_.Take(candidate.start, candidate.headerEnd, limit, buffer);
    if (body) {
      candidate.body = std::move(*body);
      return;
    }
  }
  FollowShapeBody(buffer, candidate, limit, ansiCodePage_);
}

void RecordMerger::DecideTraceFinds(std::uint64_t undecided, CarveBuffer buffer) {
  auto decided =
      std::stable_partition(traceFinds_.begin(), traceFinds_.end(),
                            [&](const MailRecordPtr& r) { return r->StartByte() < undecided; });
  std::vector<MailRecordPtr> decidedFinds(traceFinds_.begin(), decided);
  traceFinds_.erase(traceFinds_.begin(), decided);
  if (traceFinds_.empty()) traceFindsInOrder_ = true;
  for (MailRecordPtr& find : decidedFinds) {
    const std::uint64_t at = find->StartByte();
    // In a store block that begins no chain found so far, it lies in some message's chain:
    // which one is known when every chain is, at the end.
    const StoreChains::StorePlace place = storeChains_.PlaceOf(*find);
    if (place == StoreChains::StorePlace::AwaitsItsChain) {
      storeChains_.Hold(std::move(find));
      continue;
    }
    // A message whose chain begins at its block is a mail of its own, whatever the walk made of
    // the mail before it: a body whose lines the walk could not read (line feeds alone) leaves
    // that mail's multipart open, and the next message would be taken for one of its parts.
    if (place == StoreChains::StorePlace::OpensAChain) {
      find->container = nullptr;
      held_.push_back(std::move(find));
      continue;
    }
    // One no header block of its own stands behind may be an attached or quoted message: then
    // it is part of the mail around it, which began behind the last NUL.
    if (!find->Extent().textStartKnown &&
        (quotedFinds_.erase(find.get()) > 0 || TraceLineInsideAnotherMail(buffer, at)))
      containment_.NoteInside(find.get(), containerStarts_.StartsFrom(buffer, at));
    held_.push_back(std::move(find));
  }
}

void RecordMerger::Resolve(std::uint64_t walkPosition, CarveBuffer buffer) {
  if (strict_) return;
  // Decide the blocks the walk has passed.
  while (!candidates_.empty() && candidates_.front().headerEnd <= walkPosition) {
    // Decided where it is held: a candidate is large, and moving it out cost more than the rest.
    ShapeCandidate& candidate = candidates_.front();
    // Header lines inside a store's blocks belong to the message whose chain holds them; the
    // chains decide, at the end.
    if (!storeChains_.InStoreArea(candidate.start) &&
        !storeChains_.ContinuesAStoreBlock(candidate.start))
      DecideBlock(candidate, candidates_.second() ? candidates_.second()->start : UINT64_MAX,
                  buffer);
    candidates_.pop_front();
  }
  // Trace finds before every undecided block are decided too.
  const std::uint64_t undecided =
      candidates_.empty() ? walkPosition : std::min(walkPosition, candidates_.front().start);
  DecideTraceFinds(undecided, buffer);

  std::stable_sort(held_.begin(), held_.end(), [](const MailRecordPtr& a, const MailRecordPtr& b) {
    return a->StartByte() < b->StartByte();
  });
  auto ready = std::find_if(held_.begin(), held_.end(),
                            [&](const MailRecordPtr& r) { return r->StartByte() >= undecided; });
  std::vector<MailRecordPtr> publish(held_.begin(), ready);
  held_.erase(held_.begin(), ready);
  for (const MailRecordPtr& record : publish) Publish(record, buffer);
}

void RecordMerger::Finish(CarveBuffer buffer, std::uint64_t stoppedAt) {
  // Blocks the walk never reached were looked at ahead of it; a stopped scan does not show them.
  while (!candidates_.empty() && candidates_.back().start >= stoppedAt) candidates_.pop_back();
  storeChains_.DropFrom(stoppedAt);
  Resolve(UINT64_MAX, buffer);
  if (strict_) return;
  storeChains_.Decide(
      allRecords_, buffer.unreadable,
      [this](const MailRecord* record) { return containment_.IndexOf(record); },
      [this, buffer](const MailRecordPtr& record) { Publish(record, buffer); });
}

void RecordMerger::Publish(const MailRecordPtr& record, CarveBuffer buffer) {
  if (!strict_) {
    // Whether a find is part of another mail decides whether it can be a copy.
    containment_.Place(record, publisher_.Count());
    duplicates_.Mark(*record, publisher_.Count(), buffer, allRecords_);
    allRecords_.push_back(record);
  }
  publisher_.Publish(record);
}

std::uint64_t RecordMerger::NextBlockStart(std::uint64_t after) const {
  return candidates_.StartBehind(after);
}

}  // namespace quillon
