#include "scan/find/base64_characters.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

constexpr bool IsBase64Character(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

#if defined(__SSE2__)
// 0xFF in each byte of `bytes` within [low, high]. The comparisons are signed: bytes from 0x80 on
// fall below every ASCII bound, as they should.
__m128i InRange(__m128i bytes, char low, char high) {
  return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
}
#endif

}  // namespace

std::int64_t CountBase64CharactersPlain(std::string_view line) {
  static constexpr auto kIsBase64 = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = IsBase64Character(static_cast<unsigned char>(c));
    return table;
  }();
  std::int64_t count = 0;
  for (const char c : line) count += kIsBase64[static_cast<unsigned char>(c)];
  return count;
}

std::int64_t CountBase64Characters(std::string_view line) {
  std::int64_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Each byte of `counts` adds one per match (a match is -1); it is summed before it can pass 255.
  while (i + 16 <= line.size()) {
    __m128i counts = _mm_setzero_si128();
    for (int round = 0; round < 255 && i + 16 <= line.size(); ++round, i += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
      const __m128i letters = _mm_or_si128(InRange(bytes, 'A', 'Z'), InRange(bytes, 'a', 'z'));
      const __m128i others = _mm_or_si128(
          _mm_or_si128(InRange(bytes, '0', '9'), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('+'))),
          _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')));
      counts = _mm_sub_epi8(counts, _mm_or_si128(letters, others));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  return count + CountBase64CharactersPlain(line.substr(i));
}

}  // namespace quillon
