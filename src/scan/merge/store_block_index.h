// Every plausible store block header the scan passes, by the block's own offset in its store, so
// that a chain can be followed by its next offsets wherever its blocks lie. A store that was
// deleted may lie scattered over the disk in clusters: each cluster holds kStoreClusterBytes of
// the store at an offset of its own (its delta: source position less store offset), and any
// block header inside a cluster tells that delta. A block may begin in one cluster and end in
// another far away; its rest lies in the cluster that holds the store offset where it broke off.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "scan/read/store_chain.h"
#include "scan/source_bytes.h"

namespace quillon {

// The unit in which a deleted store lies scattered: the commonest cluster size. A store file
// begins at a cluster start, so its clusters begin at store offsets that are multiples of it.
inline constexpr std::uint64_t kStoreClusterBytes = 4096;

// Where a chain's text lies.
struct TracedChain {
  // Absolute stretches of the text in text order; stretches adjacent in the source are joined.
  std::vector<std::pair<std::uint64_t, std::size_t>> pieces;
  std::size_t length = 0;        // the text's bytes, the sum of the stretches
  bool complete = false;         // the chain ended (next = 0) within the limit
  bool scattered = false;        // some of it lies away from where a store in one piece puts it
  bool beforeItsOffset = false;  // its first block lies before its own offset in the store
  // Its text runs on into a cluster that no block header shows on the disk (a scattered store's
  // last, partly filled cluster): the chain ends there rather than take whatever lies where a
  // store in one piece would put it, and the text is short of its end.
  bool lost = false;
  std::uint64_t blocks = 0;
};

class StoreBlockIndex {
 public:
  // Notes the plausible block headers whose size fields (header + 4, absolute, in order:
  // `sizeFields`) lie in [from, to), reading them in `bytes`.
  void Add(CarveBuffer bytes, std::uint64_t from, std::uint64_t to,
           const std::vector<std::uint64_t>& sizeFields);
  // Orders what was added for the lookups; call once, when everything is added.
  void Seal();
  std::size_t Size() const { return entries_.size(); }

  // Follows the chain from the block header at absolute `firstHeader` by its next offsets, up to
  // `limit` bytes of text. Blocks the index does not hold are read through `read` where the
  // store's offsets put them; a chain that loops, meets a broken header or can be placed
  // nowhere ends there.
  TracedChain Trace(const SourceBytesReader& read, std::uint64_t firstHeader,
                    std::size_t limit) const;

  // Where each block that some held block names as its next lies, sorted.
  std::vector<std::uint64_t> NamedBlocks() const;
  // Whether some block held names the store offset `self` as its next.
  bool NamesOffset(std::uint32_t self) const {
    return std::binary_search(namedOffsets_.begin(), namedOffsets_.end(), self);
  }
  // The absolute positions of every block held, in no particular order.
  std::vector<std::uint64_t> Blocks() const;

 private:
  // 16 bytes a header: a store holds one per 528 bytes, a disk may hold millions.
  struct Entry {
    std::uint32_t self = 0;
    std::uint32_t next = 0;
    std::uint64_t positionAndUsed = 0;  // position in the low 54 bits, used bytes above

    std::uint64_t Position() const { return positionAndUsed & kPositionMask; }
    std::uint32_t Used() const { return static_cast<std::uint32_t>(positionAndUsed >> 54); }
  };
  static constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << 54) - 1;

  // The held header at `position` with own offset `self`.
  const Entry* Find(std::uint32_t self, std::uint64_t position) const;
  // The delta of the cluster that holds the store offsets from `clusterStart` on, for a chain
  // whose last bytes lay at `near` in the cluster from `fromStart` on with delta `delta`: that
  // same delta where a header shows the cluster there, else the nearest cluster of the same
  // store as the last one, else the nearest cluster whose headers hold those offsets; none
  // when no header held lies in that cluster.
  std::optional<std::uint64_t> ClusterDelta(std::uint64_t clusterStart, std::uint64_t fromStart,
                                            std::uint64_t delta, std::uint64_t near) const;
  // The clusters found together: those that a chain leads between without a choice (the only
  // cluster that holds the offsets it goes on at) belong to one store. Several stores on one
  // disk share offsets; a chain keeps to the clusters of its own where it can.
  void JoinClusters();
  std::uint32_t StoreOf(std::uint64_t clusterStart, std::uint64_t delta) const;
  // Whether the cluster behind this one in its store, which no header shows, lies right behind it
  // on the disk as far as can be told: the cluster before this one lies right before it, or its
  // store lies in one piece and the cluster before was not seen.
  bool NextLiesBehind(std::uint64_t clusterStart, std::uint64_t delta) const;
  std::uint32_t Root(std::uint32_t cluster) const;
  // The delta of the cluster at store offsets from `clusterStart` on, which no header shows, that
  // the block `header` of `chain` runs on into from the cluster at `fromStart` (delta `delta`):
  // right behind where a store in one piece or a run of clusters side by side puts it, for a
  // scattered store only where its bytes go on as the block's do there, else the one cluster
  // among the store's that opens so (store_carried_cluster.h). None when that is unsure.
  std::optional<std::uint64_t> CarriedClusterDelta(
      const SourceBytesReader& read, const TracedChain& chain, const StoreBlockHeader& header,
      std::uint64_t clusterStart, std::uint64_t fromStart, std::uint64_t delta) const;

  std::vector<std::uint32_t> namedOffsets_;  // every next offset held, sorted
  std::vector<Entry> entries_;  // in source order while adding; by (self, position) once sealed
  // Each cluster (its first store offset and its delta) and the one it was joined to.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> clusters_;
  mutable std::vector<std::uint32_t> joinedTo_;
  std::vector<bool> scatteredStores_;           // by the cluster that stands for a store
  std::vector<std::uint64_t> claimedClusters_;  // where each cluster held lies, sorted
  // What CarriedClusterDelta told, by the cluster's first store offset and where the cluster
  // before it lies: the chains of a store are traced more than once, and a search reads much.
  mutable std::map<std::pair<std::uint64_t, std::uint64_t>, std::optional<std::uint64_t>>
      carriedDeltas_;
};

}  // namespace quillon
