#include "scan/body/text_line_run.h"

#include "scan/find/simd_target.h"
#include "scan/find/text_bytes.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/line_runs.h"
#include "scan/find/read_ahead.h"
#endif

namespace quillon {

LineRun TakeTextLineRun(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::string_view notFirst, TextLineSteps widest) {
#ifdef QUILLON_X86_VECTORS
  static const bool avx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  static const bool avx2 = WidestTextSteps() >= TextSteps::Avx2;
  if (avx512 && widest >= TextLineSteps::Avx512)
    return text_line_run::Avx512(data, limit, begin, maxLine, notFirst);
  if (avx2 && widest >= TextLineSteps::Avx2)
    return text_line_run::Avx2(data, limit, begin, maxLine, notFirst);
#else
  (void)widest;
#endif
  return TakeTextLines(data, limit, begin, maxLine, 0, notFirst);
}

}  // namespace quillon

#ifdef QUILLON_X86_VECTORS

QUILLON_TARGET_BEGIN("avx2")
#include "scan/body/text_line_run_pass.h"

namespace quillon::text_line_run {

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

LineRun Avx2(const std::uint8_t* data, std::size_t limit, std::size_t begin, std::size_t maxLine,
             std::string_view notFirst) {
  return OnePass<Avx2Look>::Run(data, limit, begin, maxLine, notFirst);
}

}  // namespace quillon::text_line_run

QUILLON_TARGET_END

#endif
