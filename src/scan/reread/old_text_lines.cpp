#include "scan/reread/old_text_lines.h"

#include <algorithm>
#include <cstdint>

#include "scan/lines/line_reader.h"
#include "source/data_source.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

bool NoTextOfAnyCharset(std::string_view line) {
  const auto shift = [](char c) { return c == '\x1b' || c == '\x0e' || c == '\x0f'; };
  const auto eightBit = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  return std::any_of(line.begin(), line.end(), shift) &&
         std::any_of(line.begin(), line.end(), eightBit);
}

bool HoldsStrayControls(std::string_view line) {
  // One control byte in a line with 8-bit bytes, and those at most one in 8; in a line of 7-bit
  // bytes only, a control byte in 4, each between text (fields with their separators, a short
  // one among them). Random bytes glued to old text hold several control bytes among their 8-bit
  // ones; data of 7-bit bytes holds its controls in runs, and many of them. Two side by side
  // and no other in a line of 7-bit text are one slip of the keys or one damaged spot.
  constexpr std::size_t kBytesPerControlInAscii = 4;
  constexpr std::size_t kBytesPerEightBit = 8;
  constexpr std::size_t kFewNuls = 3;
  if (line.size() < kStrayControlLine) return false;
  std::size_t controls = 0;
  std::size_t eightBit = 0;
  std::size_t controlsInRuns = 0;  // control bytes right behind another
  bool previousControl = false;
  for (std::size_t at = 0; at < line.size(); ++at) {
    const auto byte = static_cast<std::uint8_t>(line[at]);
    // A NUL ends a mail's text where it opens or ends the line; between text it is a stray
    // byte like the others, a few in a row as one (IsStrayNul).
    if (byte == 0 && (at == 0 || at + 1 == line.size())) return false;
    if (byte == 0 && line[at - 1] == '\0') {
      if (at >= kFewNuls && line.substr(at - kFewNuls, kFewNuls + 1).find_first_not_of('\0') ==
                                std::string_view::npos)
        return false;
      continue;
    }
    const bool control = byte < 0x80 && !IsTextByte(byte);
    if (byte >= 0x80) ++eightBit;
    controls += control;
    controlsInRuns += control && previousControl;
    previousControl = control;
  }
  const std::size_t allowed = eightBit == 0 ? line.size() / kBytesPerControlInAscii : 1;
  const bool onePairAlone = controlsInRuns == 1 && controls == 2 && eightBit == 0;
  return controls > 0 && controls <= allowed && (controlsInRuns == 0 || onePairAlone) &&
         eightBit <= line.size() / kBytesPerEightBit;
}

bool ReadsAsBinaryBytes(std::string_view line, bool binary) {
  return (binary && !HoldsStrayControls(line)) || NoTextOfAnyCharset(line);
}

bool IsPartHeaderLine(std::string_view line) {
  return StartsWithNoCase(line, "content-") && HeaderNameLength(line) > 0;
}

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A tag begins with "<" or "</", a name of letters and digits, and a blank, ">" or "/" behind it;
// a declaration or processing instruction ("<!DOCTYPE", "<!--", "<?xml") is markup too.
bool HoldsTag(std::string_view line) {
  for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
    if (line.substr(at).starts_with("<!--") || line.substr(at).starts_with("<?xml") ||
        StartsWithNoCase(line.substr(at), "<!doctype"))
      return true;
    std::size_t name = at + 1;
    if (name < line.size() && line[name] == '/') ++name;
    if (name >= line.size() || !IsAsciiLetter(line[name])) continue;
    std::size_t end = name;
    while (end < line.size() &&
           (IsAsciiLetter(line[end]) || (line[end] >= '0' && line[end] <= '9')))
      ++end;
    if (end < line.size() && (line[end] == '>' || line[end] == ' ' || line[end] == '/'))
      return true;
  }
  return false;
}

// A style rule's declarations ("name: value;") closed by "}", as a whole rule or its tail.
bool HoldsStyleRule(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (!line.ends_with('}')) return false;
  const std::size_t colon = line.find(':');
  return colon != std::string_view::npos && line.find(';', colon) != std::string_view::npos;
}

