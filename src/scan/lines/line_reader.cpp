#include "scan/lines/line_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "scan/lines/line_scan.h"
#include "scan/source_position.h"
#include "text/ascii.h"
#include "text/utf8.h"

namespace quillon {

bool StaysBinaryAsAFieldLine(std::string_view text) {
  return HeaderNameLength(text) == 0 || !HoldsStrayBytesOnly(text);
}

CarveBuffer BufferOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool HoldsNonText(std::string_view text) {
  return HoldsNonTextByte(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

namespace {

constexpr std::size_t kFewStrayNuls = 3;
constexpr std::size_t kOtherBytesBesideNul = 2;

bool IsOtherNonText(char c) {
  return !IsTextByte(static_cast<std::uint8_t>(c));
}

}  // namespace

bool HoldsStrayBytesOnly(std::string_view text) {
  constexpr std::size_t kStrayBytes = 2;
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    if (nul + 1 == text.size() || text.find('\0', nul + 1) != std::string_view::npos) return false;
  }
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsOtherNonText)) <=
         kStrayBytes;
}

bool IsFieldLineWithStrayBytes(CarveBuffer buffer, std::size_t end) {
  if (end > buffer.size) return false;
  const std::size_t earliest = end > kMaxHeaderLine ? end - kMaxHeaderLine : 0;
  std::size_t begin = end;
  while (begin > earliest && buffer.data[begin - 1] != '\n') --begin;
  if (begin == 0 || buffer.data[begin - 1] != '\n') return false;
  const std::string_view line = TextOf(buffer, Line{begin, end, end});
  return HeaderNameLength(line) > 0 && HoldsStrayBytesOnly(line);
}

std::size_t LineStopOverStrayByte(CarveBuffer buffer, std::size_t floor, std::size_t end,
                                  std::size_t stop) {
  // Behind a byte that is no text a sector start may begin a file ("Cc: x\0" + " From: ..."):
  // that byte stays where the line stops.
  if (IsSectorStart(buffer.base + stop + 1) || !IsFieldLineWithStrayBytes(buffer, end)) return stop;
  while (stop > floor && buffer.data[stop - 1] != '\n') --stop;
  return stop > floor ? stop - 1 : kNoLineStop;
}

bool IsStrayNul(std::string_view text, std::size_t at) {
  if (at >= text.size() || text[at] != '\0') return false;
  // Each look stops within a few bytes in binary data and zeros, so that a search over them
  // can ask of every NUL.
  std::size_t run = at;
  while (run > 0 && text[run - 1] == '\0' && at - run < kFewStrayNuls) --run;
  std::size_t behindRun = at + 1;
  while (behindRun < text.size() && text[behindRun] == '\0' && behindRun - run <= kFewStrayNuls)
    ++behindRun;
  if (run == 0 || text[run - 1] == '\0' || behindRun >= text.size() || text[behindRun] == '\0' ||
      behindRun - run > kFewStrayNuls)
    return false;
  // Nothing of the line in front of the NULs, or only the CR of its line break: where a line
  // would begin, NULs are where the text stops.
  if (text[run - 1] == '\n' || text[run - 1] == '\r') return false;
  // A line longer than a header line may be is judged no further: text without line breaks.
  const std::size_t earliest = run > kMaxHeaderLine ? run - kMaxHeaderLine : 0;
  const std::size_t latest = std::min(text.size(), behindRun + kMaxHeaderLine);
  std::size_t others = 0;
  std::size_t before = run;
  // The line begins behind a line break, or behind a NUL: the zeros a text began behind, or
  // another stray one.
  for (; before > earliest && text[before - 1] != '\n' && text[before - 1] != '\0'; --before)
    if (IsOtherNonText(text[before - 1]) && ++others > kOtherBytesBesideNul) return false;
  if (before == earliest && earliest > 0) return false;
  bool textBehind = false;
  for (std::size_t behind = behindRun; behind < latest; ++behind) {
    const auto byte = static_cast<std::uint8_t>(text[behind]);
    if (byte == '\n') return textBehind;
    if (byte > ' ' && byte != 0x7F) textBehind = true;
    if (IsOtherNonText(text[behind]) && ++others > kOtherBytesBesideNul) return false;
  }
  return false;  // no line break behind: the text's last line, cut where it stops
}

