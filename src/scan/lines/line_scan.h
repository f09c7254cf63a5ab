// Quick looks along a line of source bytes, eight bytes at a time: mail bodies are read line by
// line, and most of their bytes are plain text that needs no closer look.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

// Bytes that occur in mail text; ESC, SO and SI belong to the ISO-2022 charsets. Inline: the
// shape scan asks it of the byte in front of every line it looks at.
inline bool IsTextByte(std::uint8_t c) {
  constexpr std::uint32_t kControlsInText = (1u << '\t') | (1u << '\n') | (1u << '\f') |
                                            (1u << '\r') | (1u << 0x0E) | (1u << 0x0F) |
                                            (1u << 0x1B);
  if (c >= 0x20) return c != 0x7F;
  return ((kControlsInText >> c) & 1u) != 0;
}

namespace line_scan {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

inline std::uint64_t Load8(const std::uint8_t* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Nonzero when one of the word's bytes is zero.
constexpr std::uint64_t HasZeroByte(std::uint64_t word) {
  return (word - kOnes) & ~word & kHighBits;
}

// Nonzero when one of the word's bytes is below `limit` (at most 128).
constexpr std::uint64_t HasByteBelow(std::uint64_t word, std::uint8_t limit) {
  return (word - kOnes * limit) & ~word & kHighBits;
}

}  // namespace line_scan

// The first index in [0, length) whose byte is CR, LF or NUL; `length` when there is none.
inline std::size_t FindLineEndOrNul(const std::uint8_t* data, std::size_t length) {
  using namespace line_scan;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time where every x86-64 processor can: a body line is read once per line.
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= length; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn), _mm_cmpeq_epi8(bytes, lineFeed)),
        _mm_cmpeq_epi8(bytes, zero));
    const int bits = _mm_movemask_epi8(hits);
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
  }
#endif
  for (; i + 8 <= length; i += 8) {
    const std::uint64_t word = Load8(data + i);
    if ((HasZeroByte(word) | HasZeroByte(word ^ (kOnes * '\r')) |
         HasZeroByte(word ^ (kOnes * '\n'))) != 0)
      break;
  }
  for (; i < length; ++i) {
    if (data[i] == '\r' || data[i] == '\n' || data[i] == '\0') return i;
  }
  return length;
}

// The first index in [0, length) whose byte is below `limit` (at least 1); `length` when there is
// none. The walk copies every value it reads up to its first control byte.
inline std::size_t FindByteBelow(const std::uint8_t* data, std::size_t length, std::uint8_t limit) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i highest = _mm_set1_epi8(static_cast<char>(limit - 1));
  for (; i + 16 <= length; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(bytes, highest), bytes);
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(below));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
#endif
  for (; i < length; ++i) {
    if (data[i] < limit) return i;
  }
  return length;
}

// Whether [0, length) holds a byte below 0x20 or 0x7F: only those can be other than text.
inline bool MayHoldNonText(const std::uint8_t* data, std::size_t length) {
  using namespace line_scan;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const std::uint64_t word = Load8(data + i);
    if ((HasByteBelow(word, 0x20) | HasZeroByte(word ^ (kOnes * 0x7F))) != 0) return true;
  }
  for (; i < length; ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return true;
  }
  return false;
}

// How many bytes at the start of [0, length) may stand in a field name (RFC 5322 3.6.8: 33 to
// 126, no colon). The shape scan asks at nearly every line, most of which begin with a word.
inline std::size_t NameBytesAtStart(const std::uint8_t* data, std::size_t length) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i firstNameByte = _mm_set1_epi8(33);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i colon = _mm_set1_epi8(':');
  for (; i + 16 <= length; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    // Signed: the bytes from 0x80 on read as below 33 too.
    const __m128i others =
        _mm_or_si128(_mm_cmpgt_epi8(firstNameByte, bytes),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, del), _mm_cmpeq_epi8(bytes, colon)));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(others));
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
#endif
  for (; i < length; ++i) {
    if (data[i] < 33 || data[i] > 126 || data[i] == ':') return i;
  }
  return length;
}

// The first `byte` in `text` from `from` on; npos when there is none. The shape scan looks for
// the colons of nearly every header line it passes, a few at a time: on lines that short a
// library search costs more in its call than in the bytes.
inline std::size_t FindByteInLine(std::string_view text, char byte, std::size_t from = 0) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t length = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  if (length >= 16) {
    const __m128i wanted = _mm_set1_epi8(byte);
    const auto hits = [&](std::size_t at) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    };
    for (; i + 16 <= length; i += 16) {
      if (const unsigned bits = hits(i); bits != 0)
        return i + static_cast<std::size_t>(__builtin_ctz(bits));
    }
    if (i >= length) return std::string_view::npos;
    // The last sixteen bytes, less those in front of `i`.
    const std::size_t last = length - 16;
    const unsigned bits = hits(last) >> (i - last) << (i - last);
    return bits != 0 ? last + static_cast<std::size_t>(__builtin_ctz(bits))
                     : std::string_view::npos;
  }
