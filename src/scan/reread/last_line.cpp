#include "scan/reread/last_line.h"

#include <algorithm>

#include "scan/lines/line_reader.h"
#include "scan/reread/own_header_values.h"
#include "source/data_source.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

std::size_t LastLineToFileEnd(std::string_view text, std::size_t at, std::uint64_t start) {
  // A line that begins a sector may be another file's, whose end stands there.
  if (at == 0 || at >= text.size() || text[at - 1] != '\n' || (start + at) % kSectorSize == 0)
    return 0;
  const std::size_t nul = text.find('\0', at);
  if (nul == std::string_view::npos || nul == at || (start + nul) % kSectorSize == 0) return 0;
  const std::string_view line = text.substr(at, nul - at);
  if (line.find('\n') != std::string_view::npos || HoldsNonText(line)) return 0;
  const std::uint64_t sectorEnd = ((start + nul) / kSectorSize + 1) * kSectorSize - start;
  const std::size_t padEnd =
      static_cast<std::size_t>(std::min<std::uint64_t>(sectorEnd, text.size()));
  const std::size_t data = text.find_first_not_of('\0', nul);
  return data == std::string_view::npos || data >= padEnd ? nul - at : 0;
}

bool TextLeftOpen(std::string_view text, std::string_view boundary) {
  const std::size_t body = FindEmptyLine(text).lineFeed;
  if (body == std::string_view::npos) return true;
  if (!boundary.empty()) return !FindClosingBoundaryLine(text, boundary, body).found;
  if (!DeclaresHtmlText(text.substr(0, body))) return false;
  for (std::size_t at = text.find('<', body); at != std::string_view::npos;
       at = text.find('<', at + 1))
    if (StartsWithNoCase(text.substr(at), "</html")) return false;
  return true;
}

std::size_t LastLineToClusterEnd(std::string_view text, std::size_t at, std::uint64_t start,
                                 std::string_view boundary) {
  if (at == 0 || at >= text.size() || text[at - 1] != '\n') return 0;
  if (!TextLeftOpen(text.substr(0, at), boundary)) return 0;
  const std::uint64_t clusterEnd = ((start + at) / kClusterBytes + 1) * kClusterBytes;
  const auto end =
      static_cast<std::size_t>(std::min<std::uint64_t>(clusterEnd - start, text.size()));
  // A line begins no cluster; one that ends beyond it is read whole by the other rules.
  if ((start + at) % kClusterBytes == 0 || end >= text.size()) return 0;
  const std::string_view line = text.substr(at, end - at);
  return line.find('\n') != std::string_view::npos || HoldsNonText(line) ? 0 : line.size();
}

