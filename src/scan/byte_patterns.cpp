#include "scan/byte_patterns.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#include <immintrin.h>
#define QUILLON_HAVE_SSE2 1
#endif

namespace quillon {

namespace {

bool IsFromOrDateColon(const std::uint8_t* data, std::size_t i) {
  const std::uint8_t initial = data[i - 4] | 0x20;
  return data[i] == ':' && (initial == 'f' || initial == 'd');
}

bool IsStoreSizeField(const std::uint8_t* at) {
  return at[1] == 0x02 && at[2] == 0 && at[3] == 0;
}

#ifdef QUILLON_HAVE_SSE2
int LowestBit(unsigned bits) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long index;
  _BitScanForward(&index, bits);
  return static_cast<int>(index);
#else
  return __builtin_ctz(bits);
#endif
}
#endif

#if defined(QUILLON_HAVE_SSE2) && (defined(__GNUC__) || defined(__clang__))
#define QUILLON_HAVE_AVX2 1
// The same searches 32 bytes at a time, where the processor has AVX2 (checked at run time).
__attribute__((target("avx2"))) std::size_t ColonsAvx2(const std::uint8_t* data, std::size_t i,
                                                       std::size_t end) {
  const __m256i colon = _mm256_set1_epi8(':');
  const __m256i lowerCase = _mm256_set1_epi8(0x20);
  const __m256i f = _mm256_set1_epi8('f');
  const __m256i d = _mm256_set1_epi8('d');
  for (; i + 32 <= end; i += 32) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i before = _mm256_or_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - 4)), lowerCase);
    const __m256i hits = _mm256_and_si256(
        _mm256_cmpeq_epi8(here, colon),
        _mm256_or_si256(_mm256_cmpeq_epi8(before, f), _mm256_cmpeq_epi8(before, d)));
    const auto bits = static_cast<unsigned>(_mm256_movemask_epi8(hits));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t SizeFieldsAvx2(const std::uint8_t* data, std::size_t i,
                                                           std::size_t end) {
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m256i size = _mm256_set1_epi32(0x200);
  for (; i + 32 <= end; i += 32) {
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i hits = _mm256_cmpeq_epi32(_mm256_and_si256(words, mask), size);
    const auto bits = static_cast<unsigned>(_mm256_movemask_epi8(hits));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
  return i;
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

}  // namespace

std::size_t FindFromOrDateColon(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  std::size_t i = begin < 4 ? 4 : begin;
#ifdef QUILLON_HAVE_AVX2
  if (HaveAvx2()) {
    i = ColonsAvx2(data, i, end);
    if (i + 32 <= end) return i;  // found
  }
#endif
#ifdef QUILLON_HAVE_SSE2
  const __m128i colon = _mm_set1_epi8(':');
  const __m128i lowerCase = _mm_set1_epi8(0x20);
  const __m128i f = _mm_set1_epi8('f');
  const __m128i d = _mm_set1_epi8('d');
  for (; i + 16 <= end; i += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i before =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 4)), lowerCase);
    const __m128i hits =
        _mm_and_si128(_mm_cmpeq_epi8(here, colon),
                      _mm_or_si128(_mm_cmpeq_epi8(before, f), _mm_cmpeq_epi8(before, d)));
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (bits != 0) return i + static_cast<std::size_t>(LowestBit(bits));
  }
#endif
  for (; i < end; ++i) {
    if (IsFromOrDateColon(data, i)) return i;
  }
  return end;
}

std::size_t FindStoreSizeField(const std::uint8_t* data, std::size_t begin, std::size_t end,
                               std::uint64_t base) {
  std::size_t i = begin + static_cast<std::size_t>((4 - (base + begin) % 4) % 4);
#ifdef QUILLON_HAVE_AVX2
  if (HaveAvx2()) {
    i = SizeFieldsAvx2(data, i, end);
    if (i + 32 <= end) return i;  // found
  }
#endif
#ifdef QUILLON_HAVE_SSE2
  const __m128i mask = _mm_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m128i size = _mm_set1_epi32(0x200);
  for (; i + 16 <= end; i += 16) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits = _mm_cmpeq_epi32(_mm_and_si128(words, mask), size);
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (bits != 0) return i + static_cast<std::size_t>(LowestBit(bits));
  }
#endif
  for (; i + 4 <= end; i += 4) {
    if (IsStoreSizeField(data + i)) return i;
  }
  return end;
}

}  // namespace quillon