std::size_t TextEndingNul(std::string_view text, std::size_t from) {
  std::size_t nul = text.find('\0', from);
  while (nul != std::string_view::npos && IsStrayNul(text, nul))
    nul = text.find('\0', text.find_first_not_of('\0', nul));
  return nul;
}

bool Utf16TextAt(std::string_view text, std::size_t at) {
  constexpr std::size_t kCharacters = 4;
  if (text.size() - at < 2 * kCharacters) return false;
  for (std::size_t index = 0; index < kCharacters; ++index) {
    const auto byte = static_cast<std::uint8_t>(text[at + 2 * index]);
    if (byte == 0 || byte >= 0x80 || !IsTextByte(byte) || text[at + 2 * index + 1] != '\0')
      return false;
  }
  return true;
}

std::size_t TextStopInHeaderLine(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    if (IsTextByte(byte) || (byte == 0 && IsStrayNul(text, at))) {
      ++at;
      continue;
    }
    if (byte == 0) return at > 0 ? at : std::string_view::npos;
    break;
  }
  if (at >= text.size()) return std::string_view::npos;
  std::size_t printable = 0;
  while (printable < at &&
         ((text[printable] >= 0x20 && text[printable] < 0x7F) || text[printable] == '\t'))
    ++printable;
  return printable >= kLeastTextIntoData ? printable : std::string_view::npos;
}

namespace {

// Whether the line that begins at buffer index `begin` is a whole line of header text: a field
// line or a fold.
bool HeaderTextLineAt(CarveBuffer buffer, std::size_t begin) {
  if (begin >= buffer.size) return false;
  const Line line = ReadLine(buffer, begin);
  const std::string_view text = TextOf(buffer, line);
  return line.complete && !line.binary && (HeaderNameLength(text) > 0 || IsContinuation(text));
}

// `at`, where the header line `line` runs into old bytes, unless header lines follow it: a line
// garbled among the block's lines is no end of the text.
std::size_t CutIntoOldBytes(CarveBuffer buffer, const Line& line, std::size_t at) {
  return line.complete && HeaderTextLineAt(buffer, line.next) ? std::string_view::npos : at;
}

}  // namespace

std::size_t HeaderLineCutEnd(CarveBuffer buffer, const Line& line) {
  if (line.complete && !line.binary) return std::string_view::npos;
  // With its line break: a stray NUL is told by the text behind it up to there.
  const std::string_view text(reinterpret_cast<const char*>(buffer.data + line.begin),
                              line.next - line.begin);
  const std::size_t stop = TextStopInHeaderLine(text);
  if (stop == std::string_view::npos) return stop;
  const std::string_view kept = text.substr(0, stop);
  // Blanks alone are no fold: old bytes may begin with one.
  const bool fold = IsContinuation(kept) && kept.find_first_not_of(" \t") != std::string_view::npos;
  if (HeaderNameLength(kept) == 0 && !fold) return std::string_view::npos;
  const std::size_t at = line.begin + stop;
  if (buffer.data[at] == 0) {
    // A file's end is padded with zeros up to its sector's end; NULs that text follows within
    // the sector were written into the line.
    const std::uint64_t position = buffer.PositionOf(at);
    const std::size_t toSectorEnd = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer.size - at, kSectorSize - position % kSectorSize));
    const std::uint8_t* zeros = buffer.data + at;
    if (std::all_of(zeros, zeros + toSectorEnd, [](std::uint8_t byte) { return byte == 0; }))
      return at;
    // Old text in UTF-16 behind the line. The byte in front of the NUL may be its first
    // character's or the line's own last one, written over it: the mail keeps it.
    const std::string_view bytes(reinterpret_cast<const char*>(buffer.data), buffer.size);
    if (at > line.begin && Utf16TextAt(bytes, at - 1)) return CutIntoOldBytes(buffer, line, at);
    return std::string_view::npos;
  }
  return CutIntoOldBytes(buffer, line, at);
}

