#include "scan/find/line_start.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

std::size_t LastLineStop(const std::uint8_t* data, std::size_t floor, std::size_t end) {
#if defined(__SSE2__)
  // Controls and DEL are picked out sixteen at a time; of those only a line feed or a byte no
  // text holds stops the look. A header line holds a tab now and then, and the CR in front of
  // the line feed that ends the line above is met only behind that line feed.
  const __m128i lastControl = _mm_set1_epi8(0x1F);
  const __m128i del = _mm_set1_epi8(0x7F);
  while (end - floor >= 16) {
    end -= 16;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + end));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes);
    for (auto suspects = static_cast<unsigned>(
             _mm_movemask_epi8(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, del))));
         suspects != 0;) {
      const unsigned last = 31u - static_cast<unsigned>(__builtin_clz(suspects));
      if (StopsALineLookBack(data[end + last])) return end + last;
      suspects &= ~(1u << last);
    }
  }
#endif
  return LastLineStopPlain(data, floor, end);
}

std::size_t LastLineStopPlain(const std::uint8_t* data, std::size_t floor, std::size_t end) {
  while (end > floor) {
    --end;
    if (StopsALineLookBack(data[end])) return end;
  }
  return kNoLineStop;
}

}  // namespace quillon
