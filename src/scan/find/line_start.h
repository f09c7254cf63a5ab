// Where a line of text begins, looked for backwards from its end. The shape scan walks from each
// From or Date line up over the lines of its header block, and every line it passes is read back
// to the byte in front of it: on dense mail that look back is a good part of the scan's cost.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

// Whether a look back for a line's start stops at `byte`: a line feed, or a byte that no line of
// text holds (a control byte other than tab, form feed, CR, SO, SI and ESC; DEL). The bytes that
// are text are those the line readers call text.
constexpr bool StopsALineLookBack(std::uint8_t byte) {
  if (byte >= 0x20) return byte == 0x7F;
  return byte != '\t' && byte != '\f' && byte != '\r' && byte != 0x0E && byte != 0x0F &&
         byte != 0x1B;
}

inline constexpr std::size_t kNoLineStop = static_cast<std::size_t>(-1);

// The same as LastLineStop below, a byte at a time: the reference the fast one is tested against.
std::size_t LastLineStopPlain(const std::uint8_t* data, std::size_t floor, std::size_t end);

// The greatest index in [floor, end) whose byte stops a look back (StopsALineLookBack);
// kNoLineStop when there is none. Sixteen bytes a step where the processor has them; inline, as
// the walk asks once a line.
inline std::size_t LastLineStop(const std::uint8_t* data, std::size_t floor, std::size_t end) {
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

}  // namespace quillon
