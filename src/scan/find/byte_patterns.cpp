#include "scan/find/byte_patterns.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#include <immintrin.h>
#define QUILLON_HAVE_SSE2 1
#endif
#if defined(QUILLON_HAVE_SSE2) && (defined(__GNUC__) || defined(__clang__))
#define QUILLON_HAVE_AVX 1  // AVX2 and AVX-512, chosen at run time
#endif

#include "scan/source_position.h"

namespace quillon {

namespace {

constexpr std::uint64_t kSector = kSectorSize;

// The colon of an anchor lies this far behind its first byte.
constexpr std::size_t kColonDistance = 4;
// Vector steps read this many bytes in front of their first byte (the byte before an anchor).
constexpr std::size_t kLookBehind = kColonDistance + 1;

bool IsAnchorColon(const std::uint8_t* data, std::size_t colon, std::uint64_t base) {
  if (colon < kColonDistance || data[colon] != ':') return false;
  const std::size_t anchor = colon - kColonDistance;
  const std::uint8_t initial = data[anchor] | 0x20;
  if (initial != 'f' && initial != 'd') return false;
  return (anchor > 0 && data[anchor - 1] == '\n') || (base + anchor) % kSector == 0;
}

bool IsStoreSizeField(const std::uint8_t* at) {
  return at[1] == 0x02 && at[2] == 0 && at[3] == 0;
}

// Whether the CR at `at` begins a line break, as far as the range [.., end) tells.
bool MayBreakLine(const std::uint8_t* data, std::size_t at, std::size_t end) {
  return data[at] == '\r' && (at + 1 >= end || data[at + 1] == '\n');
}

// Whether the CR at `at` begins a line break whose next line may be a trace line.
bool MayOpenTraceLine(const std::uint8_t* data, std::size_t at, std::size_t end) {
  return MayBreakLine(data, at, end) && (at + 2 >= end || (data[at + 2] | 0x20) == 'r');
}

void SetLineBreak(const std::uint8_t* data, std::size_t at, std::size_t end, std::uint64_t base,
                  LineBreakBits lineBreaks) {
  if (!MayBreakLine(data, at, end)) return;
  lineBreaks.any.Set((base + at) / kSector);
  if (MayOpenTraceLine(data, at, end)) lineBreaks.beforeR.Set((base + at) / kSector);
}

// One byte at a time, for the ends of a range and where no vector steps are at hand. `rangeEnd`
// is the end of the whole range, which the bytes behind [begin, end) belong to.
void MarksOneByOne(const std::uint8_t* data, std::size_t begin, std::size_t end,
                   std::size_t rangeEnd, std::uint64_t base, std::vector<std::uint64_t>& anchors,
                   std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks) {
  for (std::size_t i = begin; i < end; ++i) {
    if (IsAnchorColon(data, i, base)) anchors.push_back(base + i - kColonDistance);
    if ((base + i) % 4 == 0 && i + 4 <= rangeEnd && IsStoreSizeField(data + i))
      sizeFields.push_back(base + i);
    SetLineBreak(data, i, rangeEnd, base, lineBreaks);
  }
}

#ifdef QUILLON_HAVE_AVX
// A one in bit k where the step's byte k is the colon of an anchor at a sector start: the step
// covers one sector start at most.
std::uint64_t SectorColonBit(std::uint64_t stepStart, std::size_t stepBytes) {
  const std::uint64_t colonOffset = (kSector - (stepStart - kColonDistance) % kSector) % kSector;
  return colonOffset < stepBytes ? std::uint64_t{1} << colonOffset : 0;
}

// A line break lies somewhere in the step at absolute `stepStart`: the sectors it touches (two
// at most) may hold it.
void SetStepSectors(SectorBits bits, std::uint64_t stepStart, std::size_t stepBytes) {
  bits.Set(stepStart / kSector);
  bits.Set((stepStart + stepBytes - 1) / kSector);
}

// Appends the finds of one step at i from its bit masks: a bit per byte for anchor colons and,
// for size fields, the lowest bit of each 4-byte word's `wordBits` bits.
void AppendStepFinds(std::size_t i, std::uint64_t base, std::uint64_t colons, std::uint64_t fields,
                     std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields) {
  for (; colons != 0; colons &= colons - 1)
    anchors.push_back(base + i + static_cast<unsigned>(__builtin_ctzll(colons)) - kColonDistance);
  for (; fields != 0; fields &= fields - 1)
    sizeFields.push_back(base + i + static_cast<unsigned>(__builtin_ctzll(fields)));
}

__attribute__((target("avx512f,avx512bw"))) std::size_t MarksAvx512(
    const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
    std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
    LineBreakBits lineBreaks) {
  const __m512i colon = _mm512_set1_epi8(':');
  const __m512i carriageReturn = _mm512_set1_epi8('\r');
  const __m512i r = _mm512_set1_epi8('r');
  const __m512i lowerCase = _mm512_set1_epi8(0x20);
  const __m512i f = _mm512_set1_epi8('f');
  const __m512i d = _mm512_set1_epi8('d');
  const __m512i lineFeed = _mm512_set1_epi8('\n');
  const __m512i sizeMask = _mm512_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m512i size = _mm512_set1_epi32(0x200);
  // Each step reads the two bytes behind it too (the LF of a line break and the line's first).
  for (; i + 65 < end; i += 64) {
    // Everything at once, without branches, so that the few steps with a find are the only
    // ones that branch off.
    const __m512i here = _mm512_loadu_si512(data + i);
    const __m512i initial =
        _mm512_or_si512(_mm512_loadu_si512(data + i - kColonDistance), lowerCase);
    const __m512i before = _mm512_loadu_si512(data + i - kLookBehind);
    const std::uint64_t colons =
        _mm512_cmpeq_epi8_mask(here, colon) &
        (_mm512_cmpeq_epi8_mask(initial, f) | _mm512_cmpeq_epi8_mask(initial, d)) &
        (_mm512_cmpeq_epi8_mask(before, lineFeed) | SectorColonBit(base + i, 64));
    const __mmask16 words = _mm512_cmpeq_epi32_mask(_mm512_and_si512(here, sizeMask), size);
    const std::uint64_t breaks = _mm512_cmpeq_epi8_mask(here, carriageReturn) &
                                 _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(data + i + 1), lineFeed);
    if ((colons | words | breaks) == 0) continue;
    if (breaks != 0) {
      SetStepSectors(lineBreaks.any, base + i, 64);
      const __m512i next = _mm512_or_si512(_mm512_loadu_si512(data + i + 2), lowerCase);
      if ((breaks & _mm512_cmpeq_epi8_mask(next, r)) != 0)
        SetStepSectors(lineBreaks.beforeR, base + i, 64);
    }
    if ((colons | words) == 0) continue;
    std::uint64_t fields = 0;
    for (unsigned w = words; w != 0; w &= w - 1)
      fields |= std::uint64_t{1} << (4 * static_cast<unsigned>(__builtin_ctz(w)));
    AppendStepFinds(i, base, colons, fields, anchors, sizeFields);
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t MarksAvx2(const std::uint8_t* data, std::size_t i,
                                                      std::size_t end, std::uint64_t base,
                                                      std::vector<std::uint64_t>& anchors,
                                                      std::vector<std::uint64_t>& sizeFields,
                                                      LineBreakBits lineBreaks) {
  const __m256i colon = _mm256_set1_epi8(':');
  const __m256i carriageReturn = _mm256_set1_epi8('\r');
  const __m256i r = _mm256_set1_epi8('r');
  const __m256i lowerCase = _mm256_set1_epi8(0x20);
  const __m256i f = _mm256_set1_epi8('f');
  const __m256i d = _mm256_set1_epi8('d');
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i sizeMask = _mm256_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m256i size = _mm256_set1_epi32(0x200);
  // Each step reads the two bytes behind it too (the LF of a line break and the line's first).
  for (; i + 33 < end; i += 32) {
    // Everything at once, without branches, as in the wider steps.
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i initial = _mm256_or_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - kColonDistance)), lowerCase);
    const __m256i before =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - kLookBehind));
    const __m256i colons = _mm256_and_si256(
        _mm256_cmpeq_epi8(here, colon),
        _mm256_or_si256(_mm256_cmpeq_epi8(initial, f), _mm256_cmpeq_epi8(initial, d)));
    std::uint64_t colonBits = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(colons, _mm256_cmpeq_epi8(before, lineFeed))));
    if (const std::uint64_t sector = SectorColonBit(base + i, 32); sector != 0)
      colonBits |= static_cast<std::uint32_t>(_mm256_movemask_epi8(colons)) & sector;
    const std::uint64_t fieldBits =
        static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(here, sizeMask), size))) &
        0x11111111u;
    const __m256i breaks = _mm256_and_si256(
        _mm256_cmpeq_epi8(here, carriageReturn),
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 1)),
                          lineFeed));
    const auto breakBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(breaks));
    if ((colonBits | fieldBits | breakBits) == 0) continue;
    if (breakBits != 0) {
      SetStepSectors(lineBreaks.any, base + i, 32);
      const __m256i next = _mm256_or_si256(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 2)), lowerCase);
      if ((breakBits &
           static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(next, r)))) != 0)
        SetStepSectors(lineBreaks.beforeR, base + i, 32);
    }
    if ((colonBits | fieldBits) != 0)
      AppendStepFinds(i, base, colonBits, fieldBits, anchors, sizeFields);
  }
  return i;
}

