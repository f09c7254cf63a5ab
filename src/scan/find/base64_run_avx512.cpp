// The base64 line steps built for AVX-512 (F and BW); chosen at run time where the processor has
// it. A 64-byte step is one vector, and its comparisons give the bits per byte straight away.
#include "scan/find/base64_run.h"
#include "scan/find/base64_tables.h"
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

QUILLON_TARGET_BEGIN("avx512f,avx512bw")
#include "scan/find/base64_line_steps.h"

namespace quillon::base64_steps {

namespace {

// The table in each 16-byte lane, where the shuffle looks it up (a broadcast of one lane leaves
// the compiler warning of an uninitialised register).
__m512i TableOf(const std::array<std::uint8_t, 16>& table) {
  std::array<std::uint8_t, 64> lanes{};
  for (std::size_t i = 0; i < lanes.size(); ++i) lanes[i] = table[i % table.size()];
  return _mm512_loadu_si512(lanes.data());
}

struct Avx512Masks {
  struct Constants {
    __m512i lowBits, highBits, lowHalf, carriageReturn, lineFeed;
  };
  static Constants MakeConstants() {
    return {TableOf(kLowBitsWithBreaks), TableOf(kHighBitsWithBreaks), _mm512_set1_epi8(0x0F),
            _mm512_set1_epi8('\r'), _mm512_set1_epi8('\n')};
  }
  static bool LineBreaks(const std::uint8_t* at, const Constants& c, std::uint64_t& returns,
                         std::uint64_t& feeds) {
    const __m512i bytes = _mm512_loadu_si512(at);
    // The low half looked up with the byte as it stands: from 0x80 on the shuffle gives 0.
    const __m512i low = _mm512_shuffle_epi8(c.lowBits, bytes);
    const __m512i high =
        _mm512_shuffle_epi8(c.highBits, _mm512_and_si512(_mm512_srli_epi16(bytes, 4), c.lowHalf));
    // A bit for each byte the tables hold: all 64, or another byte stands in the step.
    if (_mm512_test_epi8_mask(low, high) != ~std::uint64_t{0}) return false;
    returns = _mm512_cmpeq_epi8_mask(bytes, c.carriageReturn);
    feeds = _mm512_cmpeq_epi8_mask(bytes, c.lineFeed);
    return true;
  }
};

}  // namespace

Base64Lines Avx512Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine) {
  return LineSteps<Avx512Masks>::Run(data, limit, begin, maxLine);
}

}  // namespace quillon::base64_steps

QUILLON_TARGET_END
#endif
