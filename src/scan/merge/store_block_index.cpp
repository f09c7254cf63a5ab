#include "scan/merge/store_block_index.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "scan/merge/store_carried_cluster.h"
#include "scan/read/block_header.h"

namespace quillon {

namespace {

// A chain longer than this many blocks is broken (64 MiB of 512-byte blocks).
constexpr std::uint64_t kMaxChainBlocks = 131072;

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) {
  return a > b ? a - b : b - a;
}

std::uint64_t ClusterStartOf(std::uint64_t storeOffset) {
  return storeOffset - storeOffset % kStoreClusterBytes;
}

// The chain's last `count` bytes so far (fewer where they cannot be read).
std::string LastBytes(const SourceBytesReader& read, const TracedChain& chain, std::size_t count) {
  std::string bytes;
  for (auto piece = chain.pieces.rbegin(); piece != chain.pieces.rend() && bytes.size() < count;
       ++piece) {
    const std::size_t take = std::min(piece->second, count - bytes.size());
    std::string part(take, '\0');
    if (!read(piece->first + piece->second - take, take,
              reinterpret_cast<std::uint8_t*>(part.data())))
      break;
    bytes.insert(0, part);
  }
  return bytes;
}

void AppendPiece(TracedChain& chain, std::uint64_t source, std::size_t length) {
  if (length == 0) return;
  if (!chain.pieces.empty() && chain.pieces.back().first + chain.pieces.back().second == source)
    chain.pieces.back().second += length;
  else
    chain.pieces.emplace_back(source, length);
  chain.length += length;
}

}  // namespace

void StoreBlockIndex::Add(CarveBuffer bytes, std::uint64_t from, std::uint64_t to,
                          const std::vector<std::uint64_t>& sizeFields) {
  for (auto at = std::lower_bound(sizeFields.begin(), sizeFields.end(), from);
       at != sizeFields.end() && *at < to; ++at) {
    const std::uint64_t header = *at - 4;
    if (header < bytes.base || header - bytes.base + kBlockHeaderSize > bytes.size ||
        header > kPositionMask)
      continue;
    StoreBlockHeader block;
    if (!ReadStoreBlockFields(bytes.data + (header - bytes.base), block)) continue;
    entries_.push_back({block.self, block.next, header | std::uint64_t{block.used} << 54});
  }
}

void StoreBlockIndex::Seal() {
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.self != b.self ? a.self < b.self : a.Position() < b.Position();
  });
  JoinClusters();
  namedOffsets_.reserve(entries_.size());
  for (const Entry& entry : entries_)
    if (entry.next != 0) namedOffsets_.push_back(entry.next);
  std::sort(namedOffsets_.begin(), namedOffsets_.end());
  namedOffsets_.erase(std::unique(namedOffsets_.begin(), namedOffsets_.end()), namedOffsets_.end());
}

std::uint32_t StoreBlockIndex::StoreOf(std::uint64_t clusterStart, std::uint64_t delta) const {
  const auto cluster = clusters_.find({clusterStart, delta});
  return cluster == clusters_.end() ? UINT32_MAX : Root(cluster->second);
}

bool StoreBlockIndex::NextLiesBehind(std::uint64_t clusterStart, std::uint64_t delta) const {
  const std::uint32_t store = StoreOf(clusterStart, delta);
  const bool scattered = store != UINT32_MAX && scatteredStores_[store];
  if (clusterStart == 0) return !scattered;
  // A run of clusters side by side (a file system's bigger clusters, or runs of them) goes on
  // behind. The cluster before seen only elsewhere tells that the store lies apart here; not
  // seen at all (a scan of part of a disk), it tells nothing against a store in one piece.
  const std::uint64_t before = clusterStart - kStoreClusterBytes;
  if (clusters_.contains({before, delta})) return true;
  if (scattered) return false;
  const auto seen = clusters_.lower_bound({before, 0});
  return seen == clusters_.end() || seen->first.first != before;
}

std::uint32_t StoreBlockIndex::Root(std::uint32_t cluster) const {
  while (joinedTo_[cluster] != cluster) {
    joinedTo_[cluster] = joinedTo_[joinedTo_[cluster]];
    cluster = joinedTo_[cluster];
  }
  return cluster;
}