// A character reference: "&", a name of letters or "#" and digits, ";".
bool HoldsCharacterReference(std::string_view line) {
  for (std::size_t at = line.find('&'); at != std::string_view::npos; at = line.find('&', at + 1)) {
    std::size_t end = at + 1;
    const bool numeric = end < line.size() && line[end] == '#';
    if (numeric) ++end;
    const std::size_t name = end;
    while (end < line.size() &&
           (numeric ? line[end] >= '0' && line[end] <= '9' : IsAsciiLetter(line[end])))
      ++end;
    if (end - name >= 2 && end - name <= 8 && end < line.size() && line[end] == ';') return true;
  }
  return false;
}

bool IsUpperHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// "=" and two hex digits, one of them a digit: "=20", "=3D", "=E9" (a query string's "=DE"
// would be letters only).
bool HoldsQuotedPrintableEscape(std::string_view line) {
  for (std::size_t at = line.find('='); at != std::string_view::npos && at + 2 < line.size();
       at = line.find('=', at + 1)) {
    const char high = line[at + 1];
    const char low = line[at + 2];
    if (IsUpperHexDigit(high) && IsUpperHexDigit(low) &&
        ((high >= '0' && high <= '9') || (low >= '0' && low <= '9')))
      return true;
  }
  return false;
}

bool IsBase64Character(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

}  // namespace

bool HoldsMarkup(std::string_view line) {
  return HoldsTag(line) || HoldsStyleRule(line) || HoldsCharacterReference(line);
}

bool ReadsAsEncodedData(std::string_view line) {
  // An encoder breaks its lines where they grow long; a line of "=" or "-" is a rule, not one.
  constexpr std::size_t kBase64Run = 40;
  const bool softBreak = line.size() >= 2 && line.back() == '=' && line[line.size() - 2] != '=' &&
                         line[line.size() - 2] != ' ';
  if (softBreak || HoldsQuotedPrintableEscape(line)) return true;
  std::string_view data = line;
  while (!data.empty() && data.back() == '=') data.remove_suffix(1);
  return data.size() >= kBase64Run && std::all_of(data.begin(), data.end(), IsBase64Character);
}

bool BeginsMidLine(std::string_view line) {
  const std::size_t text = line.find_first_not_of(" \t");
  if (text == std::string_view::npos) return false;
  line.remove_prefix(text);
  const char first = line.front();
  const bool small = first >= 'a' && first <= 'z';
  const bool digit = first >= '0' && first <= '9';
  // Behind blanks only a word goes on a line: an indented number or mark begins a list item.
  if (text > 0 && !small) return false;
  if (!small && !digit && std::string_view(",.;:!?)").find(first) == std::string_view::npos)
    return false;
  const std::string_view word = line.substr(0, line.find(' '));
  return word.find("://") == std::string_view::npos && word.find('@') == std::string_view::npos &&
         !StartsWithNoCase(word, "www.");
}

bool BeginsInsideUtf8Character(std::string_view line) {
  const auto byteAt = [&](std::size_t at) { return static_cast<std::uint8_t>(line[at]); };
  const auto continues = [&](std::size_t at) {
    return at < line.size() && (byteAt(at) & 0xC0) == 0x80;
  };
  std::size_t at = 0;
  while (at < 3 && continues(at)) ++at;
  if (at == 0 || at >= line.size()) return false;
  const std::uint8_t lead = byteAt(at);
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0) return false;
  for (std::size_t next = 1; next < length; ++next)
    if (!continues(at + next)) return false;
  return true;
}

bool IsRuleLine(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line.size() < kRuleLength ||
      std::string_view("_-=*").find(line.front()) == std::string_view::npos)
    return false;
  return line.find_first_not_of(line.front()) == std::string_view::npos;
}

bool OpensADocument(std::string_view line) {
  const std::string_view text = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
  return StartsWithNoCase(text, "<?xml") || StartsWithNoCase(text, "<!doctype") ||
         StartsWithNoCase(text, "<html");
}

void MarkupRun::Add(std::size_t at, std::string_view line) {
  if (ownMarkup_ || line.empty()) return;
  if (HoldsMarkup(line)) {
    if (start_ != npos) return;
    start_ = at;
    const std::string_view text = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
    ownMarkup_ = StartsWithNoCase(text, "<html") || StartsWithNoCase(text, "<!doctype");
  } else if (start_ != npos) {
    ownMarkup_ = true;
  }
}

bool HoldsPageHead(std::string_view line) {
  return HoldsStyleRule(line) || FindNoCase(line, "</style") != std::string_view::npos ||
         FindNoCase(line, "</head") != std::string_view::npos;
}

