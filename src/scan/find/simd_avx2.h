// The 32-byte vectors of AVX2, as the mark kernel uses them. Include inside a region for AVX2
// (simd_target.h), after <immintrin.h>.
#pragma once

namespace quillon::simd {

struct Avx2 {
  static constexpr std::size_t kWidth = 32;
  using Bytes = __m256i;
  using Lanes = __m256i;  // 0xFF in each byte where a comparison held, 0 elsewhere

  static Bytes Load(const std::uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
  static Bytes Splat(std::uint8_t byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
  static Bytes SplatWord(std::uint32_t word) { return _mm256_set1_epi32(static_cast<int>(word)); }
  static Bytes Or(Bytes a, Bytes b) { return _mm256_or_si256(a, b); }
  static Lanes Equal(Bytes a, Bytes b) { return _mm256_cmpeq_epi8(a, b); }
  static Lanes Both(Lanes a, Lanes b) { return _mm256_and_si256(a, b); }
  static Lanes Either(Lanes a, Lanes b) { return _mm256_or_si256(a, b); }
  // A table of 16 bytes for LookUpLowHalf, in each 16-byte lane where the shuffle reads it.
  static constexpr bool kLooksUpByLowHalf = true;
  static Bytes LowHalfTable(const std::uint8_t* table) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
  }
  // The table's entry for the low half of each byte; 0 for a byte from 0x80 on.
  static Bytes LookUpLowHalf(Bytes table, Bytes bytes) { return _mm256_shuffle_epi8(table, bytes); }
  // The lesser of each pair of bytes, unsigned; whether a byte is zero.
  static Bytes Least(Bytes a, Bytes b) { return _mm256_min_epu8(a, b); }
  static bool AnyZero(Bytes bytes) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())) != 0;
  }
  // No lane set.
  static Lanes None() { return _mm256_setzero_si256(); }
  // Bit k stands for byte k.
  static std::uint64_t Bits(Lanes lanes) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(lanes));
  }
  // Bit 4w for each 4-byte word w of `bytes` that equals `value` where `keep` has ones.
  static std::uint64_t WordBits(Bytes bytes, Bytes keep, Bytes value) {
    return Bits(_mm256_cmpeq_epi32(_mm256_and_si256(bytes, keep), value)) & 0x11111111u;
  }
};

}  // namespace quillon::simd
