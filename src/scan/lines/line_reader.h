// Lines of raw mail text as the scanners read them: where a line ends, whether it holds bytes
// that are no text, whether it is a header line, a fold of one, or a mailbox separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "scan/find/line_start.h"
#include "scan/lines/line_scan.h"
#include "scan/source_bytes.h"

namespace quillon {

// RFC 5322 allows 998 bytes a line; carved mail is not always that tidy.
inline constexpr std::size_t kMaxHeaderLine = 8192;

struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;    // behind the content, before CR LF or LF
  std::size_t next = 0;   // behind the line end
  bool complete = false;  // a line end was found within kMaxHeaderLine bytes
  bool lineFeedOnly = false;
  // Holds a byte that is no text byte; by the header rules, a field line ("Name:") holding no
  // more than a stray one or two (see HoldsStrayBytesOnly) is read as text.
  bool binary = false;
};

// How far a line is read and what is told about it.
struct LineRules {
  std::size_t maxLength = kMaxHeaderLine;  // a longer line reads as incomplete
  bool judgeBytes = true;                  // tell whether a complete line is binary
  // A field line with stray bytes is text: mail programs and archives leave a control byte in
  // a value now and then, and a header block read on such a line keeps its mail whole.
  bool fieldsTakeStrayBytes = true;
};
inline constexpr LineRules kHeaderLineRules{};
// The lines of a mail read back, which may be as long as they like; the body's rules weigh
// stray bytes themselves.
inline constexpr LineRules kBodyLineRules{static_cast<std::size_t>(-1), true, false};
// Where lines end, and nothing else: searches that look only at how lines begin.
inline constexpr LineRules kLineEndRules{static_cast<std::size_t>(-1), false, false};

// The line that begins at buffer index `begin`. Inline (below): every reader of lines asks at
// every line, and the rules are most often known where it is asked.
inline Line ReadLine(CarveBuffer buffer, std::size_t begin,
                     const LineRules& rules = kHeaderLineRules);
// Inline, as IsContinuation: the header readers ask at every line they read.
// Whether a CR LF stands at buffer index `position`.
inline bool IsCrLfAt(CarveBuffer buffer, std::size_t position) {
  return position + 1 < buffer.size && buffer.data[position] == '\r' &&
         buffer.data[position + 1] == '\n';
}
// Whether CR CR LF stands at buffer index `position`: the line end of an export that wrote CR LF
// through a layer that turns LF into CR LF. Only the default mode reads it as a line end.
inline bool IsCrCrLfAt(CarveBuffer buffer, std::size_t position) {
  return position + 2 < buffer.size && buffer.data[position] == '\r' &&
         buffer.data[position + 1] == '\r' && buffer.data[position + 2] == '\n';
}

inline std::string_view TextOf(CarveBuffer buffer, const Line& line) {
  return {reinterpret_cast<const char*>(buffer.data + line.begin), line.end - line.begin};
}
// Bytes of a text in memory as the line reader reads them.
CarveBuffer BufferOf(std::string_view text);
// Whether `text` holds a byte that is no text byte.
bool HoldsNonText(std::string_view text);

// Whether the non-text bytes of `text` are no more than a stray control byte or two: NULs
// count as where text stops (two, or one with nothing behind it, are more than stray).
bool HoldsStrayBytesOnly(std::string_view text);

// Whether the line that ends at buffer index `end` (behind its content) is a field line
// ("Name:") whose bytes that are no text are a stray one or two (HoldsStrayBytesOnly): a header
// line all the same, for a reader that looks back byte by byte. False where no line break in
// front of it lies within the buffer and kMaxHeaderLine bytes.
bool IsFieldLineWithStrayBytes(CarveBuffer buffer, std::size_t end);
// The greatest index in [floor, end) where a look back for the start of the line that ends at
// `end` stops (LastLineStop), where that line is a field line with stray bytes
// (IsFieldLineWithStrayBytes) its line feed, unless the byte lies right before a sector start;
// kNoLineStop when there is none.
// Inline: the walk up a header block asks at every line it passes, and nearly every look stops
// at a line feed.
inline std::size_t LineStopOverStrayBytes(CarveBuffer buffer, std::size_t floor, std::size_t end);

// Whether the NUL at `at` in `text` is a stray byte inside a line of text rather than where the
// text stops: one to three NULs with text in front of them on their line, the line going on
// behind them with text up to its line break, and at most two other bytes in it that are no
// text. A file's end, zeroed slack and a sector that could not be read are NULs by the hundred,
// at a line's start or with nothing behind them; binary data holds its NULs among control bytes.
bool IsStrayNul(std::string_view text, std::size_t at);
// The first NUL in `text` from `from` on that is no stray one: where the text stops (npos when
// none does).
std::size_t TextEndingNul(std::string_view text, std::size_t from = 0);

