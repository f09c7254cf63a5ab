// The text-end search built for AVX2; chosen at run time where the processor has it.
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"
#include "scan/find/text_bytes.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

QUILLON_TARGET_BEGIN("avx2")

namespace quillon::text_steps {

namespace {

// 0xFF in each byte of `bytes` that no mail text holds: below 0x20 (the unsigned minimum with
// 0x1F leaves those as they are), other than a tab, a CR or a line feed. Those three are looked
// up by their low half in one shuffle: adding 0x70 with saturation leaves the bytes below 0x10 as
// their low half under 0x80 and sets the high bit, which the shuffle answers with zero, of all
// others.
__m256i NonTextLanes(__m256i bytes) {
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(0x1F)), bytes);
  const __m256i lineControls =
      _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0, 0, -1, 0, 0,  //
                       0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0, 0, -1, 0, 0);
  const __m256i allowed =
      _mm256_shuffle_epi8(lineControls, _mm256_adds_epu8(bytes, _mm256_set1_epi8(0x70)));
  return _mm256_andnot_si256(allowed, control);
}

}  // namespace

std::size_t Avx2(const std::uint8_t* data, std::size_t at, std::size_t limit) {
  // Two vectors a step, as the SSE2 steps: a mail's text runs for kilobytes between stops.
  for (; at + 64 <= limit; at += 64) {
    __builtin_prefetch(data + at + kReadAheadBytes);
    const __m256i first =
        NonTextLanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)));
    const __m256i second =
        NonTextLanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + 32)));
    if (_mm256_testz_si256(_mm256_or_si256(first, second), _mm256_set1_epi8(-1))) continue;
    const std::uint64_t bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(first)) |
        std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(second))} << 32;
    return at + static_cast<std::size_t>(__builtin_ctzll(bits));
  }
  return at;
}

}  // namespace quillon::text_steps

QUILLON_TARGET_END
#endif
