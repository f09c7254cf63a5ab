#include "scan/find/base64_run.h"

#include "scan/find/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

#if defined(__SSE2__)
// 0xFF in each byte of `bytes` within [low, high]. The comparisons are signed: bytes from 0x80 on
// fall below every ASCII bound, as they should.
__m128i InRange(__m128i bytes, char low, char high) {
  return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
}

// Sixteen bytes at a time while a whole step lies before `to`: the first byte that is no base64
// character, or where the steps stopped.
std::size_t Sse2Steps(const std::uint8_t* data, std::size_t i, std::size_t to) {
  for (; i + 16 <= to; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i letters = _mm_or_si128(InRange(bytes, 'A', 'Z'), InRange(bytes, 'a', 'z'));
    const __m128i others = _mm_or_si128(
        _mm_or_si128(InRange(bytes, '0', '9'), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('+'))),
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')));
    const auto outside =
        static_cast<unsigned>(~_mm_movemask_epi8(_mm_or_si128(letters, others)) & 0xFFFF);
    if (outside != 0) return i + static_cast<std::size_t>(__builtin_ctz(outside));
  }
  return i;
}
#endif

}  // namespace

Base64Steps WidestBase64Steps() {
#ifdef QUILLON_X86_VECTORS
  static const Base64Steps widest =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? Base64Steps::Avx512
      : __builtin_cpu_supports("avx2")                                        ? Base64Steps::Avx2
                                                                              : Base64Steps::Sse2;
  return widest;
#else
  return Base64Steps::Bytes;
#endif
}

std::size_t FindNonBase64Plain(const std::uint8_t* data, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (!IsBase64Byte(data[i])) return i;
  return to;
}

std::size_t FindNonBase64(const std::uint8_t* data, std::size_t from, std::size_t to,
                          Base64Steps widest) {
  std::size_t i = from;
  const Base64Steps steps = widest < WidestBase64Steps() ? widest : WidestBase64Steps();
#ifdef QUILLON_X86_VECTORS
  if (steps >= Base64Steps::Avx2) {
    i = base64_steps::Avx2(data, i, to);
    if (i + 32 <= to) return i;  // the steps stopped at a find
  }
#endif
#if defined(__SSE2__)
  if (steps >= Base64Steps::Sse2) {
    i = Sse2Steps(data, i, to);
    if (i + 16 <= to) return i;
  }
#endif
  return FindNonBase64Plain(data, i, to);
}

Base64Lines TakeBase64LinesInSteps(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                                   std::size_t maxLine, Base64Steps widest) {
#ifdef QUILLON_X86_VECTORS
  const Base64Steps steps = widest < WidestBase64Steps() ? widest : WidestBase64Steps();
  if (steps >= Base64Steps::Avx512) return base64_steps::Avx512Lines(data, limit, begin, maxLine);
  if (steps >= Base64Steps::Avx2) return base64_steps::Avx2Lines(data, limit, begin, maxLine);
#else
  (void)data, (void)limit, (void)maxLine, (void)widest;
#endif
  return {begin, 0};
}

}  // namespace quillon