#endif
  for (; i < length; ++i) {
    if (text[i] == byte) return i;
  }
  return std::string_view::npos;
}

// Calls `visit(at)` for each capital letter ('A' to 'Z') at an index `at` in [from, to) of `text`,
// in order, until it returns true; whether one did. `to` is at most text.size(). The shape scan
// looks for the capitals inside the name of nearly every field line, where a name no list knows
// may hide one glued to it ("X-MS-ExchTo"): most names hold one or two, at their words' starts.
template <typename Visit>
bool AnyCapitalWhere(std::string_view text, std::size_t from, std::size_t to, Visit visit) {
#if defined(__SSE2__)
  if (text.size() >= 16) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    // Signed: the bytes from 0x80 on are below 'A'.
    const __m128i beforeA = _mm_set1_epi8('A' - 1);
    const __m128i behindZ = _mm_set1_epi8('Z' + 1);
    for (std::size_t chunk = from; chunk < to; chunk += 16) {
      // The last sixteen bytes of the text where fewer lie behind `chunk`.
      const std::size_t load = std::min(chunk, text.size() - 16);
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + load));
      auto capitals = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeA), _mm_cmpgt_epi8(behindZ, bytes))));
      capitals >>= chunk - load;
      if (to - chunk < 16) capitals &= (1u << (to - chunk)) - 1;
      for (; capitals != 0; capitals &= capitals - 1) {
        if (visit(chunk + static_cast<std::size_t>(__builtin_ctz(capitals)))) return true;
      }
    }
    return false;
  }
#endif
  for (std::size_t at = from; at < to; ++at) {
    if (text[at] >= 'A' && text[at] <= 'Z' && visit(at)) return true;
  }
  return false;
}

// Where the first line feed in [0, length) lies (`length` when there is none), and whether a
// byte in front of it is no text byte (IsTextByte): the line reader's one pass over a line. A
// search for the line's end and a second look at its bytes cost more in calls than in bytes on
// the short lines of a header block.
struct LineFeedScan {
  std::size_t lineFeed = 0;
  bool nonText = false;
};
inline LineFeedScan FindLineFeedJudgingText(const std::uint8_t* data, std::size_t length) {
  LineFeedScan scan;
  std::size_t i = 0;
#if defined(__SSE2__)
  // The line feed is a control byte too: one mask of controls and DEL a step holds it, the CR in
  // front of it and a tab now and then, each looked at alone.
  const __m128i lastControl = _mm_set1_epi8(0x1F);
  const __m128i del = _mm_set1_epi8(0x7F);
  for (; i + 16 <= length; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    for (auto suspects = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
             _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes), _mm_cmpeq_epi8(bytes, del))));
         suspects != 0; suspects &= suspects - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(suspects));
      if (data[at] == '\n') {
        scan.lineFeed = at;
        return scan;
      }
      scan.nonText = scan.nonText || !IsTextByte(data[at]);
    }
  }
#endif
  for (; i < length; ++i) {
    if (data[i] == '\n') break;
    scan.nonText = scan.nonText || !IsTextByte(data[i]);
  }
  scan.lineFeed = i;
  return scan;
}

// Whether [0, length) holds a byte that is no text byte (IsTextByte). Sixteen bytes a step pick
// out the controls and DEL; only those are looked at one by one (a tab is text).
inline bool HoldsNonTextByte(const std::uint8_t* data, std::size_t length) {
  std::size_t i = 0;
#if defined(__SSE2__)
  if (length >= 16) {
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    const __m128i del = _mm_set1_epi8(0x7F);
    const auto suspects = [&](std::size_t at) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes);
      return static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, del))));
    };
    const auto anyNonText = [&](std::size_t at, unsigned bits) {
      for (; bits != 0; bits &= bits - 1) {
        if (!IsTextByte(data[at + static_cast<std::size_t>(__builtin_ctz(bits))])) return true;
      }
      return false;
    };
    for (; i + 16 <= length; i += 16) {
      if (anyNonText(i, suspects(i))) return true;
    }
    if (i == length) return false;
    // The last sixteen bytes, less those the steps above have looked at.
    const std::size_t last = length - 16;
    return anyNonText(last, suspects(last) >> (i - last) << (i - last));
  }
#endif
  for (; i < length; ++i) {
    if (!IsTextByte(data[i])) return true;
  }
  return false;
}

}  // namespace quillon
