// The 16-byte vectors of SSE2, as the mark kernel uses them. Include inside a region for SSE2
// (simd_target.h), after <emmintrin.h>.
#pragma once

namespace quillon::simd {

struct Sse2 {
  static constexpr std::size_t kWidth = 16;
  using Bytes = __m128i;
  using Lanes = __m128i;  // 0xFF in each byte where a comparison held, 0 elsewhere

  static Bytes Load(const std::uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  static Bytes Splat(std::uint8_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Bytes SplatWord(std::uint32_t word) { return _mm_set1_epi32(static_cast<int>(word)); }
  static Bytes Or(Bytes a, Bytes b) { return _mm_or_si128(a, b); }
  static Lanes Equal(Bytes a, Bytes b) { return _mm_cmpeq_epi8(a, b); }
  static Lanes Both(Lanes a, Lanes b) { return _mm_and_si128(a, b); }
  static Lanes Either(Lanes a, Lanes b) { return _mm_or_si128(a, b); }
  // No byte shuffle in SSE2: the table is held but never looked up.
  static constexpr bool kLooksUpByLowHalf = false;
  static Bytes LowHalfTable(const std::uint8_t* table) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table));
  }
  // The lesser of each pair of bytes, unsigned; whether a byte is zero.
  static Bytes Least(Bytes a, Bytes b) { return _mm_min_epu8(a, b); }
  static bool AnyZero(Bytes bytes) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())) != 0;
  }
  // No lane set.
  static Lanes None() { return _mm_setzero_si128(); }
  // Bit k stands for byte k.
  static std::uint64_t Bits(Lanes lanes) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(lanes));
  }
  // Bit 4w for each 4-byte word w of `bytes` that equals `value` where `keep` has ones.
  static std::uint64_t WordBits(Bytes bytes, Bytes keep, Bytes value) {
    return Bits(_mm_cmpeq_epi32(_mm_and_si128(bytes, keep), value)) & 0x1111u;
  }
};

}  // namespace quillon::simd