void StoreBlockIndex::JoinClusters() {
  for (const Entry& entry : entries_) {
    const auto key = std::pair(ClusterStartOf(entry.self), entry.Position() - entry.self);
    if (clusters_.try_emplace(key, static_cast<std::uint32_t>(clusters_.size())).second)
      joinedTo_.push_back(static_cast<std::uint32_t>(joinedTo_.size()));
  }
  auto join = [&](std::uint32_t a, std::uint32_t b) { joinedTo_[Root(a)] = Root(b); };
  // The one cluster that holds the offsets from `clusterStart` on, or where a store in one piece
  // puts them; none when there is a choice.
  auto onlyCluster = [&](std::uint64_t clusterStart,
                         std::uint64_t delta) -> std::optional<std::uint64_t> {
    auto entry = std::lower_bound(
        entries_.begin(), entries_.end(), clusterStart,
        [](const Entry& e, std::uint64_t offset) { return std::uint64_t{e.self} < offset; });
    std::optional<std::uint64_t> only;
    for (; entry != entries_.end() && entry->self < clusterStart + kStoreClusterBytes; ++entry) {
      const std::uint64_t found = entry->Position() - entry->self;
      if (found == delta) return delta;
      if (only && *only != found) only = UINT64_MAX;
      if (!only) only = found;
    }
    if (only == UINT64_MAX) return std::nullopt;
    return only;
  };
  for (const Entry& entry : entries_) {
    const std::uint64_t delta = entry.Position() - entry.self;
    const std::uint64_t own = ClusterStartOf(entry.self);
    const std::uint32_t from = clusters_.at({own, delta});
    const std::uint64_t dataEnd = std::uint64_t{entry.self} + kBlockHeaderSize + entry.Used();
    for (const std::uint64_t offset : {dataEnd > 0 ? dataEnd - 1 : 0, std::uint64_t{entry.next}}) {
      if (offset == 0 || ClusterStartOf(offset) == own) continue;
      const auto only = onlyCluster(ClusterStartOf(offset), delta);
      if (only) join(from, clusters_.at({ClusterStartOf(offset), *only}));
    }
  }
  // A store in one piece has one delta for all its clusters.
  std::vector<std::optional<std::uint64_t>> deltaOfStore(joinedTo_.size());
  scatteredStores_.assign(joinedTo_.size(), false);
  for (const auto& [cluster, number] : clusters_) {
    const std::uint32_t store = Root(number);
    if (!deltaOfStore[store]) deltaOfStore[store] = cluster.second;
    if (*deltaOfStore[store] != cluster.second) scatteredStores_[store] = true;
  }
  claimedClusters_.reserve(clusters_.size());
  for (const auto& entry : clusters_)
    claimedClusters_.push_back(entry.first.first + entry.first.second);
  std::sort(claimedClusters_.begin(), claimedClusters_.end());
}

