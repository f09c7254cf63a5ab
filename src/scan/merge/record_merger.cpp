#include "scan/merge/record_merger.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "scan/carve/record_building.h"
#include "scan/lines/header_text.h"
#include "scan/read/block_header.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/block_context.h"
#include "scan/shape/shape_body.h"

namespace quillon {

namespace {

// Whether a NUL lies in [from, to): a deleted mail ends at zeroed slack. Unknown bytes (no longer
// in the buffer) count as one, so that a separated mail is not taken for a quotation.
bool NulBetween(CarveBuffer buffer, std::uint64_t from, std::uint64_t to) {
  if (from < buffer.base || to > buffer.base + buffer.size || from >= to) return true;
  return std::memchr(buffer.data + (from - buffer.base), 0, static_cast<std::size_t>(to - from)) !=
         nullptr;
}

// The earliest position a mail around `at` can begin: behind the last NUL in front of it, as far
// as the buffer reaches back.
std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at) {
  constexpr std::size_t kMaxLookBack = 4 * 1024 * 1024;
  if (at <= buffer.base || at > buffer.base + buffer.size) return at;
  const std::size_t end = static_cast<std::size_t>(at - buffer.base);
  const std::size_t begin = end > kMaxLookBack ? end - kMaxLookBack : 0;
  const std::string_view before(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  const std::size_t nul = before.rfind('\0');
  return buffer.base + begin + (nul == std::string_view::npos ? 0 : nul + 1);
}

}  // namespace

RecordMerger::RecordMerger(ScanStatus& status, FoundMails& mails, ScanObserver& observer,
                           std::string sourceName, bool strict)
    : status_(status),
      mails_(mails),
      observer_(observer),
      sourceName_(std::move(sourceName)),
      strict_(strict) {}

void RecordMerger::Accept(const MailRecordPtr& record) {
  if (strict_) {
    Publish(record);
    return;
  }
  traceFinds_.push_back(record);
}

void RecordMerger::AddCandidates(ShapeFinds&& finds) {
  for (ShapeCandidate& candidate : finds.candidates) candidates_.push_back(std::move(candidate));
  for (ShapeCandidate& candidate : finds.storeCandidates) {
    if (candidate.tracePosition != 0) {
      ChainTraceLine line{candidate.storeBlock, candidate.headers.from, candidate.headers.date};
      NormaliseDate(line.date);
      chainTraceLines_.emplace(candidate.tracePosition, std::move(line));
    }
    storeCandidates_.push_back(std::move(candidate));
  }
  if (!finds.storeTargets.empty()) {
    std::sort(finds.storeTargets.begin(), finds.storeTargets.end());
    storeTargets_.push_back(std::move(finds.storeTargets));
  }
  // In position order, as the chunks come; one may reach into the next (InStoreArea allows it).
  storeAreas_.insert(storeAreas_.end(), finds.storeAreas.begin(), finds.storeAreas.end());
}

bool RecordMerger::IsStoreTarget(std::uint64_t block) const {
  return std::any_of(storeTargets_.begin(), storeTargets_.end(), [&](const auto& targets) {
    return std::binary_search(targets.begin(), targets.end(), block);
  });
}

bool RecordMerger::InStoreArea(std::uint64_t at) const {
  // Areas in order of their starts, possibly overlapping: the first that begins behind `at`
  // ends the search.
  for (const auto& [first, end] : storeAreas_) {
    if (first > at) return false;
    if (at < end) return true;
  }
  return false;
}

bool RecordMerger::AwaitsItsStoreChain(const MailRecord& find) {
  const std::uint64_t at = find.StartByte();
  // Finds are decided in position order: the areas behind this one are of no more use.
  while (!storeAreas_.empty() && storeAreas_.front().second <= at) storeAreas_.pop_front();
  if (!InStoreArea(at)) return false;
  // The trace line of a chain found already is that mail's own, unless the walk joined it to the
  // values of whatever block lay behind it.
  const auto [first, end] = chainTraceLines_.equal_range(at);
  for (auto chain = first; chain != end; ++chain) {
    const ChainTraceLine& line = chain->second;
    if (find.from != line.from || find.date != line.date) continue;
    if (!IsStoreTarget(line.storeBlock)) return false;
  }
  return true;
}

void RecordMerger::Resolve(std::uint64_t walkPosition, CarveBuffer buffer) {
  if (strict_) return;
  // Decide the blocks the walk has passed: a trace find inside a block is that block's mail.
  while (!candidates_.empty() && candidates_.front().headerEnd <= walkPosition) {
    ShapeCandidate candidate = std::move(candidates_.front());
    candidates_.pop_front();
    // Header lines inside a store's blocks belong to the message whose chain holds them; the
    // chains decide, at the end.
    if (InStoreArea(candidate.start)) continue;
    const bool quoted = candidate.behindMboxSeparator && !candidate.separatorOpensFile &&
                        haveLastBlock_ && lastBlockOpensFile_ &&
                        !NulBetween(buffer, lastBlockStart_, candidate.start);
    if (!quoted) {
      lastBlockStart_ = candidate.start;
      lastBlockOpensFile_ = candidate.opensFile;
      haveLastBlock_ = true;
    }
    bool matched = false;
    for (const MailRecordPtr& trace : traceFinds_) {
      const std::uint64_t at = trace->StartByte();
      if (at >= candidate.start && at < candidate.headerEnd && !trace->Extent().textStartKnown) {
        // A message quoted in a mail with its separator line is part of that mail.
        if (quoted) {
          quotedFinds_.insert(trace.get());
          continue;
        }
        MailExtent extent;
        extent.textStartKnown = true;
        extent.textStart = candidate.start;
        extent.lineFeedOnly = candidate.lineFeedOnly;
        extent.multipartEnd = candidate.multipartEnd;
        extent.behindMailboxSeparator = candidate.behindMboxSeparator;
        trace->SetExtent(extent);
        matched = true;
      }
    }
    if (matched || quoted) continue;
    // A mail of its own: follow its body up to where the next block begins.
    FollowShapeBody(buffer, candidate,
                    candidates_.empty() ? UINT64_MAX : candidates_.front().start);
    MailRecordPtr record = BuildRecord(std::move(candidate.headers), sourceName_, FoundBy::Shape);
    MailExtent extent;
    extent.textStartKnown = true;
    extent.textStart = candidate.start;
    extent.lineFeedOnly = candidate.lineFeedOnly;
    extent.multipartEnd = candidate.multipartEnd;
    extent.behindMailboxSeparator = candidate.behindMboxSeparator;
    record->SetExtent(extent);
    record->PublishBody(std::move(candidate.body));
    held_.push_back(std::move(record));
  }
  // Trace finds before every undecided block are decided too.
  const std::uint64_t undecided =
      candidates_.empty() ? walkPosition : std::min(walkPosition, candidates_.front().start);
  auto decided =
      std::stable_partition(traceFinds_.begin(), traceFinds_.end(),
                            [&](const MailRecordPtr& r) { return r->StartByte() < undecided; });
  std::vector<MailRecordPtr> decidedFinds(traceFinds_.begin(), decided);
  traceFinds_.erase(traceFinds_.begin(), decided);
  for (MailRecordPtr& find : decidedFinds) {
    const std::uint64_t at = find->StartByte();
    // In a store block that begins no chain found so far, it lies in some message's chain:
    // which one is known when every chain is, at the end.
    if (AwaitsItsStoreChain(*find)) {
      awaitingChains_.push_back(std::move(find));
      continue;
    }
    // One no header block of its own stands behind may be an attached or quoted message: then
    // it is part of the mail around it, which began behind the last NUL.
    if (!find->Extent().textStartKnown &&
        (quotedFinds_.erase(find.get()) > 0 || TraceLineInsideAnotherMail(buffer, at)))
      insideFinds_.emplace(find.get(), ContainerStartsFrom(buffer, at));
    held_.push_back(std::move(find));
  }

  std::stable_sort(held_.begin(), held_.end(), [](const MailRecordPtr& a, const MailRecordPtr& b) {
    return a->StartByte() < b->StartByte();
  });
  auto ready = std::find_if(held_.begin(), held_.end(),
                            [&](const MailRecordPtr& r) { return r->StartByte() >= undecided; });
  std::vector<MailRecordPtr> publish(held_.begin(), ready);
  held_.erase(held_.begin(), ready);
  for (const MailRecordPtr& record : publish) Publish(record);
}

void RecordMerger::Finish(CarveBuffer buffer, std::uint64_t stoppedAt) {
  // Blocks the walk never reached were looked at ahead of it; a stopped scan does not show them.
  while (!candidates_.empty() && candidates_.back().start >= stoppedAt) candidates_.pop_back();
  std::erase_if(storeCandidates_,
                [&](const ShapeCandidate& candidate) { return candidate.start >= stoppedAt; });
  Resolve(UINT64_MAX, buffer);
  if (!strict_) DecideStoreCandidates(buffer.unreadable);
}

void RecordMerger::DecideStoreCandidates(const UnreadableSectors* unreadable) {
  // The blocks named as next, in one sorted batch for the lookups to come.
  if (storeTargets_.size() > 1) {
    std::vector<std::uint64_t> all;
    for (const std::vector<std::uint64_t>& batch : storeTargets_)
      all.insert(all.end(), batch.begin(), batch.end());
    std::sort(all.begin(), all.end());
    storeTargets_.assign(1, std::move(all));
  }
  // Every record so far and every trace find held, by position.
  std::vector<std::pair<std::uint64_t, MailRecord*>> byPosition;
  byPosition.reserve(allRecords_.size() + awaitingChains_.size());
  for (const auto* records : {&allRecords_, &awaitingChains_}) {
    for (const MailRecordPtr& record : *records)
      byPosition.emplace_back(record->StartByte(), record.get());
  }
  std::stable_sort(byPosition.begin(), byPosition.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto recordsIn = [&](std::uint64_t from, std::uint64_t to) {
    const auto first =
        std::lower_bound(byPosition.begin(), byPosition.end(), from,
                         [](const auto& entry, std::uint64_t at) { return entry.first < at; });
    const auto end =
        std::lower_bound(first, byPosition.end(), to,
                         [](const auto& entry, std::uint64_t at) { return entry.first < at; });
    return std::pair(first, end);
  };

  std::vector<MailRecordPtr> found;
  // The stretches of every store mail's chain, for the trace finds in them.
  struct ChainPiece {
    std::uint64_t start;
    std::uint64_t end;
    const MailRecord* mail;
  };
  std::vector<ChainPiece> chainPieces;
  for (ShapeCandidate& candidate : storeCandidates_) {
    if (IsStoreTarget(candidate.storeBlock)) continue;
    MailExtent extent;
    extent.textStartKnown = true;
    extent.textStart = candidate.start;
    extent.lineFeedOnly = candidate.lineFeedOnly;
    extent.inStore = true;
    extent.storeBlock = candidate.storeBlock;
    // Following the body later, should it come to that, needs the headers still.
    MailRecordPtr own = BuildRecord(
        candidate.bodyAwaited ? PendingMail(candidate.headers) : std::move(candidate.headers),
        sourceName_, FoundBy::Shape);
    // A mail found already, at the chain's trace line, inside its header block or at its start,
    // with its values, learns that it lies in a chain.
    MailRecord* matched = nullptr;
    auto consider = [&](std::uint64_t from, std::uint64_t to, bool needSameValues) {
      const auto [first, end] = recordsIn(from, to);
      for (auto entry = first; entry != end && !matched; ++entry) {
        MailRecord& record = *entry->second;
        if (record.Extent().inStore) continue;
        if (needSameValues && (record.from != own->from || record.date != own->date)) continue;
        record.SetExtent(extent);
        matched = &record;
      }
    };
    if (candidate.tracePosition != 0)
      consider(candidate.tracePosition, candidate.tracePosition + 1, true);
    for (std::size_t piece = 0; piece < candidate.headerPieces && !matched; ++piece) {
      const auto& [offset, length] = candidate.pieces[piece];
      consider(offset, offset + length, true);
    }
    if (!matched) consider(candidate.start, candidate.start + 1, true);
    // A find at the chain's trace line whose walk read on into whatever block lay behind it, and
    // took that block's values, is this mail all the same: it takes the chain's values and text.
    MailRecord* taker = nullptr;
    for (const MailRecordPtr& find : awaitingChains_) {
      if (!matched && candidate.tracePosition != 0 && !find->Extent().inStore &&
          find->StartByte() == candidate.tracePosition)
        taker = find.get();
    }
    if (!matched) {
      MailRecord& mail = taker ? *taker : *own;
      if (taker) TakeHeaderValues(*taker, *own);
      if (readSource_) FollowStoreBody(readSource_, candidate);
      mail.SetExtent(extent);
      mail.PublishBody(std::move(candidate.body));
      if (!taker) found.push_back(own);
      matched = &mail;
    }
    for (const auto& [offset, length] : candidate.pieces) {
      chainPieces.push_back({offset, offset + length + kBlockHeaderSize, matched});
      // A store mail's text lies in its blocks, wherever they are.
      if (unreadable && unreadable->Overlaps(offset, offset + length)) matched->damaged = true;
    }
  }
  std::sort(found.begin(), found.end(), [](const MailRecordPtr& a, const MailRecordPtr& b) {
    return a->StartByte() < b->StartByte();
  });
  for (const MailRecordPtr& record : found) Publish(record);
  std::sort(chainPieces.begin(), chainPieces.end(),
            [](const ChainPiece& a, const ChainPiece& b) { return a.start < b.start; });

  // The trace finds held: first those in a chain's header block, the message's own; then those
  // in its other blocks, attached to that message.
  std::stable_partition(awaitingChains_.begin(), awaitingChains_.end(),
                        [](const MailRecordPtr& record) { return record->Extent().inStore; });
  for (const MailRecordPtr& record : awaitingChains_) {
    const std::uint64_t at = record->StartByte();
    if (!record->Extent().inStore) {
      auto piece = std::upper_bound(
          chainPieces.begin(), chainPieces.end(), at,
          [](std::uint64_t position, const ChainPiece& p) { return position < p.start; });
      if (piece != chainPieces.begin() && (--piece)->end > at) {
        if (auto mail = indexOf_.find(piece->mail); mail != indexOf_.end())
          record->partOf = static_cast<std::int64_t>(mail->second);
      }
    }
    Publish(record);
  }
  awaitingChains_.clear();
}

void RecordMerger::MarkDuplicate(MailRecord& record, std::size_t index) {
  // The same message: the same Message-ID, or else the same header values. A copy found by its
  // trace line may have been read without the Message-ID above that line: values alone then
  // match it with a copy that has one, unless both have one and they differ.
  std::string values = record.from + '\n' + record.to + '\n' + record.date + '\n' + record.subject;
  const bool hasId = !record.messageId.empty();
  if (hasId) {
    auto [first, inserted] = firstById_.emplace(record.messageId, index);
    if (!inserted) {
      record.duplicateOf = static_cast<std::int64_t>(first->second);
      return;
    }
  }
  auto [first, inserted] = firstByValues_.emplace(std::move(values), FirstCopy{index, hasId});
  if (!inserted && (!hasId || !first->second.hasId))
    record.duplicateOf = static_cast<std::int64_t>(first->second.index);
}

void RecordMerger::Publish(const MailRecordPtr& record) {
  if (!strict_) {
    MarkDuplicate(*record, published_);
    // In a mailbox, a separator in a body would be escaped: a mail behind one is no part.
    if (record->Extent().behindMailboxSeparator) record->container = nullptr;
    if (record->container) {
      if (auto at = indexOf_.find(record->container); at != indexOf_.end())
        record->partOf = static_cast<std::int64_t>(at->second);
    }
    if (auto inside = insideFinds_.find(record.get()); inside != insideFinds_.end()) {
      if (record->partOf < 0 && lastMail_ &&
          lastMail_->Extent().TextStartOr(lastMail_->StartByte()) >= inside->second)
        record->partOf = static_cast<std::int64_t>(indexOf_.at(lastMail_.get()));
      insideFinds_.erase(inside);
    }
    indexOf_.emplace(record.get(), published_);
    // A mail that begins before an earlier multipart mail's closing boundary is one of its parts.
    const std::uint64_t at = record->StartByte();
    while (!containers_.empty() && containers_.back().end <= at) containers_.pop_back();
    if (record->partOf < 0 && !containers_.empty() && containers_.back().start < at &&
        !record->Extent().behindMailboxSeparator)
      record->partOf = static_cast<std::int64_t>(containers_.back().index);
    const MailExtent extent = record->Extent();
    // A mail's text ends where the next mail begins.
    if (record->partOf < 0) {
      const std::uint64_t begins = extent.TextStartOr(at);
      if (lastMail_) {
        MailExtent previous = lastMail_->Extent();
        const std::uint64_t previousStart = previous.TextStartOr(lastMail_->StartByte());
        if (begins > previousStart && !previous.inStore) {
          previous.nextMailStart = begins;
          lastMail_->SetExtent(previous);
        }
      }
      lastMail_ = record;
    }
    if (extent.multipartEnd > at)
      containers_.push_back({extent.TextStartOr(at), extent.multipartEnd, published_});
  }
  ++published_;
  if (!strict_) allRecords_.push_back(record);
  mails_.Add(record);
  observer_.OnMailFound(record);
  status_.foundCount.fetch_add(1);
  PublishStatus();
  status_.unsavedMails = true;
}

std::uint64_t RecordMerger::NextBlockStart(std::uint64_t after) const {
  // The candidates stand in position order.
  const auto next =
      std::upper_bound(candidates_.begin(), candidates_.end(), after,
                       [](std::uint64_t at, const ShapeCandidate& c) { return at < c.start; });
  return next == candidates_.end() ? UINT64_MAX : next->start;
}

void RecordMerger::PublishStatus() {
  std::u16string text = ComposeStatusText(status_.foundCount.load(), status_.currentSector.load(),
                                          status_.totalSectors.load());
  status_.SetStatusText(text);
  observer_.OnStatusText(text);
}

}  // namespace quillon
