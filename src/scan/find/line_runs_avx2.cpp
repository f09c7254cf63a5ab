// The text-line look built for AVX2; chosen at run time where the processor has it.
#include "scan/find/line_runs.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

QUILLON_TARGET_BEGIN("avx2")

namespace quillon::line_run_steps {

std::size_t Avx2Text(const std::uint8_t* data, std::size_t from, std::size_t to) {
  const __m256i control = _mm256_set1_epi8(0x1F);
  const __m256i tab = _mm256_set1_epi8('\t');
  const __m256i erase = _mm256_set1_epi8(0x7F);
  std::size_t i = from;
  for (; i + 32 <= to; i += 32) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    // Below 0x20 (the unsigned minimum with 0x1F leaves those as they are) but a tab, or 0x7F.
    const __m256i below = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, control), bytes);
    const __m256i stops = _mm256_or_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(bytes, tab), below),
                                          _mm256_cmpeq_epi8(bytes, erase));
    const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(stops));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
  return i;
}

}  // namespace quillon::line_run_steps

QUILLON_TARGET_END
#endif
