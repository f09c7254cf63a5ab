#include "scan/find/text_bytes.h"

#include "scan/find/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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

TextSteps WidestTextSteps() {
#ifdef QUILLON_X86_VECTORS
  static const TextSteps widest =
      __builtin_cpu_supports("avx2") ? TextSteps::Avx2 : TextSteps::Sse2;
  return widest;
#elif defined(__SSE2__)
  return TextSteps::Sse2;
#else
  return TextSteps::Bytes;
#endif
}

std::size_t FindNonTextByte(const std::uint8_t* data, std::size_t at, std::size_t limit,
                            TextSteps widest) {
  const TextSteps steps = widest < WidestTextSteps() ? widest : WidestTextSteps();
#ifdef QUILLON_X86_VECTORS
  if (steps >= TextSteps::Avx2) {
    at = text_steps::Avx2(data, at, limit);
    if (at + 64 <= limit) return at;  // the steps stopped at a find
  }
#endif
#if defined(__SSE2__)
  // Two vectors a step: text runs for kilobytes between stops, so the step's length is what
  // counts, not the cost of finding the stop once it is seen.
  for (; steps >= TextSteps::Sse2 && at + 32 <= limit; at += 32) {
    const __m128i first =
        NonTextLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)));
    const __m128i second =
        NonTextLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 16)));
    if (_mm_movemask_epi8(_mm_or_si128(first, second)) == 0) continue;
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(first)) |
                          static_cast<unsigned>(_mm_movemask_epi8(second)) << 16;
    return at + FirstBit(bits);
  }
#else
  (void)steps;
#endif
  return FindNonTextBytePlain(data, at, limit);
}

std::size_t FindNonTextBytePlain(const std::uint8_t* data, std::size_t at, std::size_t limit) {
  for (; at < limit; ++at)
    if (!IsMailTextByte(data[at])) return at;
  return limit;
}

}  // namespace quillon
