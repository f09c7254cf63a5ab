// The block chains of a mail store: each 16-byte block header holds the block's own offset in
// its store, the size of its data area (0x200..0x2FF, which is what gives bytes 5..7 their
// 02 00 00 mark), the bytes used in it, and the offset of the next block of the same message
// (0 at the chain's end). The store's base in the source is the header's position less its own
// offset, so a message can be read whole even when its blocks are not in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "scan/text_origin.h"

namespace quillon {

struct StoreBlockHeader {
  std::uint32_t self = 0;  // offset of this block in its store
  std::uint32_t size = 0;  // data area, 0x200..0x2FF
  std::uint32_t used = 0;  // bytes of text in this block
  std::uint32_t next = 0;  // offset of the next block, 0 at the end
};

// Reads the header at `at` (16 readable bytes) found at absolute offset `position`; false when
// it is not a plausible block header there.
bool ReadStoreBlockHeader(const std::uint8_t* at, std::uint64_t position, StoreBlockHeader& header);
// The same wherever it lies: a cluster of a scattered store may lie before the store offsets it
// holds.
bool ReadStoreBlockFields(const std::uint8_t* at, StoreBlockHeader& header);

// Reads `count` bytes at an absolute source offset; false when they cannot be read.
using SourceBytesReader =
    std::function<bool(std::uint64_t offset, std::size_t count, std::uint8_t* out)>;

struct StoreChainText {
  std::string text;  // the message's bytes, block after block
  std::vector<std::pair<std::uint64_t, std::size_t>> pieces;  // absolute data stretches, in order
  bool complete = false;  // the chain ended (next = 0) within the limit
};

// Source bytes already read: `size` bytes from absolute offset `base` on.
struct BytesInHand {
  const std::uint8_t* data = nullptr;
  std::uint64_t base = 0;
  std::size_t size = 0;
};

// Follows the chain from the block whose header lies at absolute `firstHeader`, collecting at
// most `limit` bytes. A chain that loops, leaves the source or meets a broken header ends there.
// Blocks that lie in `inHand` are taken from there, the others read.
StoreChainText ReadStoreChain(const SourceBytesReader& read, std::uint64_t firstHeader,
                              std::size_t limit, BytesInHand inHand = {});

// Reads a chain's text whose stretches are known already (a store that lay scattered, placed by
// the scan): `pieces` in text order. Stops at the first stretch that cannot be read.
StoreChainText ReadStorePieces(const SourceBytesReader& read, const std::vector<TextPiece>& pieces);

// Drops the text in front of the absolute byte `firstLine` (a message's first header line) when
// that byte lies in the chain: some messages open with a line of blanks, which is no part of the
// mail a user gets back. The pieces move with the text. Nothing changes when it lies elsewhere.
void DropTextBefore(StoreChainText& chain, std::uint64_t firstLine);

}  // namespace quillon
