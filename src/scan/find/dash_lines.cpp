#include "scan/find/dash_lines.h"

#include "scan/find/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

void FindDashLinesPlain(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                        std::vector<std::uint64_t>& found) {
  for (std::size_t p = 0; p + 3 <= size; ++p)
    if (data[p] == '\n' && data[p + 1] == '-' && data[p + 2] == '-') found.push_back(base + p);
}

void FindDashLines(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                   std::vector<std::uint64_t>& found, DashLineSteps widest) {
  std::size_t p = 0;
#ifdef QUILLON_X86_VECTORS
  static const bool hasAvx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  if (widest >= DashLineSteps::Avx512 && hasAvx512)
    p = dash_line_steps::Avx512(data, size, base, found);
  else if (widest >= DashLineSteps::Avx2 && hasAvx2)
    p = dash_line_steps::Avx2(data, size, base, found);
#endif
#if defined(__SSE2__)
  if (widest >= DashLineSteps::Sse2) {
    // The three bytes are compared at once: the vectors loaded at p, p + 1 and p + 2 line them up.
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i dash = _mm_set1_epi8('-');
    for (; p + 16 + 2 <= size; p += 16) {
      const auto* at = reinterpret_cast<const __m128i*>(data + p);
      const __m128i first = _mm_cmpeq_epi8(_mm_loadu_si128(at), lineFeed);
      const __m128i second =
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + 1)), dash);
      const __m128i third =
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p + 2)), dash);
      auto bits = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_and_si128(first, _mm_and_si128(second, third))));
      while (bits != 0) {
        found.push_back(base + p + static_cast<std::size_t>(__builtin_ctz(bits)));
        bits &= bits - 1;
      }
    }
  }
#endif
  if (p < size) FindDashLinesPlain(data + p, size - p, base + p, found);
}

}  // namespace quillon
