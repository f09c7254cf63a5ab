#include "scan/find/line_runs.h"

#include <algorithm>
#include <cstring>

#include "scan/find/base64_run.h"
#include "scan/find/simd_target.h"
#include "scan/find/text_bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

constexpr bool IsTextLineByte(std::uint8_t c) {
  return (c >= 0x20 && c != 0x7F) || c == '\t';
}

#if defined(__SSE2__)
std::size_t FirstBit(int bits) {
  return static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
}
#endif

// The first index in [from, to) whose byte is no base64 character; `to` when there is none.
std::size_t FirstNonBase64(const std::uint8_t* data, std::size_t from, std::size_t to) {
  return FindNonBase64(data, from, to);
}

// The first index in [from, to) whose byte no line of text holds; `to` when there is none.
std::size_t FirstNonText(const std::uint8_t* data, std::size_t from, std::size_t to) {
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i control = _mm_set1_epi8(0x1F);
  for (; i + 16 <= to; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(bytes, control), bytes);
    const __m128i stops =
        _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')), below),
                     _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
    const int hits = _mm_movemask_epi8(stops);
    if (hits != 0) return i + FirstBit(hits);
  }
#endif
  for (; i < to; ++i)
    if (!IsTextLineByte(data[i])) return i;
  return to;
}

// Hands back the lines that start within `clearAhead` bytes of the run's end.
LineRun KeepClearOfTheEnd(const std::uint8_t* data, std::size_t begin, LineRun run,
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

// `notFirst` holds a few bytes: a call into the library's search for each line cost more than
// looking at them.
bool Barred(std::string_view notFirst, std::uint8_t first) {
  for (const char c : notFirst)
    if (static_cast<std::uint8_t>(c) == first) return true;
  return false;
}

template <typename FirstOther>
LineRun TakeRun(const std::uint8_t* data, std::size_t limit, std::size_t begin, std::size_t maxLine,
                std::size_t clearAhead, std::string_view notFirst, FirstOther firstOther) {
  LineRun run{begin, 0};
  std::size_t start = begin;
  while (start < limit && !Barred(notFirst, data[start])) {
    const std::size_t lineEnd = firstOther(data, start, limit);
    const std::size_t length = lineEnd - start;
    if (length == 0 || length >= maxLine || lineEnd + 1 >= limit || data[lineEnd] != '\r' ||
        data[lineEnd + 1] != '\n')
      break;
    start = lineEnd + 2;
    run = {start, run.lines + 1};
  }
  return KeepClearOfTheEnd(data, begin, run, clearAhead);
}

template <typename IsLineByte>
LineRun TakeRunPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                     std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst,
                     IsLineByte isLineByte) {
  // Every line of the longest run, then only those with `clearAhead` bytes of the run behind
  // their start.
  std::size_t runEnd = begin;
  std::size_t starts = 0;
  for (std::size_t start = begin;;) {
    bool barred = false;
    for (const char c : notFirst)
      barred = barred || (start < limit && static_cast<std::uint8_t>(c) == data[start]);
    std::size_t i = start;
    while (i < limit && isLineByte(data[i])) ++i;
    if (barred || i == start || i - start >= maxLine || i + 1 >= limit || data[i] != '\r' ||
        data[i + 1] != '\n')
      break;
    ++starts;
    start = runEnd = i + 2;
  }
  LineRun taken{begin, 0};
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

// The widest steps for lines of text this processor has.
TextLineSteps WidestTextLineSteps() {
#ifdef QUILLON_X86_VECTORS
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
    return TextLineSteps::Avx512;
  if (WidestTextSteps() >= TextSteps::Avx2) return TextLineSteps::Avx2;
#endif
  return TextLineSteps::Bytes;
}

}  // namespace

LineRun TakeBase64Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::size_t clearAhead) {
  // Whole steps of lines first; the lines behind them one at a time.
  const Base64Lines steps = TakeBase64LinesInSteps(data, limit, begin, maxLine);
  const LineRun rest = TakeRun(data, limit, steps.end, maxLine, 0, {}, FirstNonBase64);
  return KeepClearOfTheEnd(data, begin, {rest.end, steps.lines + rest.lines}, clearAhead);
}

LineRun TakeBase64LinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                             std::size_t maxLine, std::size_t clearAhead) {
  return TakeRunPlain(data, limit, begin, maxLine, clearAhead, {}, IsBase64Byte);
}

LineRun TakeTextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst) {
  return TakeTextLinesInSteps(data, limit, begin, maxLine, clearAhead, notFirst,
                              TextLineSteps::Avx512);
}

LineRun TakeTextLinesInSteps(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                             std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst,
                             TextLineSteps widest) {
  static const TextLineSteps here = WidestTextLineSteps();
  const TextLineSteps steps = std::min(widest, here);
  if (steps == TextLineSteps::Bytes)
    return TakeRun(data, limit, begin, maxLine, clearAhead, notFirst, FirstNonText);
#ifdef QUILLON_X86_VECTORS
  const LineRun run = steps == TextLineSteps::Avx512
                          ? line_run_steps::Avx512TextLines(data, limit, begin, maxLine, notFirst)
                          : line_run_steps::Avx2TextLines(data, limit, begin, maxLine, notFirst);
  return clearAhead == 0 ? run : KeepClearOfTheEnd(data, begin, run, clearAhead);
#else
  return TakeRun(data, limit, begin, maxLine, clearAhead, notFirst, FirstNonText);
#endif
}

LineRun TakeTextLinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                           std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst) {
  return TakeRunPlain(data, limit, begin, maxLine, clearAhead, notFirst, IsTextLineByte);
}

}  // namespace quillon