namespace {

// Bytes behind a last line looked at for one no text holds.
constexpr std::size_t kDataLook = 64;

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsBase64Character(char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// The length of the line that ends in front of `end` (its line break passed over), when it holds
// base64 characters alone, no padding; 0 otherwise.
std::size_t Base64LineBefore(std::string_view text, std::size_t end) {
  if (end == 0 || text[end - 1] != '\n') return 0;
  std::size_t stop = end - 1;
  if (stop > 0 && text[stop - 1] == '\r') --stop;
  std::size_t begin = stop;
  while (begin > 0 && IsBase64Character(text[begin - 1])) --begin;
  return begin == 0 || text[begin - 1] == '\n' ? stop - begin : 0;
}

// Whether the line at `at` follows a closing ("Regards,", "Thanks,"): a short line that ends in
// a comma. A mail ends with the name behind it, which mail programs often write without a line
// break; a mail whose own last line is the closing is rare.
bool NameBehindAClosing(std::string_view text, std::size_t at) {
  constexpr std::size_t kLongestClosing = 40;
  if (at < 2 || !IsLetter(text[at])) return false;
  std::size_t stop = at - 1;
  if (text[stop - 1] == '\r') --stop;
  while (stop > 0 && (text[stop - 1] == ' ' || text[stop - 1] == '\t')) --stop;
  if (stop == 0 || text[stop - 1] != ',') return false;
  const std::size_t begin = text.rfind('\n', stop - 1);
  const std::size_t lineStart = begin == std::string_view::npos ? 0 : begin + 1;
  return stop - lineStart <= kLongestClosing && IsLetter(text[lineStart]);
}

// Whether `line` is an HTML element's end tag alone ("</html>", "</div>"): an HTML text written
// without a line break at its end ends so, and random bytes never begin with one.
bool IsEndTag(std::string_view line) {
  if (line.size() < 4 || !line.starts_with("</") || !IsLetter(line[2]) || line.back() != '>')
    return false;
  return std::all_of(line.begin() + 3, line.end() - 1,
                     [](char c) { return IsLetter(c) || (c >= '0' && c <= '9'); });
}

// Where a short last line that ends in a quoted-printable soft break ("=" not followed by two hex
// digits) ends within the printable run [at, end): behind its "=". Such a line is never a
// text's true end, so its file was cut right behind it; random bytes that follow may begin
// with a few printable characters of their own. 0 when the run holds no soft break behind a
// character of text.
std::size_t SoftBreakEnd(std::string_view text, std::size_t at, std::size_t end) {
  const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  // Random bytes hold a printable byte and "=" often enough: two characters of text in front.
  constexpr std::size_t kTextBeforeSoftBreak = 2;
  for (std::size_t equals = text.find('=', at + kTextBeforeSoftBreak); equals < end;
       equals = text.find('=', equals + 1)) {
    if (equals + 2 < end && isHex(text[equals + 1]) && isHex(text[equals + 2])) continue;
    return text[equals - 1] == ' ' || text[equals - 1] == '\t' ? 0 : equals + 1;
  }
  return 0;
}

// Where a short reply that is a body's only line ends within the printable run [at, end): "ok",
// "Yes.", "Thanks!" written without a line break, the header block's empty line right in front.
// Letters, then one mark that ends a sentence at most; random bytes behind it may begin with a
// few printable characters. One letter alone is as likely a random byte behind an empty body as
// a word: two at least, a vowel among them, as a word has (random bytes begin with two letters
// once in twenty-five, and with a vowel among them less than half as often). 0 when there is no
// such reply.
std::size_t ShortReplyEnd(std::string_view text, std::size_t at, std::size_t end) {
  constexpr std::size_t kShortestReply = 2;
  std::size_t stop = at;
  bool vowel = false;
  for (; stop < end && IsLetter(text[stop]); ++stop)
    vowel = vowel || std::string_view("aeiouyAEIOUY").find(text[stop]) != std::string_view::npos;
  if (stop - at < kShortestReply || !vowel || FindEmptyLine(text).behind != at) return 0;
  return stop < end && std::string_view(".!?").find(text[stop]) != std::string_view::npos ? stop + 1
                                                                                          : stop;
}

// Where a short closing sentence in a paragraph of its own ends within the printable run
// [at, end): "Done.", "Thanks!", "Bye." written without a line break under a plain text, an empty
// line right in front. A capital, small letters, then the mark that ends a sentence, which it
// must have: random bytes behind a mail's empty line begin so less than once in five thousand.
// 0 when there is no such sentence.
std::size_t ClosingSentenceEnd(std::string_view text, std::size_t at, std::size_t end) {
  const bool emptyLineInFront = (at >= 2 && text.substr(at - 2, 2) == "\n\n") ||
                                (at >= 4 && text.substr(at - 4, 4) == "\r\n\r\n");
  if (!emptyLineInFront || text[at] < 'A' || text[at] > 'Z') return 0;
  std::size_t stop = at + 1;
  while (stop < end && text[stop] >= 'a' && text[stop] <= 'z') ++stop;
  if (stop == at + 1 || stop >= end) return 0;
  return std::string_view(".!?").find(text[stop]) != std::string_view::npos ? stop + 1 : 0;
}

// Where a last word in small letters ends within the printable run [at, end): "test" or "thanks"
// written without a line break, as test mails and quick notes often end. Random bytes begin
// with four small letters and a vowel among them about once in fourteen thousand, five times
// less often than with the printable run the longer minimum asks for. 0 when there is no such word.
std::size_t SmallWordEnd(std::string_view text, std::size_t at, std::size_t end) {
  constexpr std::size_t kShortestWord = 4;
  std::size_t stop = at;
  bool vowel = false;
  for (; stop < end && text[stop] >= 'a' && text[stop] <= 'z'; ++stop)
    vowel = vowel || std::string_view("aeiouy").find(text[stop]) != std::string_view::npos;
  // A blank behind it: the line goes on in words, cut short where the random bytes begin.
  const bool blankBehind = stop < end && (text[stop] == ' ' || text[stop] == '\t');
  return stop - at >= kShortestWord && vowel && !blankBehind ? stop : 0;
}

// Where the run [at, end) closes an HTML document ("</html>" in any letter case) no more than a
// few characters before its end: behind that tag. A document's text ends there; random bytes
// behind it may begin with a few printable ones. 0 when the run holds no such close.
std::size_t DocumentCloseEnd(std::string_view text, std::size_t at, std::size_t end) {
  constexpr std::string_view kClose = "</html>";
  if (end - at < kClose.size()) return 0;
  const std::size_t from = std::max(at, end - std::min(end, kClose.size() + kLastLineIntoData));
  const std::size_t found = FindNoCase(text.substr(from, end - from), kClose);
  return found == std::string_view::npos ? 0 : from + found + kClose.size();
}

}  // namespace

std::size_t Base64TailIntoData(std::string_view text, std::size_t at) {
  // Shorter lines than this are no encoder's line length.
  constexpr std::size_t kShortestDataLine = 40;
  constexpr std::size_t kQuantum = 4;
  if (at == 0 || at >= text.size() || text[at - 1] != '\n') return 0;
  const std::size_t length = Base64LineBefore(text, at);
  if (length < kShortestDataLine || length % kQuantum != 0) return 0;
  const std::size_t above = at - length - (text[at - 2] == '\r' ? 2 : 1);
  if (Base64LineBefore(text, above) != length) return 0;
  std::size_t end = at;
  while (end < text.size() && end - at < length && IsBase64Character(text[end])) ++end;
  std::size_t padded = end;
  while (padded < text.size() && padded - end < 2 && text[padded] == '=') ++padded;
  // Random bytes behind a whole quantum may begin with base64 characters too.
  if (padded == end)
    end -= (end - at) % kQuantum;
  else if ((padded - at) % kQuantum != 0)
    return 0;
  else
    end = padded;
  if (end == at || end >= text.size()) return 0;
  const char behind = text[end];
  if (behind == '\n' || behind == '\r' || behind == '\0' || behind == '=') return 0;
  std::string_view data = text.substr(end, kDataLook);
  data = data.substr(0, data.find('\n'));
  return HoldsNonText(data) ? end - at : 0;
}

std::size_t OldBytesBehindLastLine(std::string_view text, std::size_t at) {
  if (at >= text.size() || !NameBehindAClosing(text, at)) return at;
  std::size_t end = text.find('\n', at);
  if (end == std::string_view::npos) return at;
  while (end > at && text[end - 1] == '\r') --end;
  return end;
}

std::size_t PrintableRunEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && ((text[at] >= 0x20 && text[at] < 0x7F) || text[at] == '\t')) ++at;
  return at;
}

