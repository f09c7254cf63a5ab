// The text-line pass built for AVX-512 (F and BW): a look's stop bytes come straight out of the
// comparisons as a 64-bit mask, with no vector work to combine them.
#include "scan/find/line_runs.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/read_ahead.h"

QUILLON_TARGET_BEGIN("avx512f,avx512bw")
#include "scan/find/text_line_pass.h"

namespace quillon::line_run_steps {

namespace {

struct Avx512Look {
  // Below 0x20 but a tab, or 0x7F.
  static std::uint64_t StopBits(const std::uint8_t* at) {
    const __m512i bytes = _mm512_loadu_si512(at);
    const __mmask64 control = _mm512_cmplt_epu8_mask(bytes, _mm512_set1_epi8(0x20));
    const __mmask64 controlNoTab =
        _mm512_mask_cmpneq_epi8_mask(control, bytes, _mm512_set1_epi8('\t'));
    return controlNoTab | _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(0x7F));
  }
};

}  // namespace

LineRun Avx512TextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::string_view notFirst) {
  return OnePass<Avx512Look>::Run(data, limit, begin, maxLine, notFirst);
}

}  // namespace quillon::line_run_steps

QUILLON_TARGET_END
#endif
