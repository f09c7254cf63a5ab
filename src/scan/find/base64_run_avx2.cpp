// The base64 look built for AVX2; chosen at run time where the processor has it.
#include "scan/find/base64_run.h"
#include "scan/find/base64_tables.h"
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

QUILLON_TARGET_BEGIN("avx2")
#include "scan/find/base64_line_steps.h"

namespace quillon::base64_steps {

namespace {

__m256i TableOf(const std::array<std::uint8_t, 16>& table) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
  return _mm256_broadcastsi128_si256(half);
}

// 0xFF in each byte of `bytes` that the tables hold no character of. The low half is looked up
// with the byte as it stands: the shuffle gives 0 for a byte from 0x80 on, which is outside as it
// should be.
__m256i OutsideLanes(__m256i bytes, __m256i lowBits, __m256i highBits) {
  const __m256i lowHalf = _mm256_set1_epi8(0x0F);
  const __m256i low = _mm256_shuffle_epi8(lowBits, bytes);
  const __m256i high =
      _mm256_shuffle_epi8(highBits, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), lowHalf));
  return _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
}

std::uint64_t Bits(__m256i low, __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

// A 64-byte step as two vectors; CR and LF are in the tables, so that a step of whole lines is
// told by one test.
struct Avx2Masks {
  struct Constants {
    __m256i lowBits, highBits, carriageReturn, lineFeed;
  };
  static Constants MakeConstants() {
    return {TableOf(kLowBitsWithBreaks), TableOf(kHighBitsWithBreaks), _mm256_set1_epi8('\r'),
            _mm256_set1_epi8('\n')};
  }
  static bool LineBreaks(const std::uint8_t* at, const Constants& c, std::uint64_t& returns,
                         std::uint64_t& feeds) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
    const __m256i others = _mm256_or_si256(OutsideLanes(first, c.lowBits, c.highBits),
                                           OutsideLanes(second, c.lowBits, c.highBits));
    if (!_mm256_testz_si256(others, others)) return false;
    returns = Bits(_mm256_cmpeq_epi8(first, c.carriageReturn),
                   _mm256_cmpeq_epi8(second, c.carriageReturn));
    feeds = Bits(_mm256_cmpeq_epi8(first, c.lineFeed), _mm256_cmpeq_epi8(second, c.lineFeed));
    return true;
  }
};

}  // namespace

Base64Lines Avx2Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine) {
  return LineSteps<Avx2Masks>::Run(data, limit, begin, maxLine);
}

std::size_t Avx2(const std::uint8_t* data, std::size_t from, std::size_t to) {
  const __m256i lowBits = TableOf(kLowBits);
  const __m256i highBits = TableOf(kHighBits);
  std::size_t i = from;
  for (; i + 32 <= to; i += 32) {
    const __m256i outside = OutsideLanes(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i)), lowBits, highBits);
    const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(outside));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
  return i;
}

}  // namespace quillon::base64_steps

QUILLON_TARGET_END
#endif
