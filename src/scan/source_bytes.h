// The bytes a scan holds of its source, and how it reads them: in chunks of 2048 sectors, each
// followed by a margin of the next chunk's bytes (zeros at the source's end), so that a find that
// begins in a chunk is read whole from that chunk's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

class UnreadableSectors;

inline constexpr std::uint32_t kChunkSectors = 2048;
inline constexpr std::uint32_t kReadSectors = 128;

// Bytes a reader may read beyond the end of the stretch it walks. Callers provide them: the
// next chunk's bytes, or zeros at the source's end.
inline constexpr std::size_t kCarveLookAhead = 128 * 1024;

// The bytes being carved: `size` readable bytes from `data`, the first of which lies at the
// absolute source offset `base`. Readers never look past `size`. `unreadable`, where given, says
// which of the zeros stand for sectors the source could not deliver (unreadable_sectors.h).
struct CarveBuffer {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::uint64_t base = 0;
  const UnreadableSectors* unreadable = nullptr;
};

}  // namespace quillon
