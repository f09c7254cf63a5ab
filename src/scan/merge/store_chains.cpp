#include "scan/merge/store_chains.h"

#include <algorithm>
#include <unordered_set>

#include "scan/carve/record_building.h"
#include "scan/lines/header_text.h"
#include "scan/merge/scattered_store_mail.h"
#include "scan/read/block_header.h"
#include "scan/shape/shape_body.h"

namespace quillon {

void StoreChains::Add(ShapeFinds& finds) {
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

void StoreChains::DropFrom(std::uint64_t stoppedAt) {
  std::erase_if(storeCandidates_,
                [&](const ShapeCandidate& candidate) { return candidate.start >= stoppedAt; });
}

bool StoreChains::IsStoreTarget(std::uint64_t block) const {
  if (std::binary_search(indexedTargets_.begin(), indexedTargets_.end(), block)) return true;
  const bool named =
      std::any_of(storeTargets_.begin(), storeTargets_.end(), [&](const auto& targets) {
        return std::binary_search(targets.begin(), targets.end(), block);
      });
  if (!named || !sealed_ || !readSource_) return named;
  // The shape scan names the block where a store in one piece puts it: in a scattered store
  // another block may lie there, which no block names by its own offset.
  std::uint8_t bytes[kBlockHeaderSize];
  StoreBlockHeader header;
  if (!readSource_(block, kBlockHeaderSize, bytes) || !ReadStoreBlockFields(bytes, header))
    return true;
  return blockIndex_.NamesOffset(header.self);
}

void StoreChains::JoinArea(std::vector<std::pair<std::uint64_t, std::uint64_t>>& areas,
                           std::uint64_t from, std::uint64_t end) {
  // An area may reach back over the last ones: they become one.
  while (!areas.empty() && areas.back().second >= from) {
    from = std::min(from, areas.back().first);
    end = std::max(end, areas.back().second);
    areas.pop_back();
  }
  areas.emplace_back(from, end);
}

void StoreChains::IndexBlocks(CarveBuffer bytes, std::uint64_t from, std::uint64_t to,
                              const std::vector<std::uint64_t>& sizeFields) {
  blockIndex_.Add(bytes, from, to, sizeFields);
  constexpr std::uint64_t kSector = 512;
  constexpr std::uint64_t kBlock = kBlockHeaderSize + 512;
  for (auto at = std::lower_bound(sizeFields.begin(), sizeFields.end(), from);
       at != sizeFields.end() && *at < to; ++at) {
    // A size field too near the bytes' start has no header in front of it (and one near the
    // end of 64 bits must not wrap the offset into the bytes).
    if (*at < bytes.base + 4) continue;
    const std::uint64_t header = *at - 4;
    if (header - bytes.base > bytes.size || bytes.size - (header - bytes.base) < kBlockHeaderSize)
      continue;
    StoreBlockHeader block;
    if (!ReadStoreBlockFields(bytes.data + (header - bytes.base), block)) continue;
    // The cluster a header lies in holds the store from the cluster's start on: a block that
    // began in another cluster ends in front of the first header here.
    const std::uint64_t clusterLead =
        std::min<std::uint64_t>(block.self % kStoreClusterBytes, header);
    if (block.used > 0)
      JoinArea(blockAreas_, header - clusterLead, header + kBlockHeaderSize + block.used);
    // The shape scan takes a block that lies before its own offset for no store's: its text
    // is a store's all the same.
    if (block.self > header && block.used > 0)
      JoinArea(earlyBlocks_, header, header + kBlockHeaderSize + block.used);
    const std::uint64_t lead = block.self % kSector;
    // In a store in one piece the block before stands right there already.
    if (lead == 0 || (header - lead) % kSector != 0 ||
        (header >= bytes.base + kBlock &&
         HasBlockHeaderMark(bytes.data + (header - kBlock - bytes.base) + kBlockHeaderMarkOffset)))
      continue;
    blockLeads_.emplace_back(header - lead, header);
  }
}

namespace {

bool InAreas(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& areas, std::uint64_t at) {
  auto area = std::upper_bound(
      areas.begin(), areas.end(), at,
      [](std::uint64_t position, const auto& entry) { return position < entry.first; });
  return area != areas.begin() && (--area)->second > at;
}

}  // namespace

bool StoreChains::ContinuesAStoreBlock(std::uint64_t at) const {
  const auto lead = std::lower_bound(blockLeads_.begin(), blockLeads_.end(),
                                     std::pair<std::uint64_t, std::uint64_t>(at, 0));
  if (lead != blockLeads_.end() && lead->first == at) return true;
  return InAreas(earlyBlocks_, at);
}

bool StoreChains::InStoreArea(std::uint64_t at) const {
  // Areas in order of their starts, possibly overlapping: the first that begins behind `at`
  // ends the search.
  for (const auto& [first, end] : storeAreas_) {
    if (first > at) return false;
    if (at < end) return true;
  }
  return false;
}

StoreChains::StorePlace StoreChains::PlaceOf(const MailRecord& find) {
  const std::uint64_t at = find.StartByte();
  // Finds are decided in position order: the areas behind this one are of no more use.
  while (!storeAreas_.empty() && storeAreas_.front().second <= at) storeAreas_.pop_front();
  // The shape scan sees the areas of stores that lie in one piece; a scattered store's blocks
  // are known by their headers alone.
  if (!InStoreArea(at) && !InAreas(blockAreas_, at)) return StorePlace::Outside;
  // The trace line of a chain found already is that mail's own, unless the walk joined it to the
  // values of whatever block lay behind it.
  const auto [first, end] = chainTraceLines_.equal_range(at);
  for (auto chain = first; chain != end; ++chain) {
    const ChainTraceLine& line = chain->second;
    if (find.from != line.from || find.date != line.date) continue;
    if (!IsStoreTarget(line.storeBlock)) return StorePlace::OpensAChain;
  }
  return StorePlace::AwaitsItsChain;
}

void StoreChains::PlaceScatteredChains() {
  blockIndex_.Seal();
  sealed_ = true;
  indexedTargets_ = blockIndex_.NamedBlocks();
  if (!readSource_) return;
  // A chain no longer than a mail is read whole here; what lies beyond is no mail's.
  constexpr std::size_t kMaxChainText = 64 * 1024 * 1024;
  std::unordered_set<std::uint64_t> known;
  for (ShapeCandidate& candidate : storeCandidates_) {
    known.insert(candidate.storeBlock);
    if (IsStoreTarget(candidate.storeBlock)) continue;
    const TracedChain chain = blockIndex_.Trace(readSource_, candidate.storeBlock, kMaxChainText);
    if (!chain.scattered && !chain.lost) continue;
    if (BuildScatteredCandidate(readSource_, chain, candidate.storeBlock, ansiCodePage_,
                                candidate)) {
      scatteredTexts_[candidate.storeBlock] = TextPiecesOf(chain);
      if (chain.lost) lostChains_.insert(candidate.storeBlock);
    }
  }
  // A message whose header block runs past its first cluster, or that lies in a cluster before
  // the store offsets it holds, was not read as one by the shape scan: such chains that begin
  // at a block no other block names are looked at once more.
  std::vector<ShapeCandidate> added;
  for (const std::uint64_t block : blockIndex_.Blocks()) {
    if (known.contains(block) || IsStoreTarget(block)) continue;
    const TracedChain chain = blockIndex_.Trace(readSource_, block, kMaxChainText);
    // The shape scan has read every other chain already and decided.
    if (!chain.scattered && !chain.beforeItsOffset && !chain.lost) continue;
    ShapeCandidate candidate;
    if (!BuildScatteredCandidate(readSource_, chain, block, ansiCodePage_, candidate)) continue;
    scatteredTexts_[block] = TextPiecesOf(chain);
    if (chain.lost) lostChains_.insert(block);
    added.push_back(std::move(candidate));
  }
  std::sort(added.begin(), added.end(), [](const ShapeCandidate& a, const ShapeCandidate& b) {
    return a.storeBlock < b.storeBlock;
  });
  for (ShapeCandidate& candidate : added) storeCandidates_.push_back(std::move(candidate));
}

void StoreChains::Decide(const std::vector<MailRecordPtr>& published,
                         const UnreadableSectors* unreadable, const IndexOfMail& indexOf,
                         const PublishMail& publish) {
  // The blocks named as next, in one sorted batch for the lookups to come.
  if (storeTargets_.size() > 1) {
    std::vector<std::uint64_t> all;
    for (const std::vector<std::uint64_t>& batch : storeTargets_)
      all.insert(all.end(), batch.begin(), batch.end());
    std::sort(all.begin(), all.end());
    storeTargets_.assign(1, std::move(all));
  }
  PlaceScatteredChains();
  // Every record so far and every trace find held, by position.
  std::vector<std::pair<std::uint64_t, MailRecord*>> byPosition;
  byPosition.reserve(published.size() + awaitingChains_.size());
  const std::vector<MailRecordPtr>* const lists[] = {&published, &awaitingChains_};
  for (const std::vector<MailRecordPtr>* records : lists) {
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
    if (const auto text = scatteredTexts_.find(candidate.storeBlock); text != scatteredTexts_.end())
      extent.storePieces = text->second;
    // Following the body later, should it come to that, needs the headers still.
    MailRecordPtr own = BuildRecord(
        candidate.bodyAwaited ? PendingMail(candidate.headers) : std::move(candidate.headers),
        sourceName_, FoundBy::Shape, ansiCodePage_);
    // A mail found already, at the chain's trace line, inside its header block or at its start,
    // with its values, learns that it lies in a chain.
    MailRecord* matched = nullptr;
    auto consider = [&](std::uint64_t from, std::uint64_t to, auto&& fits) {
      const auto [first, end] = recordsIn(from, to);
      for (auto entry = first; entry != end && !matched; ++entry) {
        MailRecord& record = *entry->second;
        if (record.Extent().inStore || !fits(entry->first, record)) continue;
        record.SetExtent(extent);
        matched = &record;
      }
    };
    auto sameValues = [&](std::uint64_t, const MailRecord& record) {
      return record.from == own->from && record.date == own->date;
    };
    if (const std::uint64_t line = candidate.tracePosition; line != 0)
      consider(line, line + 1, sameValues);
    for (std::size_t piece = 0; piece < candidate.headerPieces && !matched; ++piece) {
      const auto& [offset, length] = candidate.pieces[piece];
      consider(offset, offset + length, sameValues);
    }
    if (!matched) consider(candidate.start, candidate.start + 1, sameValues);
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
      if (readSource_) FollowStoreBody(readSource_, candidate, ansiCodePage_);
      mail.SetExtent(extent);
      mail.PublishBody(std::move(candidate.body));
      if (!taker) found.push_back(own);
      matched = &mail;
    }
    // What the chain could not be followed to is missing from its text.
    if (lostChains_.contains(candidate.storeBlock)) matched->damaged = true;
    for (const auto& [offset, length] : candidate.pieces) {
      chainPieces.push_back({offset, offset + length + kBlockHeaderSize, matched});
      // A store mail's text lies in its blocks, wherever they are.
      if (unreadable && unreadable->Overlaps(offset, offset + length)) matched->damaged = true;
    }
  }
  std::sort(found.begin(), found.end(), [](const MailRecordPtr& a, const MailRecordPtr& b) {
    return a->StartByte() < b->StartByte();
  });
  for (const MailRecordPtr& record : found) publish(record);
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
        if (const auto mail = indexOf(piece->mail))
          record->partOf = static_cast<std::int64_t>(*mail);
      }
    }
    publish(record);
  }
  awaitingChains_.clear();
}

}  // namespace quillon
