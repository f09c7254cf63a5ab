// Where a byte lies in a source: its absolute offset, and the sector (64-bit: a disk has more
// than 2^32 of them) and the offset in that sector that a found mail records.
#pragma once

#include <cstdint>

#include "source/data_source.h"

namespace quillon {

struct SectorPosition {
  std::uint64_t sector = 0;
  std::uint16_t offset = 0;  // below kSectorSize
  friend bool operator==(const SectorPosition&, const SectorPosition&) = default;
};

constexpr SectorPosition SectorPositionOf(std::uint64_t byte) {
  return {byte / kSectorSize, static_cast<std::uint16_t>(byte % kSectorSize)};
}

constexpr std::uint64_t ByteOf(SectorPosition position) {
  return position.sector * kSectorSize + position.offset;
}

constexpr std::uint64_t SectorOf(std::uint64_t byte) {
  return byte / kSectorSize;
}

constexpr bool IsSectorStart(std::uint64_t byte) {
  return byte % kSectorSize == 0;
}

// The first sector start at or behind `byte`.
constexpr std::uint64_t SectorStartFrom(std::uint64_t byte) {
  return (byte + kSectorSize - 1) / kSectorSize * kSectorSize;
}

// `bytes` rounded down to whole sectors.
constexpr std::uint64_t WholeSectors(std::uint64_t bytes) {
  return bytes / kSectorSize * kSectorSize;
}

}  // namespace quillon
