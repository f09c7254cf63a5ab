// The look for "\n--" built for AVX-512 (F and BW); chosen at run time where the processor has it.
// A 64-byte step is one vector: a comparison for the first dash alone passes over a step of
// base64, which holds none.
#include "scan/find/dash_lines.h"
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <vector>

QUILLON_TARGET_BEGIN("avx512f,avx512bw")

namespace quillon::dash_line_steps {

std::size_t Avx512(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                   std::vector<std::uint64_t>& found) {
  const __m512i lineFeed = _mm512_set1_epi8('\n');
  const __m512i dash = _mm512_set1_epi8('-');
  std::size_t p = 0;
  for (; p + 64 + 2 <= size; p += 64) {
    __builtin_prefetch(data + p + kReadAheadBytes);
    const std::uint64_t firstDashes =
        _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + p + 1), dash);
    if (firstDashes == 0) continue;
    std::uint64_t bits = firstDashes &
                         _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + p + 2), dash) &
                         _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + p), lineFeed);
    for (; bits != 0; bits &= bits - 1)
      found.push_back(base + p + static_cast<std::size_t>(__builtin_ctzll(bits)));
  }
  return p;
}

}  // namespace quillon::dash_line_steps

QUILLON_TARGET_END
#endif
