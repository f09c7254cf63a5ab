// The text-line pass built for AVX2; chosen at run time where the processor has it.
#include "scan/find/line_runs.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/read_ahead.h"

QUILLON_TARGET_BEGIN("avx2")
#include "scan/find/text_line_pass.h"

namespace quillon::line_run_steps {

namespace {

struct Avx2Look {
  // One bit per byte of the 32 at `at` that no line of text holds: below 0x20 but a tab, or 0x7F.
  static std::uint32_t StopBits32(const std::uint8_t* at) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i below = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(0x1F)), bytes);
    const __m256i stops = _mm256_or_si256(
        _mm256_andnot_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\t')), below),
        _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(0x7F)));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(stops));
  }
  // The same for the 64 bytes of a look: two vectors a look halve the looks' own work.
  static std::uint64_t StopBits(const std::uint8_t* at) {
    return StopBits32(at) | (std::uint64_t{StopBits32(at + 32)} << 32);
  }
};

}  // namespace

LineRun Avx2TextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine, std::string_view notFirst) {
  return OnePass<Avx2Look>::Run(data, limit, begin, maxLine, notFirst);
}

}  // namespace quillon::line_run_steps

QUILLON_TARGET_END
#endif
