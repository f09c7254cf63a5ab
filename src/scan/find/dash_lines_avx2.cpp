// The look for "\n--" built for AVX2; chosen at run time where the processor has it. The lines it
// lists lie mostly inside the base64 of attachments, where a find is rare: two 32-byte vectors are
// tested at once, first for a dash alone, and only a step with a find branches off.
#include "scan/find/dash_lines.h"
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

QUILLON_TARGET_BEGIN("avx2")

namespace quillon::dash_line_steps {

namespace {

__m256i Load(const std::uint8_t* at) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// 0xFF in byte k where "\n--" begins at at + k.
__m256i DashLineStarts(const std::uint8_t* at) {
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i dash = _mm256_set1_epi8('-');
  return _mm256_and_si256(_mm256_cmpeq_epi8(Load(at), lineFeed),
                          _mm256_and_si256(_mm256_cmpeq_epi8(Load(at + 1), dash),
                                           _mm256_cmpeq_epi8(Load(at + 2), dash)));
}

}  // namespace

std::size_t Avx2(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                 std::vector<std::uint64_t>& found) {
  const __m256i dash = _mm256_set1_epi8('-');
  std::size_t p = 0;
  for (; p + 64 + 2 <= size; p += 64) {
    __builtin_prefetch(data + p + kReadAheadBytes);
    // Base64 has no dash at all: a step with none where a find's first dash would stand is
    // passed over on two comparisons.
    const __m256i dashes = _mm256_or_si256(_mm256_cmpeq_epi8(Load(data + p + 1), dash),
                                           _mm256_cmpeq_epi8(Load(data + p + 33), dash));
    if (_mm256_testz_si256(dashes, dashes)) continue;
    const __m256i low = DashLineStarts(data + p);
    const __m256i high = DashLineStarts(data + p + 32);
    const __m256i both = _mm256_or_si256(low, high);
    if (_mm256_testz_si256(both, both)) continue;
    std::uint64_t bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
                         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))}
                             << 32;
    for (; bits != 0; bits &= bits - 1)
      found.push_back(base + p + static_cast<std::size_t>(__builtin_ctzll(bits)));
  }
  return p;
}

}  // namespace quillon::dash_line_steps

QUILLON_TARGET_END
#endif
