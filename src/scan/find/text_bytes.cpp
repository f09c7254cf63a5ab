#include "scan/find/text_bytes.h"

#include "scan/find/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>
#endif

namespace quillon {

namespace {

#if defined(__SSE2__)
// 0xFF in each byte of `bytes` that no mail text holds. A byte below 0x20 is one the unsigned
// minimum with 0x1F leaves as it is; of those, tab, CR and line feed are let through.
__m128i NonTextLanes(__m128i bytes) {
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
  const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))),
                                       _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  return _mm_andnot_si128(allowed, control);
}

std::size_t FirstBit(unsigned bits) {
  return static_cast<std::size_t>(__builtin_ctz(bits));
}
#endif

}  // namespace

#ifdef QUILLON_X86_VECTORS
QUILLON_TARGET_BEGIN("avx2")
namespace {

// As NonTextLanes, with fewer steps: a byte below 0x20 is let through where the table, looked
// up by its low four bits, gives the byte itself, which it does for tab, line feed and CR only
// (a byte from 0x80 on looks up zero, and NUL a byte that is not zero).
__m256i NonTextLanesAvx2(__m256i bytes) {
  const __m256i letThrough =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, '\t', '\n', -1, -1, '\r', -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, '\t', '\n', -1, -1, '\r', -1, -1);
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(0x1F)), bytes);
  const __m256i allowed = _mm256_cmpeq_epi8(_mm256_shuffle_epi8(letThrough, bytes), bytes);
  return _mm256_andnot_si256(allowed, control);
}

// The first index in [at, limit) whose byte is no mail text byte, looked at 64 bytes a step; the
// index of the first byte no step looked at (fewer than 64 before `limit`) when none is.
std::size_t FindNonTextByteAvx2(const std::uint8_t* data, std::size_t at, std::size_t limit) {
  for (; at + 64 <= limit; at += 64) {
    const __m256i first =
        NonTextLanesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)));
    const __m256i second =
        NonTextLanesAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + 32)));
    const __m256i either = _mm256_or_si256(first, second);
    if (_mm256_testz_si256(either, either)) continue;
    const std::uint64_t bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(first)) |
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(second))) << 32;
    return at + static_cast<std::size_t>(__builtin_ctzll(bits));
  }
  return at;
}

}  // namespace
QUILLON_TARGET_END
#endif

std::size_t FindNonTextByte(const std::uint8_t* data, std::size_t at, std::size_t limit) {
#ifdef QUILLON_X86_VECTORS
  // A mail's whole text passes here once per found mail, and some again for its copies.
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  if (hasAvx2) {
    at = FindNonTextByteAvx2(data, at, limit);
    if (at + 64 <= limit) return at;  // a step saw the stop
  }
#endif
#if defined(__SSE2__)
  // Two vectors a step: text runs for kilobytes between stops, so the step's length is what
  // counts, not the cost of finding the stop once it is seen.
  for (; at + 32 <= limit; at += 32) {
    const __m128i first =
        NonTextLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)));
    const __m128i second =
        NonTextLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 16)));
    if (_mm_movemask_epi8(_mm_or_si128(first, second)) == 0) continue;
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(first)) |
                          static_cast<unsigned>(_mm_movemask_epi8(second)) << 16;
    return at + FirstBit(bits);
  }
#endif
  return FindNonTextBytePlain(data, at, limit);
}

std::size_t FindNonTextBytePlain(const std::uint8_t* data, std::size_t at, std::size_t limit) {
  for (; at < limit; ++at)
    if (!IsMailTextByte(data[at])) return at;
  return limit;
}

}  // namespace quillon