bool HaveAvx512() {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return have;
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

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

std::size_t MarksSse2(const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
                      std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
                      LineBreakBits lineBreaks) {
  const __m128i colon = _mm_set1_epi8(':');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i sizeMask = _mm_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m128i size = _mm_set1_epi32(0x200);
  for (; i + 16 <= end; i += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i words = _mm_cmpeq_epi32(_mm_and_si128(here, sizeMask), size);
    unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(here, colon), _mm_cmpeq_epi8(here, carriageReturn)), words)));
    // Few steps hold a colon, a CR or a size field; those are looked at byte by byte.
    for (; bits != 0; bits &= bits - 1) {
      const std::size_t at = i + static_cast<std::size_t>(LowestBit(bits));
      if (IsAnchorColon(data, at, base)) anchors.push_back(base + at - kColonDistance);
      if ((base + at) % 4 == 0 && IsStoreSizeField(data + at)) sizeFields.push_back(base + at);
      SetLineBreak(data, at, end, base, lineBreaks);
    }
  }
  return i;
}
#endif

}  // namespace

void FindMarkPositions(const std::uint8_t* data, std::size_t begin, std::size_t end,
                       std::uint64_t base, std::vector<std::uint64_t>& anchors,
                       std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks,
                       MarkSteps widest) {
  if (begin >= end) return;
  // The vector steps need the bytes in front of them and start on a 4-byte word of the source.
  std::size_t i = begin;
  while (i < end && (i < kLookBehind || (base + i) % 4 != 0)) ++i;
  MarksOneByOne(data, begin, i, end, base, anchors, sizeFields, lineBreaks);
#ifdef QUILLON_HAVE_AVX
  if (widest >= MarkSteps::Avx512 && HaveAvx512())
    i = MarksAvx512(data, i, end, base, anchors, sizeFields, lineBreaks);
  else if (widest >= MarkSteps::Avx2 && HaveAvx2())
    i = MarksAvx2(data, i, end, base, anchors, sizeFields, lineBreaks);
#endif
#ifdef QUILLON_HAVE_SSE2
  if (widest >= MarkSteps::Sse2) i = MarksSse2(data, i, end, base, anchors, sizeFields, lineBreaks);
#endif
  MarksOneByOne(data, i, end, end, base, anchors, sizeFields, lineBreaks);
}

}  // namespace quillon
