#include "scan/body/text_line_run.h"

#include "scan/find/simd_target.h"
#include "scan/find/text_bytes.h"

#ifdef QUILLON_X86_VECTORS
#include <immintrin.h>
#endif

namespace quillon {

LineRun TakeTextLineRun(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::string_view notFirst) {
#ifdef QUILLON_X86_VECTORS
  static const bool avx2 = WidestTextSteps() >= TextSteps::Avx2;
  if (avx2) return text_line_run::Avx2(data, limit, begin, maxLine, notFirst);
#endif
  return TakeTextLines(data, limit, begin, maxLine, 0, notFirst);
}

}  // namespace quillon

#ifdef QUILLON_X86_VECTORS

QUILLON_TARGET_BEGIN("avx2")

namespace quillon::text_line_run {

namespace {

constexpr std::size_t kStep = 64;  // two vectors a look: half the looks' own work

bool IsTextLineByte(std::uint8_t c) {
  return (c >= 0x20 && c != 0x7F) || c == '\t';
}

// The bytes no line of the run may begin with, one bit each: asked at every line start.
class BarredFirst {
 public:
  explicit BarredFirst(std::string_view notFirst) {
    for (const char c : notFirst) {
      const auto byte = static_cast<std::uint8_t>(c);
      bits_[byte >> 6] |= std::uint64_t{1} << (byte & 63);
    }
  }
  bool operator()(std::uint8_t first) const {
    return ((bits_[first >> 6] >> (first & 63)) & 1) != 0;
  }

 private:
  std::uint64_t bits_[4] = {};
};

// One bit per byte of the 32 at `at` that no line of text holds: below 0x20 but a tab, or 0x7F.
std::uint32_t StopBits32(const std::uint8_t* at) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i below = _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(0x1F)), bytes);
  const __m256i stops =
      _mm256_or_si256(_mm256_andnot_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\t')), below),
                      _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(0x7F)));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(stops));
}

// The same for the 64 bytes of a look.
std::uint64_t StopBits(const std::uint8_t* at) {
  return StopBits32(at) | (std::uint64_t{StopBits32(at + 32)} << 32);
}

// The stop bytes of the last look, kept so that the next line's end is often found in them.
class StopSearch {
 public:
  StopSearch(const std::uint8_t* data, std::size_t limit) : data_(data), limit_(limit) {}

  // The first index in [from, limit) whose byte no line of text holds; `limit` when none does.
  // `from` never goes back.
  std::size_t From(std::size_t from) {
    if (looked_ && from < at_ + kStep) {
      const std::uint64_t left = bits_ & (~std::uint64_t{0} << (from - at_));
      if (left != 0) return at_ + static_cast<std::size_t>(__builtin_ctzll(left));
      from = at_ + kStep;
    }
    for (; from + kStep <= limit_; from += kStep) {
      bits_ = StopBits(data_ + from);
      at_ = from;
      looked_ = true;
      if (bits_ != 0) return from + static_cast<std::size_t>(__builtin_ctzll(bits_));
    }
    looked_ = false;
    for (; from < limit_; ++from)
      if (!IsTextLineByte(data_[from])) return from;
    return limit_;
  }

 private:
  const std::uint8_t* data_;
  std::size_t limit_;
  std::size_t at_ = 0;
  std::uint64_t bits_ = 0;
  bool looked_ = false;
};

}  // namespace

LineRun Avx2(const std::uint8_t* data, std::size_t limit, std::size_t begin, std::size_t maxLine,
             std::string_view notFirst) {
  LineRun run{begin, 0};
  StopSearch stops(data, limit);
  const BarredFirst barred(notFirst);
  for (std::size_t start = begin; start < limit && !barred(data[start]);) {
    const std::size_t lineEnd = stops.From(start);
    const std::size_t length = lineEnd - start;
    if (length == 0 || length >= maxLine || lineEnd + 1 >= limit || data[lineEnd] != '\r' ||
        data[lineEnd + 1] != '\n')
      break;
    start = lineEnd + 2;
    run = {start, run.lines + 1};
  }
  return run;
}

}  // namespace quillon::text_line_run

QUILLON_TARGET_END

#endif