std::optional<std::uint64_t> StoreBlockIndex::CarriedClusterDelta(
    const SourceBytesReader& read, const TracedChain& chain, const StoreBlockHeader& header,
    std::uint64_t clusterStart, std::uint64_t fromStart, std::uint64_t delta) const {
  const std::uint32_t store = StoreOf(fromStart, delta);
  const bool scattered = store != UINT32_MAX && scatteredStores_[store];
  const bool behind = NextLiesBehind(fromStart, delta);
  if (!read) return behind ? std::optional(delta) : std::nullopt;

  const std::string before = LastBytes(read, chain, 256);
  const std::uint64_t clusterEnd = clusterStart + kStoreClusterBytes;
  const std::uint64_t dataEnd =
      std::min(std::uint64_t{header.self} + kBlockHeaderSize + header.used, clusterEnd);
  const std::uint64_t blockEnd = std::min(
      std::uint64_t{header.self} + kBlockHeaderSize + std::max<std::uint32_t>(header.size, 0x200),
      clusterEnd);
  // A full block leaves no padding to tell its cluster by: the slot behind it is then free
  // (zeros, as behind a store's end) or holds the block that the store puts there.
  const bool slotBehind = dataEnd == blockEnd && blockEnd + kBlockHeaderSize <= clusterEnd;
  const CarriedText text{before, static_cast<std::size_t>(dataEnd - clusterStart),
                         static_cast<std::size_t>(blockEnd - dataEnd),
                         slotBehind ? static_cast<std::uint32_t>(blockEnd) : 0u};
  auto claimed = [&](std::uint64_t at) {
    return std::binary_search(claimedClusters_.begin(), claimedClusters_.end(), at);
  };
  // Side by side is no proof, as clusters may land so by chance (and a store lie in two groups
  // no chain joins): the bytes behind must go on as the block does.
  if (behind) {
    std::vector<std::uint8_t> opening(OpeningBytes(text));
    if (!claimed(clusterStart + delta) &&
        read(clusterStart + delta, opening.size(), opening.data()) &&
        ContinuesCarriedText(opening, text))
      return delta;
  }
  // A file system keeps a file's clusters near each other: the search keeps near the store's.
  constexpr std::uint64_t kMargin = 16 << 20;
  constexpr std::uint64_t kMostSearched = 512 << 20;
  const std::uint64_t here = fromStart + delta;
  std::uint64_t lowest = here;
  std::uint64_t highest = here;
  for (const auto& [cluster, number] : clusters_) {
    if (store == UINT32_MAX || Root(number) != store) continue;
    lowest = std::min(lowest, cluster.first + cluster.second);
    highest = std::max(highest, cluster.first + cluster.second);
  }
  CarriedSearch search{lowest > kMargin ? lowest - kMargin : 0,
                       highest + kStoreClusterBytes + kMargin, kStoreClusterBytes, claimed};
  if (search.to - search.from > kMostSearched) {
    search.from = here > kMostSearched / 2 ? here - kMostSearched / 2 : 0;
    search.to = here + kMostSearched / 2;
  }
  search.from +=
      (here % kStoreClusterBytes + kStoreClusterBytes - search.from % kStoreClusterBytes) %
      kStoreClusterBytes;
  const std::vector<std::uint64_t> found = FindCarriedClusters(read, text, search, 2);
  if (found.size() == 1) return found.front() - clusterStart;
  // A store whose headers show it in one piece goes on behind, whatever its bytes there: the
  // check only keeps a run of clusters side by side by chance from reading another file's.
  if (!scattered && behind) return delta;
  return std::nullopt;
}

const StoreBlockIndex::Entry* StoreBlockIndex::Find(std::uint32_t self,
                                                    std::uint64_t position) const {
  auto entry = std::lower_bound(entries_.begin(), entries_.end(), self,
                                [](const Entry& e, std::uint32_t s) { return e.self < s; });
  for (; entry != entries_.end() && entry->self == self; ++entry)
    if (entry->Position() == position) return &*entry;
  return nullptr;
}

std::optional<std::uint64_t> StoreBlockIndex::ClusterDelta(std::uint64_t clusterStart,
                                                           std::uint64_t fromStart,
                                                           std::uint64_t delta,
                                                           std::uint64_t near) const {
  auto entry = std::lower_bound(
      entries_.begin(), entries_.end(), clusterStart,
      [](const Entry& e, std::uint64_t offset) { return std::uint64_t{e.self} < offset; });
  const std::uint32_t store = StoreOf(fromStart, delta);
  std::optional<std::uint64_t> nearest;
  std::uint64_t nearestDistance = UINT64_MAX;
  bool nearestOfStore = false;
  for (; entry != entries_.end() && entry->self < clusterStart + kStoreClusterBytes; ++entry) {
    const std::uint64_t found = entry->Position() - entry->self;
    // A header where one piece puts it: the cluster lies right behind the last one.
    if (found == delta) return delta;
    const bool ofStore = store != UINT32_MAX && StoreOf(clusterStart, found) == store;
    if (nearestOfStore && !ofStore) continue;
    const std::uint64_t distance = Distance(entry->Position(), near);
    if (distance < nearestDistance || (ofStore && !nearestOfStore)) {
      nearestDistance = distance;
      nearest = found;
      nearestOfStore = ofStore;
    }
  }
  return nearest;
}

