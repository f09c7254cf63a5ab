#include "scan/find/base64_lines.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

constexpr bool IsBase64Character(std::uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

#if defined(__SSE2__)
// 0xFF in each byte of `bytes` within [low, high]; signed comparisons put bytes from 0x80 below
// every ASCII bound.
__m128i InRange(__m128i bytes, char low, char high) {
  return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
}
#endif

// The first index in [from, to) whose byte is no base64 character; `to` when there is none.
std::size_t FirstNonBase64(const std::uint8_t* data, std::size_t from, std::size_t to) {
  std::size_t i = from;
#if defined(__SSE2__)
  for (; i + 16 <= to; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i letters = _mm_or_si128(InRange(bytes, 'A', 'Z'), InRange(bytes, 'a', 'z'));
    const __m128i others = _mm_or_si128(
        _mm_or_si128(InRange(bytes, '0', '9'), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('+'))),
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')));
    const int outside = ~_mm_movemask_epi8(_mm_or_si128(letters, others)) & 0xFFFF;
    if (outside != 0) return i + static_cast<std::size_t>(__builtin_ctz(outside));
  }
#endif
  for (; i < to; ++i)
    if (!IsBase64Character(data[i])) return i;
  return to;
}

// Hands back the lines that start within `clearAhead` bytes of the run's end.
Base64Lines KeepClearOfTheEnd(const std::uint8_t* data, std::size_t begin, Base64Lines run,
                              std::size_t clearAhead) {
  if (clearAhead == 0) return run;
  if (run.lines == 0 || run.end - begin < clearAhead) return {begin, 0};
  const std::size_t last = run.end - clearAhead;  // lines starting behind this go back
  // The first line start behind `last` follows the first line feed at or behind it.
  const void* lineFeed = std::memchr(data + last, '\n', run.end - last);
  const std::size_t end =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - data) + 1;
  std::size_t dropped = 0;
  for (std::size_t i = end; i < run.end; ++i) dropped += data[i] == '\n';
  return {end, run.lines - dropped};
}

}  // namespace

Base64Lines TakeBase64Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                            std::size_t maxLine, std::size_t clearAhead) {
  Base64Lines run{begin, 0};
  std::size_t start = begin;
  while (start < limit) {
    const std::size_t lineEnd = FirstNonBase64(data, start, limit);
    const std::size_t length = lineEnd - start;
    if (length == 0 || length >= maxLine || lineEnd + 1 >= limit || data[lineEnd] != '\r' ||
        data[lineEnd + 1] != '\n')
      break;
    start = lineEnd + 2;
    run = {start, run.lines + 1};
  }
  return KeepClearOfTheEnd(data, begin, run, clearAhead);
}

Base64Lines TakeBase64LinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                                 std::size_t maxLine, std::size_t clearAhead) {
  // Every line of the longest run, then only those with `clearAhead` bytes of the run behind
  // their start.
  std::size_t runEnd = begin;
  std::size_t starts = 0;
  for (std::size_t start = begin;;) {
    std::size_t i = start;
    while (i < limit && IsBase64Character(data[i])) ++i;
    if (i == start || i - start >= maxLine || i + 1 >= limit || data[i] != '\r' ||
        data[i + 1] != '\n')
      break;
    ++starts;
    start = runEnd = i + 2;
  }
  Base64Lines taken{begin, 0};
  for (std::size_t start = begin; starts > 0; --starts) {
    std::size_t next = start;
    while (data[next] != '\n') ++next;
    ++next;
    if (start + clearAhead > runEnd) break;
    taken = {next, taken.lines + 1};
    start = next;
  }
  return taken;
}

}  // namespace quillon
