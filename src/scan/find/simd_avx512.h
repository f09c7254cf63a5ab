// The 64-byte vectors of AVX-512 (F and BW), as the mark kernel uses them. Include inside a region
// for "avx512f,avx512bw" (simd_target.h), after <immintrin.h>. Comparisons give a bit per byte
// in a mask register straight away, so combining them costs no vector work.
#pragma once

namespace quillon::simd {

struct Avx512 {
  static constexpr std::size_t kWidth = 64;
  using Bytes = __m512i;
  using Lanes = __mmask64;  // bit k set where a comparison held for byte k

  static Bytes Load(const std::uint8_t* at) { return _mm512_loadu_si512(at); }
  static Bytes Splat(std::uint8_t byte) { return _mm512_set1_epi8(static_cast<char>(byte)); }
  static Bytes SplatWord(std::uint32_t word) { return _mm512_set1_epi32(static_cast<int>(word)); }
  static Bytes Or(Bytes a, Bytes b) { return _mm512_or_si512(a, b); }
  static Lanes Equal(Bytes a, Bytes b) { return _mm512_cmpeq_epi8_mask(a, b); }
  static Lanes Both(Lanes a, Lanes b) { return a & b; }
  static Lanes Either(Lanes a, Lanes b) { return a | b; }
  // A table of 16 bytes for LookUpLowHalf, in each 16-byte lane where the shuffle reads it.
  static constexpr bool kLooksUpByLowHalf = true;
  static Bytes LowHalfTable(const std::uint8_t* table) {
    // Written out four times: a broadcast of one lane leaves the compiler warning of an
    // uninitialised register.
    std::uint8_t lanes[64];
    for (std::size_t i = 0; i < 64; ++i) lanes[i] = table[i % 16];
    return _mm512_loadu_si512(lanes);
  }
  // The table's entry for the low half of each byte; 0 for a byte from 0x80 on.
  static Bytes LookUpLowHalf(Bytes table, Bytes bytes) { return _mm512_shuffle_epi8(table, bytes); }
  // The lesser of each pair of bytes, unsigned; whether a byte is zero.
  static Bytes Least(Bytes a, Bytes b) { return _mm512_min_epu8(a, b); }
  static bool AnyZero(Bytes bytes) { return _mm512_test_epi8_mask(bytes, bytes) != ~__mmask64{0}; }
  // No lane set.
  static Lanes None() { return 0; }
  static std::uint64_t Bits(Lanes lanes) { return lanes; }
  // Bit 4w for each 4-byte word w of `bytes` that equals `value` where `keep` has ones: the
  // words whose four bytes all match.
  static std::uint64_t WordBits(Bytes bytes, Bytes keep, Bytes value) {
    const std::uint64_t matching = _mm512_cmpeq_epi8_mask(_mm512_and_si512(bytes, keep), value);
    return matching & (matching >> 1) & (matching >> 2) & (matching >> 3) & 0x1111111111111111u;
  }
};

}  // namespace quillon::simd