std::size_t LastLineIntoData(std::string_view text, std::size_t at) {
  if (at == 0 || at >= text.size() || text[at - 1] != '\n') return 0;
  const std::size_t end = PrintableRunEnd(text, at);
  // A CR that no LF follows ends no line: random bytes hold one as often as any other byte.
  if (end == at || end >= text.size() || text[end] == '\n') return 0;
  const std::size_t documentEnd = DocumentCloseEnd(text, at, end);
  std::size_t lineEnd = documentEnd > 0 ? documentEnd : end;
  if (documentEnd == 0 && end - at < kLastLineIntoData && !NameBehindAClosing(text, at) &&
      !IsEndTag(text.substr(at, end - at))) {
    // Only a text written quoted-printable ends a line so; old bytes hold "=" as any other byte.
    lineEnd = SoftBreakEnd(text, at, end);
    if (lineEnd != 0 &&
        FindNoCase(text.substr(0, at), "quoted-printable") == std::string_view::npos)
      lineEnd = 0;
    if (lineEnd == 0) lineEnd = ShortReplyEnd(text, at, end);
    if (lineEnd == 0) lineEnd = ClosingSentenceEnd(text, at, end);
    if (lineEnd == 0) lineEnd = SmallWordEnd(text, at, end);
    if (lineEnd == 0) return 0;
  }
  if (text[end] == '\r' && (end + 1 >= text.size() || text[end + 1] == '\n')) return 0;
  std::string_view data = text.substr(end, kDataLook);
  data = data.substr(0, data.find('\n'));
  // Zeros behind a line are LastLineToFileEnd's to weigh: a file's end or old bytes' cluster end.
  // Behind a document's close, 8-bit bytes on its line are no text of it either.
  const bool dataBehind = HoldsNonText(data) || (documentEnd > 0 && HoldsEightBitByte(data));
  return text[end] != '\0' && dataBehind ? lineEnd - at : 0;
}

}  // namespace quillon::mail_reader