std::size_t HeaderBlockTextStop(std::string_view text) {
  const CarveBuffer buffer = BufferOf(text);
  for (std::size_t at = 0; at < text.size();) {
    const Line line = ReadLine(buffer, at);
    if (!line.complete || line.binary) {
      const std::size_t cut = HeaderLineCutEnd(buffer, line);
      return cut == std::string_view::npos ? text.size() : cut;
    }
    at = line.next;
  }
  return text.size();
}

namespace {

// A name runs at most 76 bytes: the 77th byte is looked at only for the colon.
constexpr std::size_t kLongestName = 76;

// Where the run of name bytes at the line's start ends. Inlined: the walk asks at nearly every
// line, and a call costs it.
[[gnu::always_inline]] inline std::size_t NameEnd(std::string_view line) {
  const std::size_t span = std::min<std::size_t>(line.size(), kLongestName);
  std::size_t i = NameBytesAtStart(reinterpret_cast<const std::uint8_t*>(line.data()), span);
  // Some mail programs name a field in their user's language, in raw 8-bit bytes: they stand
  // in a name as its other bytes do.
  while (i < span && static_cast<std::uint8_t>(line[i]) >= 0x80) {
    ++i;
    i += NameBytesAtStart(reinterpret_cast<const std::uint8_t*>(line.data()) + i, span - i);
  }
  return i;
}

}  // namespace

std::size_t HeaderNameLengthFromLetter(std::string_view line) {
  const std::size_t i = NameEnd(line);
  return i < line.size() && line[i] == ':' ? i : 0;
}

