// Where the rest of a store block lies when its text runs on into a cluster that no block header
// shows (a scattered store's last, partly filled cluster; a cluster whose only block began in the
// cluster before). Nothing on the disk names that cluster's place, but the block tells what it
// opens with: its used bytes say how many of its data bytes continue there and where the block's
// zero padding begins behind them, and those data bytes read as the chain's text going on (its
// line ends, no byte that mail text never holds). A cluster that shows a block header is some
// chain's own and is never taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "scan/read/store_chain.h"

namespace quillon {

// What a cluster must open with to hold the rest of a block.
struct CarriedText {
  std::string_view before;  // the chain's last bytes in front of the cluster
  std::size_t carried = 0;  // the block's data bytes that open the cluster
  std::size_t padding = 0;  // the block's unused bytes behind them, zeros
  // A block that fills its data area leaves no padding: the 16 bytes of the slot behind it, at
  // this store offset, are then a free slot's zeros or the header of the block there. None: 0.
  std::uint32_t slotBehind = 0;
};

// The bytes a cluster's opening must hold to tell whether it goes on as `text`.
std::size_t OpeningBytes(const CarriedText& text);

// Whether `bytes` (at least OpeningBytes of them) open a cluster as `text` goes on there.
bool ContinuesCarriedText(std::span<const std::uint8_t> bytes, const CarriedText& text);

// Where a search for the cluster looks: cluster starts `step` apart from `from` up to `to`,
// skipping those `claimed` says belong to a chain.
struct CarriedSearch {
  std::uint64_t from = 0;
  std::uint64_t to = 0;
  std::uint64_t step = 4096;
  std::function<bool(std::uint64_t)> claimed;
};

// The cluster starts of `search` that open as `text` goes on, at most `most` of them (a second
// one found already tells that the place is unsure). Stretches that cannot be read are skipped.
std::vector<std::uint64_t> FindCarriedClusters(const SourceBytesReader& read,
                                               const CarriedText& text, const CarriedSearch& search,
                                               std::size_t most);

}  // namespace quillon
