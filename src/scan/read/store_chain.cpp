#include "scan/read/store_chain.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory_resource>
#include <unordered_set>

#include "scan/read/block_header.h"

namespace quillon {

namespace {

std::uint32_t LittleEndian32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A chain longer than this many blocks is broken (64 MiB of 512-byte blocks).
constexpr std::size_t kMaxChainBlocks = 131072;
// The largest data area a block header can name.
constexpr std::size_t kMaxBlockData = 0x2FF;

}  // namespace

bool ReadStoreBlockFields(const std::uint8_t* at, StoreBlockHeader& header) {
  if (!HasBlockHeaderMark(at + kBlockHeaderMarkOffset)) return false;
  header.self = LittleEndian32(at);
  header.size = LittleEndian32(at + 4);
  header.used = LittleEndian32(at + 8);
  header.next = LittleEndian32(at + 12);
  // The used bytes fit the data area; blocks lie on 4-byte boundaries.
  return header.used <= header.size && header.self % 4 == 0 && header.next % 4 == 0 &&
         header.next != header.self;
}

bool ReadStoreBlockHeader(const std::uint8_t* at, std::uint64_t position,
                          StoreBlockHeader& header) {
  // A store in one piece begins at or before each of its headers.
  return ReadStoreBlockFields(at, header) && header.self <= position;
}

StoreChainText ReadStoreChain(const SourceBytesReader& read, std::uint64_t firstHeader,
                              std::size_t limit, BytesInHand inHand) {
  StoreChainText chain;
  std::uint64_t position = firstHeader;
  std::uint64_t base = 0;
  // The blocks seen, to tell a loop; most chains are short, so their nodes come from the stack.
  std::array<std::byte, 8192> nodes;
  std::pmr::monotonic_buffer_resource resource(nodes.data(), nodes.size());
  std::pmr::unordered_set<std::uint64_t> visited(&resource);
  chain.text.reserve(std::min<std::size_t>(limit, 4 * kMaxBlockData));
  // A block header and the largest data area behind it, read at once; a block near the end
  // of the source is read in two steps.
  std::uint8_t bytes[kBlockHeaderSize + kMaxBlockData];
  for (std::size_t blocks = 0; blocks < kMaxChainBlocks; ++blocks) {
    StoreBlockHeader header;
    const std::uint8_t* block = bytes;
    bool whole = true;
    if (inHand.data && position >= inHand.base &&
        position - inHand.base + sizeof bytes <= inHand.size) {
      block = inHand.data + (position - inHand.base);
    } else {
      whole = read(position, sizeof bytes, bytes);
      if (!whole && !read(position, kBlockHeaderSize, bytes)) break;
    }
    if (!ReadStoreBlockHeader(block, position, header)) break;
    const std::uint64_t blockBase = position - header.self;
    if (blocks == 0) base = blockBase;
    if (blockBase != base || !visited.insert(position).second) break;  // another store, or a loop
    const std::size_t take = std::min<std::size_t>(header.used, limit - chain.text.size());
    const std::size_t at = chain.text.size();
    if (whole) {
      chain.text.append(reinterpret_cast<const char*>(block + kBlockHeaderSize), take);
    } else {
      chain.text.resize(at + take);
      if (take > 0 && !read(position + kBlockHeaderSize, take,
                            reinterpret_cast<std::uint8_t*>(chain.text.data() + at))) {
        chain.text.resize(at);
        break;
      }
    }
    chain.pieces.emplace_back(position + kBlockHeaderSize, take);
    if (header.next == 0) {
      chain.complete = true;
      break;
    }
    if (chain.text.size() >= limit) break;
    position = base + header.next;
  }
  return chain;
}

StoreChainText ReadStorePieces(const SourceBytesReader& read,
                               const std::vector<TextPiece>& pieces) {
  StoreChainText chain;
  for (const TextPiece& piece : pieces) {
    const std::size_t at = chain.text.size();
    const auto length = static_cast<std::size_t>(piece.length);
    chain.text.resize(at + length);
    if (!read(piece.sourceOffset, length,
              reinterpret_cast<std::uint8_t*>(chain.text.data() + at))) {
      chain.text.resize(at);
      return chain;
    }
    chain.pieces.emplace_back(piece.sourceOffset, length);
  }
  chain.complete = true;
  return chain;
}

void DropTextBefore(StoreChainText& chain, std::uint64_t firstLine) {
  std::size_t dropped = 0;
  std::size_t piece = 0;
  for (; piece < chain.pieces.size(); ++piece) {
    const auto& [offset, length] = chain.pieces[piece];
    if (firstLine >= offset && firstLine - offset < length) break;
    dropped += length;
  }
  if (piece == chain.pieces.size()) return;
  auto& [offset, length] = chain.pieces[piece];
  const auto inside = static_cast<std::size_t>(firstLine - offset);
  dropped += inside;
  if (dropped == 0 || dropped > chain.text.size()) return;
  offset += inside;
  length -= inside;
  chain.pieces.erase(chain.pieces.begin(),
                     chain.pieces.begin() + static_cast<std::ptrdiff_t>(piece));
  chain.text.erase(0, dropped);
}

}  // namespace quillon