TracedChain StoreBlockIndex::Trace(const SourceBytesReader& read, std::uint64_t firstHeader,
                                   std::size_t limit) const {
  TracedChain chain;
  std::unordered_set<std::uint64_t> visited;
  std::uint64_t position = firstHeader;
  std::optional<std::uint32_t> expectedSelf;  // the offset the previous block named
  std::uint64_t base = 0;                     // where one piece would put the store
  // The clusters placed so far: a chain that comes back to one finds it where it was.
  std::unordered_map<std::uint64_t, std::optional<std::uint64_t>> placed;
  auto deltaOf = [&](std::uint64_t clusterStart, std::uint64_t from, std::uint64_t delta,
                     std::uint64_t near) {
    const auto [known, added] = placed.try_emplace(clusterStart);
    if (added) known->second = ClusterDelta(clusterStart, from, delta, near);
    return known->second;
  };
  // A chain that must go on where nothing shows a cluster's place: a store in one piece has it
  // right behind, and so has a run of clusters side by side; elsewhere the chain ends here,
  // short, rather than read another file's bytes.
  auto placeOrLose = [&](std::optional<std::uint64_t> found, std::uint64_t from,
                         std::uint64_t delta) {
    if (found) return *found;
    if (!NextLiesBehind(from, delta)) chain.lost = true;
    return delta;
  };
  for (; chain.blocks < kMaxChainBlocks; ++chain.blocks) {
    StoreBlockHeader header;
    const Entry* held = expectedSelf ? Find(*expectedSelf, position) : nullptr;
    if (held) {
      header.self = held->self;
      header.next = held->next;
      header.used = held->Used();
    } else {
      std::uint8_t bytes[kBlockHeaderSize];
      if (!read || !read(position, kBlockHeaderSize, bytes) || !ReadStoreBlockFields(bytes, header))
        break;
    }
    if (expectedSelf && header.self != *expectedSelf) break;  // not the block that was named
    if (!visited.insert(position).second) break;              // a loop
    std::uint64_t delta = position - header.self;
    if (chain.blocks == 0) {
      base = delta;
      chain.beforeItsOffset = position < header.self;
    }
    placed.try_emplace(ClusterStartOf(header.self), delta);
    if (delta != base) chain.scattered = true;

    // The block's text, cluster by cluster: where it runs past its cluster's end, the rest lies
    // in the cluster that holds the store offsets behind.
    std::uint64_t storeAt = std::uint64_t{header.self} + kBlockHeaderSize;
    std::uint64_t cluster = ClusterStartOf(header.self);
    std::size_t take = std::min<std::size_t>(header.used, limit - chain.length);
    while (take > 0) {
      if (ClusterStartOf(storeAt) != cluster) {
        const std::uint64_t from = cluster;
        cluster = ClusterStartOf(storeAt);
        std::optional<std::uint64_t> found = deltaOf(cluster, from, delta, storeAt + delta);
        // No header shows where the block's rest lies: what the block tells of it may.
        if (!found) {
          const auto [known, added] = carriedDeltas_.try_emplace(std::pair(cluster, from + delta));
          if (added) known->second = CarriedClusterDelta(read, chain, header, cluster, from, delta);
          found = known->second;
          if (!found) chain.lost = true;
          placed[cluster] = found;
        }
        if (chain.lost) break;
        delta = *found;
        if (delta != base) chain.scattered = true;
      }
      const std::size_t length = static_cast<std::size_t>(
          std::min<std::uint64_t>(take, cluster + kStoreClusterBytes - storeAt));
      AppendPiece(chain, storeAt + delta, length);
      storeAt += length;
      take -= length;
    }
    if (chain.lost) break;
    if (header.next == 0) {
      chain.complete = true;
      break;
    }
    if (chain.length >= limit) break;
    if (ClusterStartOf(header.next) != cluster)
      delta = placeOrLose(deltaOf(ClusterStartOf(header.next), cluster, delta, storeAt + delta),
                          cluster, delta);
    if (chain.lost) break;
    position = header.next + delta;
    expectedSelf = header.next;
  }
  return chain;
}

std::vector<std::uint64_t> StoreBlockIndex::NamedBlocks() const {
  std::vector<std::uint64_t> named;
  for (const Entry& entry : entries_) {
    if (entry.next == 0) continue;
    std::uint64_t delta = entry.Position() - entry.self;
    // The block may end in the cluster behind its own; the next one may lie in either or
    // elsewhere.
    const std::uint64_t end = std::uint64_t{entry.self} + kBlockHeaderSize + entry.Used();
    const std::uint64_t nextCluster = ClusterStartOf(entry.next);
    if (nextCluster != ClusterStartOf(entry.self))
      delta =
          ClusterDelta(nextCluster, ClusterStartOf(entry.self), delta, end + delta).value_or(delta);
    named.push_back(entry.next + delta);
  }
  std::sort(named.begin(), named.end());
  named.erase(std::unique(named.begin(), named.end()), named.end());
  return named;
}

std::vector<std::uint64_t> StoreBlockIndex::Blocks() const {
  std::vector<std::uint64_t> blocks;
  blocks.reserve(entries_.size());
  for (const Entry& entry : entries_) blocks.push_back(entry.Position());
  return blocks;
}

}  // namespace quillon
