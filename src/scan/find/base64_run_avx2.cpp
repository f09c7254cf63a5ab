// The base64 look built for AVX2; chosen at run time where the processor has it.
#include "scan/find/base64_run.h"
#include "scan/find/read_ahead.h"
#include "scan/find/simd_target.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon::base64_steps {

namespace {

// A byte is sorted by its two halves: each high half that holds base64 characters (2 to 7) gets a
// bit of its own, and the table for the low half holds, for each low half, the bits of the high
// halves that make a base64 character with it. A byte is one exactly where the two tables' bytes
// share a bit. Both are worked out from the alphabet itself.
constexpr std::uint8_t HighBit(unsigned high) {
  return high >= 2 && high <= 7 ? static_cast<std::uint8_t>(1u << (high - 2)) : 0;
}

constexpr std::array<std::uint8_t, 16> kHighBits = [] {
  std::array<std::uint8_t, 16> table{};
  for (unsigned high = 0; high < 16; ++high) table[high] = HighBit(high);
  return table;
}();

constexpr std::array<std::uint8_t, 16> kLowBits = [] {
  std::array<std::uint8_t, 16> table{};
  for (unsigned c = 0; c < 256; ++c)
    if (IsBase64Byte(static_cast<std::uint8_t>(c)))
      table[c & 0x0F] = static_cast<std::uint8_t>(table[c & 0x0F] | HighBit(c >> 4));
  return table;
}();

static_assert([] {
  for (unsigned c = 0; c < 256; ++c)
    if (((kLowBits[c & 0x0F] & kHighBits[c >> 4]) != 0) !=
        IsBase64Byte(static_cast<std::uint8_t>(c)))
      return false;
  return true;
}());

// The same tables with CR and LF let in as well (high half 0, a bit of its own): a step of whole
// base64 lines is then told by one test, and its CRs and LFs are looked at only for where its
// lines end.
constexpr unsigned kLineBreakBit = 1u << 6;
constexpr std::array<std::uint8_t, 16> kHighBitsWithBreaks = [] {
  std::array<std::uint8_t, 16> table = kHighBits;
  table[0] = kLineBreakBit;
  return table;
}();
constexpr std::array<std::uint8_t, 16> kLowBitsWithBreaks = [] {
  std::array<std::uint8_t, 16> table = kLowBits;
  table['\r'] = static_cast<std::uint8_t>(table['\r'] | kLineBreakBit);
  table['\n'] = static_cast<std::uint8_t>(table['\n'] | kLineBreakBit);
  return table;
}();

static_assert([] {
  for (unsigned c = 0; c < 256; ++c)
    if (((kLowBitsWithBreaks[c & 0x0F] & kHighBitsWithBreaks[c >> 4]) != 0) !=
        (IsBase64Byte(static_cast<std::uint8_t>(c)) || c == '\r' || c == '\n'))
      return false;
  return true;
}());

}  // namespace

QUILLON_TARGET_BEGIN("avx2")

namespace {

__m256i TableOf(const std::array<std::uint8_t, 16>& table) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
  return _mm256_broadcastsi128_si256(half);
}

// 0xFF in each byte of `bytes` that is no base64 character.
__m256i OutsideLanes(__m256i bytes, __m256i lowBits, __m256i highBits) {
  const __m256i lowHalf = _mm256_set1_epi8(0x0F);
  const __m256i low = _mm256_shuffle_epi8(lowBits, _mm256_and_si256(bytes, lowHalf));
  const __m256i high =
      _mm256_shuffle_epi8(highBits, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), lowHalf));
  return _mm256_cmpeq_epi8(_mm256_and_si256(low, high), _mm256_setzero_si256());
}

std::uint64_t Bits(__m256i low, __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

}  // namespace

Base64Lines Avx2Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine) {
  const __m256i lowBits = TableOf(kLowBitsWithBreaks);
  const __m256i highBits = TableOf(kHighBitsWithBreaks);
  const __m256i carriageReturn = _mm256_set1_epi8('\r');
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  Base64Lines run{begin, 0};
  std::uint64_t returnBehind = 0;  // 1 where the byte in front of the step is a CR
  // A line is taken at its LF, which lies inside a step and so before `limit`.
  for (std::size_t p = begin; p + 64 <= limit; p += 64) {
    __builtin_prefetch(data + p + kReadAheadBytes);
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + p));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + p + 32));
    // Another byte, or a CR without its LF or a LF without its CR: the caller reads the lines
    // from here on one by one.
    const __m256i others = _mm256_or_si256(OutsideLanes(first, lowBits, highBits),
                                           OutsideLanes(second, lowBits, highBits));
    if (!_mm256_testz_si256(others, others)) return run;
    const std::uint64_t returns =
        Bits(_mm256_cmpeq_epi8(first, carriageReturn), _mm256_cmpeq_epi8(second, carriageReturn));
    std::uint64_t feeds =
        Bits(_mm256_cmpeq_epi8(first, lineFeed), _mm256_cmpeq_epi8(second, lineFeed));
    if (feeds != ((returns << 1) | returnBehind)) return run;
    returnBehind = returns >> 63;
    if (feeds == 0) continue;
    if (maxLine > 64) {
      // Only the first line to end in the step may have begun in front of it; the others are
      // shorter than a step, and empty only where a CR stands right behind a LF.
      const std::size_t length = p + static_cast<std::size_t>(__builtin_ctzll(feeds)) - 1 - run.end;
      if (length == 0 || length >= maxLine) return run;
      std::uint64_t taken = feeds;
      if (const std::uint64_t emptyLines = (feeds << 1) & returns; emptyLines != 0)
        taken &= (emptyLines & (~emptyLines + 1)) - 1;  // the lines in front of the first
      run = {p + 64 - static_cast<std::size_t>(__builtin_clzll(taken)),
             run.lines + static_cast<std::size_t>(__builtin_popcountll(taken))};
      if (taken != feeds) return run;
      continue;
    }
    for (; feeds != 0; feeds &= feeds - 1) {
      const std::size_t lineFeedAt = p + static_cast<std::size_t>(__builtin_ctzll(feeds));
      const std::size_t length = lineFeedAt - 1 - run.end;
      if (length == 0 || length >= maxLine) return run;
      run = {lineFeedAt + 1, run.lines + 1};
    }
  }
  return run;
}

std::size_t Avx2(const std::uint8_t* data, std::size_t from, std::size_t to) {
  const __m256i lowBits = TableOf(kLowBits);
  const __m256i highBits = TableOf(kHighBits);
  std::size_t i = from;
  for (; i + 32 <= to; i += 32) {
    const __m256i outside = OutsideLanes(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i)), lowBits, highBits);
    const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(outside));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
  return i;
}

QUILLON_TARGET_END

}  // namespace quillon::base64_steps
#endif