// True when the bytes from `at` on read as UTF-16LE text in the Latin range: a character and a
// NUL, again and again. A stray NUL in a mail's line is followed by text without them, random
// bytes seldom hold a NUL at every other place.
bool Utf16TextAt(std::string_view text, std::size_t at);

// Printable characters a header line must hold in front of bytes no text holds for it to be
// cut where its text stops (TextStopInHeaderLine): random bytes seldom begin with so many.
inline constexpr std::size_t kLeastTextIntoData = 8;

// Where the text of `line`, a header line with no end or with bytes that are no text (its line
// break with it where it has one, so that a stray NUL is told by the text behind it), stops for
// good: at a NUL that is no stray one, the text in front of it holding no other byte that is no
// text (8-bit bytes are text); or, where bytes no text holds come first, behind a run of at
// least kLeastTextIntoData printable characters up to them, as a body's last line that runs into
// old data is cut. The last line of a header block whose file ended inside it: zeros, the
// source's end or old bytes behind it. npos where the line reads on as it is (a line of text
// too long for one, binary data).
std::size_t TextStopInHeaderLine(std::string_view line);

// Where the header line `line` read from `buffer` (ReadLine), one with no end or with bytes that
// are no text, ends because its text stops for good (TextStopInHeaderLine): a field line or a
// fold, into zeros that run to a sector's end or the end of the bytes, as a file's end is padded,
// or into old bytes that no header line follows (old text in UTF-16 among them, cut at its first
// NUL). The buffer index of the stop; npos where the line reads on as it is.
std::size_t HeaderLineCutEnd(CarveBuffer buffer, const Line& line);

// Where the text of a header block with no empty line stops inside one of its lines, the first
// with no end or with bytes that are no text, as HeaderLineCutEnd cuts it; `text.size()` where
// that line is not cut (a field line with a stray byte or two is text).
std::size_t HeaderBlockTextStop(std::string_view text);

// Length of the field name when the line reads "Name:" (a letter first, then bytes from 33 to
// 126 or 8-bit ones, up to 76 in all); 0 when it is not a header line.
std::size_t HeaderNameLengthFromLetter(std::string_view line);
// Most lines asked about begin with no letter; they are answered without a call.
inline std::size_t HeaderNameLength(std::string_view line) {
  if (line.empty()) return 0;
  const auto first = static_cast<unsigned char>(line[0] | 0x20);
  if (first < 'a' || first > 'z') return 0;
  return HeaderNameLengthFromLetter(line);
}
// The field name of a line that reads as "Name:" by looser rules than HeaderNameLength's, as
// servers, gateways and mail programs in other languages write names: one that begins with an
// 8-bit byte ("\xC3\x84nderung:"), or one with blanks or tabs in front of its colon
// ("X-Mailer :"). A name's 8-bit bytes are a few among letters, or UTF-8 throughout: binary
// bytes that run into a colon are none. Only the shape scan reads such lines as fields: the
// walk's rules stay as they are. `colon` is the colon's index; the length is the name's, its
// blanks left out.
struct LooseFieldName {
  std::size_t length = 0;  // 0 when the line reads as no field
  std::size_t colon = 0;
};
LooseFieldName LooseHeaderName(std::string_view line);
inline bool IsContinuation(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}
// How much a line must show to count as an mbox separator: "From " followed by the sender and a
// date, or (where a mail is already known to end there) "From " alone.
enum class MboxSeparatorRule { WithDate, Prefix };
bool IsMboxSeparator(std::string_view line, MboxSeparatorRule rule = MboxSeparatorRule::WithDate);

// Whether `line` is a boundary line of `boundary` (RFC 2046 5.1.1): "--" and the boundary,
// compared without regard to case, and "--" behind it on the closing line. With `exact` nothing
// but white space may follow; otherwise a line that begins so counts (as where the walk and the
// re-reader end a header block).
enum class BoundaryLine { None, Part, Closing };
BoundaryLine BoundaryLineOf(std::string_view line, std::string_view boundary, bool exact);

// Where the line break in front of index `at` (behind a line feed) begins: at its line feed, or
// at the CRs in front of it.
inline std::size_t LineBreakStart(std::string_view text, std::size_t at) {
  std::size_t start = at - 1;
  while (start > 0 && text[start - 1] == '\r') --start;
  return start;
}