LooseFieldName LooseHeaderName(std::string_view line) {
  // More blanks than a tab and a space or two in front of the colon are a sentence's.
  constexpr std::size_t kMostBlanksBeforeColon = 3;
  if (line.empty()) return {};
  const auto first = static_cast<unsigned char>(line[0]);
  const bool letter = (first | 0x20) >= 'a' && (first | 0x20) <= 'z';
  if (!letter && first < 0x80) return {};
  const std::size_t name = NameEnd(line);
  std::size_t colon = name;
  while (colon < line.size() && colon - name < kMostBlanksBeforeColon &&
         (line[colon] == ' ' || line[colon] == '\t'))
    ++colon;
  if (name == 0 || colon >= line.size() || line[colon] != ':') return {};
  // A name in another language is written in letters, a few of them 8-bit ones; binary bytes
  // that happen to run into a colon are 8-bit bytes by the half.
  constexpr std::size_t kMostEightBitBytes = 4;
  constexpr std::size_t kFewestLetters = 2;
  const std::string_view text = line.substr(0, name);
  const auto eightBit = std::count_if(text.begin(), text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  const auto letters = std::count_if(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
  // ... or one in a script of its own, written in UTF-8 throughout ("\xD0\x9F\xD0\xBE...:").
  const bool inLetters = static_cast<std::size_t>(eightBit) <= kMostEightBitBytes &&
                         static_cast<std::size_t>(letters) >= kFewestLetters;
  const bool inUtf8 = eightBit >= 2 && IsValidUtf8(text);
  if (!inLetters && !inUtf8) return {};
  return {name, colon};
}

bool IsMboxSeparator(std::string_view line, MboxSeparatorRule rule) {
  if (rule == MboxSeparatorRule::Prefix) return line.substr(0, 5) == "From ";
  // "Mon Sep 17 00:00:00 2001" is the fixed date of a patch written out by git, which a mail
  // carries in its body, not a mailbox separator.
  return line.size() > 5 && line.substr(0, 5) == "From " &&
         line.find(':') != std::string_view::npos &&
         line.find("Mon Sep 17 00:00:00 2001") == std::string_view::npos;
}

BoundaryLine BoundaryLineOf(std::string_view line, std::string_view boundary, bool exact) {
  if (line.size() < 2 || line[0] != '-' || line[1] != '-') return BoundaryLine::None;
  std::string_view rest = line.substr(2);
  // Most boundary lines repeat the boundary as the header block wrote it: byte for byte first.
  const bool asWritten = !boundary.empty() && rest.size() >= boundary.size() &&
                         std::memcmp(rest.data(), boundary.data(), boundary.size()) == 0;
  if (!asWritten && !StartsWithNoCase(rest, boundary)) return BoundaryLine::None;
  rest.remove_prefix(boundary.size());
  const bool closing = rest.substr(0, 2) == "--";
  if (exact) {
    if (closing) rest.remove_prefix(2);
    // A longer boundary that merely begins alike.
    if (!TrimWhiteSpace(rest).empty()) return BoundaryLine::None;
  }
  return closing ? BoundaryLine::Closing : BoundaryLine::Part;
}

EmptyLineFound FindEmptyLine(std::string_view text, std::size_t from) {
  EmptyLineFound found;
  for (std::size_t lineFeed = text.find('\n', from); lineFeed != std::string_view::npos;
       lineFeed = text.find('\n', lineFeed + 1)) {
    std::size_t at = lineFeed + 1;
    while (at < text.size() && text[at] == '\r') ++at;
    if (at < text.size() && text[at] == '\n') {
      found.lineFeed = lineFeed;
      found.behind = at + 1;
      return found;
    }
  }
  return found;
}

ClosingBoundaryLine FindClosingBoundaryLine(std::string_view text, std::string_view boundary,
                                            std::size_t from) {
  ClosingBoundaryLine line;
  const std::string closing = "\n--" + std::string(boundary) + "--";
  // memmem skips ahead by up to the pattern's length; a find by its first byte, the line feed,
  // stopped at every line of the body.
  if (from >= text.size()) return line;
  const void* found =
      memmem(text.data() + from, text.size() - from, closing.data(), closing.size());
  if (!found) return line;
  const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
  line.found = true;
  line.lineFeed = at;
  line.behind = at + closing.size();
  return line;
}

std::size_t BoundaryLineBehindClosing(std::string_view text, std::string_view boundary,
                                      std::size_t behind) {
  // Blank lines between a nested multipart's end and the next part; more are no such gap.
  constexpr std::size_t kMostEmptyLinesBetween = 4;
  std::size_t lineFeed = text.find('\n', behind);
  for (std::size_t empty = 0; lineFeed != std::string_view::npos; ++empty) {
    const std::size_t next = text.find('\n', lineFeed + 1);
    // The last line may have no line break of its own.
    std::string_view line =
        text.substr(lineFeed + 1, next == std::string_view::npos ? next : next - lineFeed - 1);
    while (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty())
      return BoundaryLineOf(line, boundary, true) == BoundaryLine::None ? std::string_view::npos
                                                                        : lineFeed;
    if (empty == kMostEmptyLinesBetween) return std::string_view::npos;
    lineFeed = next;  // npos behind an empty last line
  }
  return std::string_view::npos;
}

bool ClosesANestedMultipart(std::string_view text, std::size_t at, std::string_view boundary) {
  if (boundary.empty() || at < 2 || at > text.size() || text[at - 1] != '\n') return false;
  const std::size_t lineFeed = text.rfind('\n', at - 2);
  const std::size_t begin = lineFeed == std::string_view::npos ? 0 : lineFeed + 1;
  std::string_view line = text.substr(begin, at - 1 - begin);
  while (line.ends_with('\r')) line.remove_suffix(1);
  return BoundaryLineOf(line, boundary, true) == BoundaryLine::Closing &&
         BoundaryLineBehindClosing(text, boundary, at - 1) != std::string_view::npos;
}

ClosingBoundaryLine FindOutermostClosingLine(std::string_view text, std::string_view boundary,
                                             std::size_t from) {
  ClosingBoundaryLine closing = FindClosingBoundaryLine(text, boundary, from);
  while (closing.found) {
    const std::size_t next = BoundaryLineBehindClosing(text, boundary, closing.behind);
    if (next == std::string_view::npos) return closing;
    // Without a later closing line the parts behind may be old bytes of another copy: the
    // closing line seen ends the mail.
    const ClosingBoundaryLine later = FindClosingBoundaryLine(text, boundary, next);
    if (!later.found) return closing;
    closing = later;
  }
  return closing;
}

}  // namespace quillon
