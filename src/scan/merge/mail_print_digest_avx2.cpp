// The digest's block steps built for AVX2; chosen at run time where the processor has it.
#include "scan/find/simd_target.h"
#include "scan/merge/mail_print_digest.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

QUILLON_TARGET_BEGIN("avx2")

namespace quillon::digest_steps {

namespace {

// Four lanes' steps at once: the unsigned product of each lane's low half with its high half.
__m256i Step(__m256i lanes, const std::uint8_t* words) {
  const __m256i folded =
      _mm256_xor_si256(lanes, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)));
  return _mm256_add_epi64(folded, _mm256_mul_epu32(folded, _mm256_srli_epi64(folded, 32)));
}

}  // namespace

void Avx2(std::uint64_t* lanes, const std::uint8_t* data, std::size_t blocks) {
  // Four chains of products, each waiting only for its own.
  __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes));
  __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 4));
  __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 8));
  __m256i fourth = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 12));
  for (std::size_t block = 0; block < blocks; ++block, data += TextDigest::kBlock) {
    first = Step(first, data);
    second = Step(second, data + 32);
    third = Step(third, data + 64);
    fourth = Step(fourth, data + 96);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 4), second);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 8), third);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 12), fourth);
}

}  // namespace quillon::digest_steps

QUILLON_TARGET_END
#endif
