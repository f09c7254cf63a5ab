#include "scan/merge/mail_print_header.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

constexpr std::size_t kBlock = 64;

bool IsFromLine(const std::uint8_t* line) {
  return (line[0] | 0x20) == 'f' && (line[1] | 0x20) == 'r' && (line[2] | 0x20) == 'o' &&
         (line[3] | 0x20) == 'm' && line[4] == ':';
}

// One bit per byte of the 64 at `block` that equals `value`.
std::uint64_t BitsOf(const std::uint8_t* block, std::uint8_t value) {
  std::uint64_t bits = 0;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  for (std::size_t part = 0; part < kBlock; part += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + part));
    const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    bits |= std::uint64_t{mask} << part;
  }
#else
  for (std::size_t i = 0; i < kBlock; ++i) bits |= std::uint64_t{block[i] == value} << i;
#endif
  return bits;
}

}  // namespace

HeaderLines FindHeaderLines(const std::uint8_t* data, std::size_t size) {
  HeaderLines found;
  bool fromLooked = false;  // the first line that begins with "From:" was met
  std::size_t from = 0;
  // The line feeds and CRs of the block before, for the lines that begin in one and end in the
  // next; the text's first byte begins a line as if behind a line feed.
  std::uint64_t lineFeedsBefore = 0;
  std::uint64_t crsBefore = 0;
  bool first = true;
  for (std::size_t at = 0; at < size; at += kBlock) {
    const std::uint8_t* block = data + at;
    std::uint8_t padded[kBlock] = {};  // the last bytes, with zeros that are neither
    if (size - at < kBlock) {
      std::memcpy(padded, block, size - at);
      block = padded;
    }
    const std::uint64_t lineFeeds = BitsOf(block, '\n');
    const std::uint64_t crs = BitsOf(block, '\r');
    const std::uint64_t lineFeedBefore = lineFeeds << 1 | lineFeedsBefore >> 63;
    const std::uint64_t crBefore = crs << 1 | crsBefore >> 63;
    const std::uint64_t lineFeedTwoBefore = lineFeeds << 2 | lineFeedsBefore >> 62;
    // The line feed of an empty line: nothing, or a CR alone, since the line feed before; or two
    // CRs where the line before ends in two CRs too (a text whose every line ends so, as some
    // exports write it; a line of two CRs among CR LF lines is a stray one). The text's first
    // line has none before it and ends no header block however short.
    const std::uint64_t crTwoBefore = crs << 2 | crsBefore >> 62;
    const std::uint64_t lineFeedThreeBefore = lineFeeds << 3 | lineFeedsBefore >> 61;
    const std::uint64_t crFourBefore = crs << 4 | crsBefore >> 60;
    const std::uint64_t crFiveBefore = crs << 5 | crsBefore >> 59;
    const std::uint64_t doubledEmptyLine =
        crBefore & crTwoBefore & lineFeedThreeBefore & crFourBefore & crFiveBefore;
    const std::uint64_t emptyLineEnds =
        lineFeeds & (lineFeedBefore | (crBefore & lineFeedTwoBefore) | doubledEmptyLine);
    std::uint64_t lineStarts = lineFeedBefore | std::uint64_t{first};
    first = false;
    if (emptyLineEnds != 0) {
      const unsigned endBit = static_cast<unsigned>(__builtin_ctzll(emptyLineEnds));
      found.end = at + endBit + 1;
      lineStarts &= endBit == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << endBit) - 1;
    }
    for (; !fromLooked && lineStarts != 0; lineStarts &= lineStarts - 1) {
      const std::size_t line = at + static_cast<std::size_t>(__builtin_ctzll(lineStarts));
      if (line + 5 > size) break;
      if (IsFromLine(data + line)) {
        fromLooked = true;
        from = line;
      }
    }
    if (found.end != 0) break;
    lineFeedsBefore = lineFeeds;
    crsBefore = crs;
  }
  // A From line whose five bytes run past the block's end is none; the lines behind it start
  // later still.
  if (found.end != 0 && fromLooked && from + 5 <= found.end) found.fromLine = from;
  return found;
}

HeaderLines FindHeaderLinesPlain(const std::uint8_t* data, std::size_t size) {
  HeaderLines found;
  for (std::size_t line = 0; line < size;) {
    const auto* lineFeed =
        static_cast<const std::uint8_t*>(std::memchr(data + line, '\n', size - line));
    if (!lineFeed) break;
    const std::size_t end = static_cast<std::size_t>(lineFeed - data);
    const bool doubledEmptyLine = end == line + 2 && data[line] == '\r' && data[line + 1] == '\r' &&
                                  line >= 3 && data[line - 2] == '\r' && data[line - 3] == '\r';
    if (line > 0 && (end == line || (end == line + 1 && data[line] == '\r') || doubledEmptyLine)) {
      found.end = end + 1;
      break;
    }
    line = end + 1;
  }
  if (found.end == 0) return found;
  for (std::size_t line = 0; line + 5 <= found.end;) {
    if (IsFromLine(data + line)) {
      found.fromLine = line;
      break;
    }
    const void* lineFeed = std::memchr(data + line, '\n', found.end - line);
    if (!lineFeed) break;
    line = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - data) + 1;
  }
  return found;
}

}  // namespace quillon