// The first empty line in `text` from `from` on that stands behind a line feed: a line feed
// alone, CR LF, or CRs and a line feed (an export that ended its lines in CR CR LF). `lineFeed`
// is the index of the line feed in front of it, `behind` the index behind it; both npos when
// there is none.
struct EmptyLineFound {
  std::size_t lineFeed = std::string_view::npos;
  std::size_t behind = std::string_view::npos;
  bool Found() const { return lineFeed != std::string_view::npos; }
  bool EndsInLineFeedOnly() const { return behind - lineFeed == 2; }
};
EmptyLineFound FindEmptyLine(std::string_view text, std::size_t from = 0);

// A multipart's closing boundary line (RFC 2046 5.1.1: "--", the boundary, "--") in `text` from
// `from` on, behind a line feed: the index of that line feed and of the byte behind the line's
// closing "--".
struct ClosingBoundaryLine {
  bool found = false;
  std::size_t lineFeed = 0;
  std::size_t behind = 0;
};
ClosingBoundaryLine FindClosingBoundaryLine(std::string_view text, std::string_view boundary,
                                            std::size_t from = 0);
// The line feed in front of the boundary line of `boundary` (a part's, or the closing one again)
// that follows the closing line ending at index `behind` of `text`, with nothing but a few empty
// lines between; npos when another line, or none, follows.
std::size_t BoundaryLineBehindClosing(std::string_view text, std::string_view boundary,
                                      std::size_t behind);
// True when the text in front of index `at` ends with a closing line of `boundary` and its line
// break, and the boundary goes on behind it (BoundaryLineBehindClosing): a nested multipart that
// reused the boundary ended there, not the mail.
bool ClosesANestedMultipart(std::string_view text, std::size_t at, std::string_view boundary);
// The closing line that ends the multipart as a whole: a sender who gave a nested multipart the
// boundary of the one around it closes the nested one with the same line, and the text goes on
// behind it with the next part's boundary line, or the closing line again. A closing line that
// only empty lines part from such a line is passed over: what it closed was not the outermost.
ClosingBoundaryLine FindOutermostClosingLine(std::string_view text, std::string_view boundary,
                                             std::size_t from = 0);

// Whether a complete line with a byte that is no text stays binary by the header rules: it does
// unless it is a field line with a stray byte or two (HoldsStrayBytesOnly).
bool StaysBinaryAsAFieldLine(std::string_view text);

// LineStopOverStrayBytes where the look stopped at `stop`, a byte that is no text.
std::size_t LineStopOverStrayByte(CarveBuffer buffer, std::size_t floor, std::size_t end,
                                  std::size_t stop);

inline std::size_t LineStopOverStrayBytes(CarveBuffer buffer, std::size_t floor, std::size_t end) {
  const std::size_t stop = LastLineStop(buffer.data, floor, end);
  if (stop == kNoLineStop || buffer.data[stop] == '\n') return stop;
  return LineStopOverStrayByte(buffer, floor, end, stop);
}

// `begin` where the line [begin, end) holds nothing but CRs, `end` otherwise.
inline std::size_t EndOfCarriageReturns(CarveBuffer buffer, std::size_t begin, std::size_t end) {
  std::size_t first = end;
  while (first > begin && buffer.data[first - 1] == '\r') --first;
  return first == begin ? begin : end;
}

inline Line ReadLine(CarveBuffer buffer, std::size_t begin, const LineRules& rules) {
  Line line;
  line.begin = begin;
  const std::size_t limit = begin < buffer.size && rules.maxLength < buffer.size - begin
                                ? begin + rules.maxLength
                                : buffer.size;
  std::size_t at = limit;
  bool nonText = false;
  if (begin < limit && rules.judgeBytes) {
    // One pass finds the line's end and tells its bytes; the CR in front of a line feed is text.
    const LineFeedScan scan = FindLineFeedJudgingText(buffer.data + begin, limit - begin);
    at = begin + scan.lineFeed;
    nonText = scan.nonText;
  } else if (begin < limit) {
    const void* lf = std::memchr(buffer.data + begin, '\n', limit - begin);
    if (lf) at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - buffer.data);
  }
  if (at >= limit) {
    line.end = line.next = limit;
    return line;
  }
  line.complete = true;
  line.next = at + 1;
  line.end = at;
  line.lineFeedOnly = !(at > begin && buffer.data[at - 1] == '\r');
  if (!line.lineFeedOnly) {
    --line.end;
    // Some exports turned each LF into CR LF twice: their lines end in CR CR LF, and a line of
    // CRs alone is the empty line that ends a header block.
    if (line.end > begin && buffer.data[line.end - 1] == '\r')
      line.end = EndOfCarriageReturns(buffer, begin, line.end);
  }
  line.binary =
      nonText && (!rules.fieldsTakeStrayBytes || StaysBinaryAsAFieldLine(TextOf(buffer, line)));
  return line;
}

}  // namespace quillon