HtmlDocument HtmlDocumentOf(std::string_view line) {
  HtmlDocument last = HtmlDocument::Neither;
  for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
    const std::string_view tag = line.substr(at);
    if (StartsWithNoCase(tag, "</html>")) last = HtmlDocument::Closes;
    if (StartsWithNoCase(tag, "<html")) last = HtmlDocument::Opens;
  }
  return last;
}

bool NulAmidData(std::string_view text, std::size_t at, std::uint64_t start) {
  constexpr std::size_t kFewNuls = 4;  // random bytes seldom hold more in a row
  if (at >= text.size() || text[at] != '\0') return false;
  // The NUL ends a character of UTF-16 text whose first byte read as a line of its own. Behind
  // more of a line it may as well end the mail's last line that has no line break, the text
  // behind it starting at a character.
  if (at >= 2 && text[at - 2] == '\n' && Utf16TextAt(text, at + 1)) return true;
  const std::uint64_t sectorEnd = ((start + at) / kSectorSize + 1) * kSectorSize;
  std::size_t end =
      static_cast<std::size_t>(std::min<std::uint64_t>(sectorEnd - start, text.size()));
  end = std::min(end, text.find('\n', at));
  const std::size_t data = text.find_first_not_of('\0', at);
  if (data == std::string_view::npos || data >= end || data - at >= kFewNuls) return false;
  return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(data),
                     text.begin() + static_cast<std::ptrdiff_t>(end), [](char c) {
                       const auto byte = static_cast<std::uint8_t>(c);
                       return byte != 0 && !IsTextByte(byte);
                     });
}

namespace {

// The boundary of `line` (without its line end) where it reads as a closing boundary line: "--",
// a boundary of at most 70 characters that are printable ASCII, not dashes alone and not ending
// in a blank (RFC 2046 5.1.1), and "--", with blanks behind it at most; empty when it does not.
std::string_view ClosedBoundary(std::string_view line) {
  constexpr std::size_t kLongestBoundary = 70;
  while (line.ends_with(' ') || line.ends_with('\t')) line.remove_suffix(1);
  if (line.size() < 5 || !line.starts_with("--") || !line.ends_with("--")) return {};
  const std::string_view boundary = line.substr(2, line.size() - 4);
  if (boundary.size() > kLongestBoundary || boundary.back() == ' ') return {};
  if (boundary.find_first_not_of('-') == std::string_view::npos) return {};
  const bool printable =
      std::all_of(boundary.begin(), boundary.end(), [](char c) { return c >= ' ' && c <= '~'; });
  return printable ? boundary : std::string_view();
}

}  // namespace

ClosingBehindNuls ClosingLineBehindLineEndNuls(std::string_view text, std::size_t at) {
  constexpr std::size_t kFewNuls = 3;
  constexpr std::size_t kMostEmptyLinesBetween = 4;
  if (at == 0 || at >= text.size() || text[at] != '\0') return {};
  // Text in front of the NULs on their line.
  if (text[at - 1] == '\0' || text[at - 1] == '\n' || text[at - 1] == '\r') return {};
  std::size_t lineEnd = text.find_first_not_of('\0', at);
  if (lineEnd == std::string_view::npos || lineEnd - at > kFewNuls) return {};
  if (text[lineEnd] == '\r') ++lineEnd;
  if (lineEnd >= text.size() || text[lineEnd] != '\n') return {};
  for (std::size_t empty = 0, begin = lineEnd + 1; begin < text.size(); ++empty) {
    const std::size_t lineFeed = text.find('\n', begin);
    std::string_view line =
        text.substr(begin, lineFeed == std::string_view::npos ? lineFeed : lineFeed - begin);
    while (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) {
      const std::string_view boundary = ClosedBoundary(line);
      if (boundary.empty()) return {};
      return {lineEnd + 1, lineFeed == std::string_view::npos ? text.size() : lineFeed + 1,
              boundary};
    }
    if (lineFeed == std::string_view::npos || empty == kMostEmptyLinesBetween) return {};
    begin = lineFeed + 1;
  }
  return {};
}

std::size_t PassDamagedSpot(std::string_view text, std::uint64_t start, std::uint64_t& knownEnd,
                            std::string& boundary) {
  if (knownEnd <= start || boundary.empty()) return 0;
  const ClosingBehindNuls closing =
      ClosingLineBehindLineEndNuls(text, static_cast<std::size_t>(knownEnd - start));
  if (closing.end == 0) return 0;
  knownEnd = start + closing.end;
  boundary = closing.boundary;
  return closing.lineStart;
}

}  // namespace quillon::mail_reader
