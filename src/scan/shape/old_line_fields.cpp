#include "scan/shape/old_line_fields.h"

#include <algorithm>
#include <cstring>

#include "scan/lines/header_fields.h"
#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"
#include "scan/shape/block_context.h"
#include "scan/shape/field_names.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon::old_line_fields {

using namespace shape_names;

namespace {

// The first line feed of `buffer` in [from, limit), or where that stretch ends when it holds none.
std::size_t LineFeedBefore(CarveBuffer buffer, std::size_t from, std::size_t limit) {
  limit = std::min(limit, buffer.size);
  if (limit <= from) return from;
  const void* lineFeed = std::memchr(buffer.data + from, '\n', limit - from);
  return lineFeed
             ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data)
             : limit;
}

}  // namespace

// Whether the header line at `index`, which follows `prefix` inside a line, is glued to it.
bool GluedAt(CarveBuffer buffer, std::size_t index, std::string_view prefix) {
  const std::size_t end = LineFeedBefore(buffer, index, index + kMaxHeaderLine);
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + index - prefix.size()),
                              prefix.size() + (end - index));
  return GluedFieldStart(line) == prefix.size();
}

// Where the header line `line` at buffer index `at` really begins when old bytes run into its
// name ("X-Ap" + "Received:", "\x15m" + "Return-Path:"): at a sector start inside the name behind
// which a known field's name begins, where a file began over the tail of older data; right
// behind binary bytes (`cutByNonText`) also at a known name behind a few text bytes. A private
// name ("X-Account-Key") counts where the line's own name is none. npos where the line's own
// name is a known one or none begins inside it. A name inside another one counts
// only at a capital behind no hyphen ("X-Spam-Status" holds no "Status"), except right behind
// binary bytes, where nothing but the sector start tells.
std::size_t KnownNameInside(CarveBuffer buffer, std::size_t at, std::string_view line,
                            std::size_t nameLength, bool cutByNonText) {
  const auto sector =
      static_cast<std::size_t>(SectorStartFrom(buffer.base + at + 1) - buffer.base) - at;
  const bool sectorInName = sector < nameLength;
  if (!sectorInName && !cutByNonText) return std::string_view::npos;
  const std::string_view name = line.substr(0, nameLength);
  if (IsKnownFieldName(name)) return std::string_view::npos;
  auto namesAField = [&](std::size_t k) {
    const std::string_view rest = name.substr(k);
    return IsKnownFieldName(rest) || (IsPrivateFieldName(rest) && !IsPrivateFieldName(name));
  };
  auto opensAName = [&](std::size_t k) {
    return IsUpper(name[k]) && name[k - 1] != '-' && namesAField(k);
  };
  if (sectorInName && (cutByNonText ? namesAField(sector) : opensAName(sector))) return sector;
  // A name no list knows, written as names are from the sector on, where the whole is not
  // ("Content-Transfer-E" + "Errors-To").
  if (sectorInName && !cutByNonText && IsUpper(name[sector]) && name[sector - 1] != '-' &&
      !IsPrivateFieldName(name) && !IsWellFormedName(name) && IsWellFormedName(name.substr(sector)))
    return sector;
  if (!cutByNonText) return std::string_view::npos;
  for (std::size_t k = 1; k <= kStrayBytes && k < nameLength; ++k) {
    if (opensAName(k)) return k;
  }
  return std::string_view::npos;
}

std::size_t KnownNameBehindCapitals(std::string_view name) {
  constexpr std::size_t kMostCapitals = 4;
  for (std::size_t at = 1; at <= kMostCapitals && at + 1 < name.size() && IsUpper(name[at]); ++at) {
    if (!IsLower(name[at + 1]) || !IsKnownFieldName(name.substr(at))) continue;
    return IsKnownFieldName(name) || IsPrivateFieldName(name) ? std::string_view::npos : at;
  }
  return std::string_view::npos;
}

std::size_t KnownFieldBehindStrayColon(std::string_view line) {
  for (std::size_t colon = 1; colon <= kStrayBytes && colon + 1 < line.size(); ++colon) {
    if (IsBlank(line[colon - 1])) return std::string_view::npos;
    if (line[colon] != ':') continue;
    const std::string_view rest = line.substr(colon + 1);
    const std::size_t restName = HeaderNameLength(rest);
    return restName > 0 && IsKnownFieldName(rest.substr(0, restName)) ? colon + 1
                                                                      : std::string_view::npos;
  }
  return std::string_view::npos;
}

// Where a field's line begins at a sector start inside `line`, at buffer index `at`, which no
// header line stands above: a file that begins at a sector shares its first line with the old
// text in front of it ("...@hotm" + "Content-Language: en-US"). Its name is a known, private or
// well-formed one with a blank behind its colon. npos for none.
std::size_t FieldLineAtASector(CarveBuffer buffer, std::size_t at, std::string_view line) {
  const std::size_t ownName = HeaderNameLength(line);
  for (std::size_t sector =
           static_cast<std::size_t>(SectorStartFrom(buffer.base + at + 1) - buffer.base);
       sector < at + line.size(); sector += kSectorSize) {
    // The line's own name cut by the sector ("Return-" + "Path: <...>") is its own.
    if (sector - at <= ownName || line[sector - at - 1] == '-') continue;
    const std::string_view rest = line.substr(sector - at);
    const std::string_view name = rest.substr(0, HeaderNameLength(rest));
    if (name.empty() || !IsUpper(name.front())) continue;
    if (rest.size() < name.size() + 2 || !IsBlank(rest[name.size() + 1])) continue;
    if (InAFieldList(line, sector - at)) continue;
    if (IsKnownFieldName(name) || IsPrivateFieldName(name) || IsWellFormedName(name))
      return sector - at;
  }
  return std::string_view::npos;
}

// Where a header line begins inside the fold `line` when no header line stands above the folds:
// an indented line of old text ("    continue the Message-Id: <...>") that a header line was
// glued into, or behind whose blanks one begins. npos when there is none.
std::size_t FieldInAnOrphanFold(CarveBuffer buffer, std::size_t at, std::string_view line) {
  std::size_t lead = 0;
  while (lead < line.size() && IsBlank(line[lead])) ++lead;
  const std::string_view text = line.substr(lead);
  const std::size_t nameLength = HeaderNameLength(text);
  if (nameLength > 0 && (IsKnownFieldName(text.substr(0, nameLength)) ||
                         IsPrivateFieldName(text.substr(0, nameLength))))
    return lead;
  std::size_t glued = GluedFieldStart(text);
  if (glued == std::string_view::npos) glued = WellFormedFieldGluedInto(text);
  if (glued == std::string_view::npos) glued = LowerCaseFieldGluedInto(text);
  if (glued != std::string_view::npos) return lead + glued;
  return FieldLineAtASector(buffer, at, line);
}

namespace {

// Whether the word in front of the colon in front of `name` in `line` may be a field's name a
// list holds ("h=from:to:" + "Subject: "), rather than a word of old code or prose that ends in a
// colon ("    for row in rows:" + "Received: (from"). Another byte than a colon lists one.
bool NameListedInFront(std::string_view line, std::size_t name) {
  std::size_t colon = name;
  while (colon > 0 && IsBlank(line[colon - 1])) --colon;
  if (colon == 0 || line[colon - 1] != ':') return true;
  --colon;
  std::size_t word = colon;
  while (word > 0 && IsNameByte(line[word - 1]) && line[word - 1] != '=' && line[word - 1] != ';')
    --word;
  const std::string_view listed = line.substr(word, colon - word);
  return listed.find('-') != std::string_view::npos || IsKnownFieldName(listed) ||
         IsPrivateFieldName(listed);
}

}  // namespace

// Where a known or private field's line begins at a sector start inside the indented line
// `line`, at buffer index `at`, of old text ("<tr>     " + "Mime-Version: 1.0"): a file that
// begins at a sector shares its first line with whatever stood before it. A fold of a real
// header block cut there holds no such line: its names are those of a signature's list, in lower
// case and run together ("h=...:in-" + "reply-to:"), so the name must be written with a capital,
// stand apart from the bytes in front of it and have a blank behind its colon. npos for none.
std::size_t FieldAtASectorStart(CarveBuffer buffer, std::size_t at, std::string_view line) {
  for (std::size_t sector =
           static_cast<std::size_t>(SectorStartFrom(buffer.base + at + 1) - buffer.base);
       sector < at + line.size(); sector += kSectorSize) {
    const std::size_t inLine = sector - at;
    const std::string_view rest = line.substr(inLine);
    const std::string_view name = rest.substr(0, HeaderNameLength(rest));
    if (name.empty() || !IsUpper(name.front())) continue;
    const char before = line[inLine - 1];
    // A capitalised name right behind a lower-case word ("available fro" + "Importance: normal")
    // is no word of the old text: names in a fold's lists are written in lower case.
    const bool behindLowerCase = IsLower(before) && IsWellFormedName(name);
    if (before == '-' || IsDigit(before) || (IsLetter(before) && !behindLowerCase)) continue;
    if (rest.size() < name.size() + 2 || !IsBlank(rest[name.size() + 1])) continue;
    if (InAFieldList(line, inLine) && NameListedInFront(line, inLine)) continue;
    if (IsKnownFieldName(name) || IsPrivateFieldName(name) || behindLowerCase) return sector;
  }
  return std::string_view::npos;
}

bool BlanksFromASectorStart(CarveBuffer buffer, std::size_t at, std::string_view line,
                            std::size_t minimum) {
  if (line.empty()) return false;
  const std::uint64_t last = (buffer.base + at + line.size() - 1) / kSectorSize * kSectorSize;
  if (last <= buffer.base + at) return false;
  const std::size_t sector = static_cast<std::size_t>(last - buffer.base) - at;
  const std::string_view rest = line.substr(sector);
  // A line of blanks alone is a mail's own first line (behind a mailbox separator, say): only
  // old text in front of the sector makes the sector the file's start.
  return rest.size() >= minimum && TrimWhiteSpace(rest).empty() &&
         !TrimWhiteSpace(line.substr(0, sector)).empty();
}

// Whether `line` ends in a run of blanks no text line has: the first line of a file that opens
// with a line of blanks, glued to old text. Such a line is as short as a few blanks in the mails
// of some programs; prose ends its lines in one or two at most.
bool EndsInALineOfBlanks(std::string_view line) {
  constexpr std::size_t kLineOfBlanks = 8;
  std::size_t blanks = 0;
  while (blanks < line.size() && IsBlank(line[line.size() - 1 - blanks])) ++blanks;
  return blanks >= kLineOfBlanks && blanks < line.size();
}

bool EndsInALongRunOfBlanks(std::string_view line) {
  constexpr std::size_t kLineOfBlanks = 128;
  std::size_t blanks = 0;
  while (blanks < line.size() && IsBlank(line[line.size() - 1 - blanks])) ++blanks;
  return blanks >= kLineOfBlanks && !TrimWhiteSpace(line).empty();
}

// Whether the header block from buffer index `from` on holds a line of the field `name`.
bool BlockHoldsField(CarveBuffer buffer, std::size_t from, std::string_view name) {
  for (std::size_t at = from; at < buffer.size && at - from < kMaxShapeHeaderBlock;) {
    const std::size_t end = LineFeedBefore(buffer, at, buffer.size);
    std::string_view line(reinterpret_cast<const char*>(buffer.data + at), end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return false;
    const std::size_t nameLength = HeaderNameLength(line);
    if (nameLength == name.size() && StartsWithNoCase(line, name)) return true;
    at = end + 1;
  }
  return false;
}

// How many lines of the field `name` the header block holds one after the other from buffer
// index `from` on, their folds passed over: a list of recipients split over lines of its field.
std::size_t FieldLinesInARow(CarveBuffer buffer, std::size_t from, std::string_view name) {
  std::size_t lines = 0;
  for (std::size_t at = from; at < buffer.size && at - from < kMaxShapeHeaderBlock;) {
    const std::size_t end = LineFeedBefore(buffer, at, buffer.size);
    std::string_view line(reinterpret_cast<const char*>(buffer.data + at), end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return lines;
    at = end + 1;
    if (IsContinuation(line)) continue;
    if (HeaderNameLength(line) != name.size() || !StartsWithNoCase(line, name)) return lines;
    ++lines;
  }
  return lines;
}

// Where a field a mail's block holds begins inside the name of the block's first line, glued
// behind a capitalised word of old text ("Fina" + "From:"): a word of letters with a capital
// first and none behind it, then a known name the block holds no line of. 0 for none.
std::size_t FieldBehindAWord(CarveBuffer buffer, std::size_t lineStart) {
  constexpr std::size_t kLongestWord = 12;
  const std::size_t end = LineFeedBefore(buffer, lineStart, lineStart + kMaxHeaderLine);
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + lineStart),
                              end - lineStart);
  const std::size_t nameLength = HeaderNameLength(line);
  if (nameLength < 3 || !IsUpper(line[0])) return 0;
  const std::string_view name = line.substr(0, nameLength);
  if (IsKnownFieldName(name) || IsPrivateFieldName(name)) return 0;
  std::size_t word = 1;
  while (word < name.size() && word <= kLongestWord && IsLower(name[word])) ++word;
  if (word >= name.size() || word > kLongestWord || !IsUpper(name[word])) return 0;
  const std::string_view field = name.substr(word);
  if (!FieldNamed(field)) return 0;
  // Recipients split over lines of their field go on right below the glued first of them.
  constexpr std::size_t kLinesOfASplitList = 2;
  const auto named = FieldNamed(field);
  const bool list = named && (*named == HeaderField::To || *named == HeaderField::Cc) &&
                    FieldLinesInARow(buffer, end + 1, field) >= kLinesOfASplitList;
  if (!list && BlockHoldsField(buffer, end + 1, field)) return 0;
  return word;
}

// The line at buffer index `lineStart`, without its line end (up to kMaxHeaderLine bytes).
std::size_t KnownNameBehindABase64Tail(std::string_view above, std::string_view top) {
  constexpr std::size_t kShortestBase64Line = 40;
  const auto base64 = [](char c) {
    return IsLetter(c) || IsDigit(c) || c == '+' || c == '/' || c == '=';
  };
  if (above.size() < kShortestBase64Line || !std::all_of(above.begin(), above.end(), base64))
    return std::string_view::npos;
  const std::size_t nameLength = HeaderNameLength(top);
  const std::string_view name = top.substr(0, nameLength);
  if (nameLength == 0 || IsKnownFieldName(name)) return std::string_view::npos;
  for (std::size_t k = 1; k < nameLength && k < above.size(); ++k) {
    if (!base64(name[k - 1])) return std::string_view::npos;
    if (IsUpper(name[k]) && IsKnownFieldName(name.substr(k))) return k;
  }
  return std::string_view::npos;
}

std::string_view TopLine(CarveBuffer buffer, std::size_t lineStart) {
  std::size_t end = LineFeedBefore(buffer, lineStart, lineStart + kMaxHeaderLine);
  if (end > lineStart && buffer.data[end - 1] == '\r') --end;
  return {reinterpret_cast<const char*>(buffer.data + lineStart), end - lineStart};
}

// Where the block's topmost header line at buffer index `lineStart` really begins when its name
// is none a list knows and old bytes ran into it ("x7" + "Thread-Topic"): at the well-formed
// name inside, not before `from` bytes into the line; npos where its name is known, private or
// well-formed itself.
std::size_t WellFormedNameInsideTopLine(CarveBuffer buffer, std::size_t lineStart, std::size_t from,
                                        std::size_t to, bool behindProse) {
  const std::string_view line = TopLine(buffer, lineStart);
  const std::size_t nameLength = HeaderNameLength(line);
  if (nameLength == 0) return std::string_view::npos;
  const std::string_view name = line.substr(0, nameLength);
  if (IsKnownFieldName(name) || IsPrivateFieldName(name)) return std::string_view::npos;
  std::size_t inside = WellFormedNameInside(name);
  if (inside == 0 && behindProse && !IsWellFormedName(name))
    inside = WellFormedNameBehindAWord(name);
  if (inside < from || inside > to) return std::string_view::npos;
  if (IsKnownFieldName(name.substr(inside)) || IsPrivateFieldName(name.substr(inside)))
    return std::string_view::npos;
  return inside;
}

namespace {

bool LowerCaseNameByte(char c) {
  return IsLower(c) || IsDigit(c) || c == '-';
}

}  // namespace

std::size_t LowerCaseFieldRunInto(std::string_view line) {
  std::size_t ownName = std::string_view::npos;  // worked out where a name behind a blank asks
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
       colon = line.find(':', colon + 1)) {
    std::size_t run = colon;
    bool hyphen = false;
    while (run > 0 && LowerCaseNameByte(line[run - 1])) {
      --run;
      hyphen = hyphen || line[run] == '-';
    }
    // Most colons end a capitalised name, or none: no hyphenated lower-case name there.
    if (!hyphen) continue;
    const bool address = ValueIsOneAddress(line.substr(colon + 1));
    for (std::size_t name = std::max<std::size_t>(run, 1); name + 2 < colon; ++name) {
      if (!IsLower(line[name]) || line[name - 1] == '-') continue;
      if (IsBlank(line[name - 1])) {
        if (ownName == std::string_view::npos) ownName = HeaderNameLength(line);
        if (ownName > 0 && name > ownName) continue;
      }
      const std::string_view candidate = line.substr(name, colon - name);
      if (candidate.find('-') == std::string_view::npos) continue;
      const bool known = IsKnownFieldName(candidate);
      const bool privateName = candidate[0] == 'x' && candidate[1] == '-';
      if ((known || privateName) &&
          (address || (known && ValueInItsOwnGrammar(candidate, line.substr(colon)))))
        return name;
    }
  }
  return std::string_view::npos;
}

namespace {

// Whether `name` is a hyphenated name a list knows, written in lower case alone.
bool HyphenatedKnownNameInLowerCase(std::string_view name) {
  return name.size() > 2 && IsLower(name.front()) && name.find('-') != std::string_view::npos &&
         std::all_of(name.begin(), name.end(), LowerCaseNameByte) && IsKnownFieldName(name);
}

}  // namespace

std::size_t LowerCaseBlockGluedInto(CarveBuffer buffer, std::string_view line,
                                    std::size_t lineStart) {
  // Almost every block's first line is written with a capital: the line under is asked first.
  if (lineStart >= buffer.size || !IsLower(static_cast<char>(buffer.data[lineStart])))
    return std::string_view::npos;
  const std::string_view below = TopLine(buffer, lineStart);
  const std::size_t belowName = HeaderNameLength(below);
  if (belowName == 0 || !HyphenatedKnownNameInLowerCase(below.substr(0, belowName)))
    return std::string_view::npos;
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
       colon = line.find(':', colon + 1)) {
    if (colon + 2 >= line.size() || !IsBlank(line[colon + 1])) continue;
    std::size_t name = colon;
    while (name > 0 && LowerCaseNameByte(line[name - 1])) --name;
    // Behind a capital the two make one name ("Xin-reply-to").
    if (name == 0 || IsUpper(line[name - 1])) continue;
    if (!HyphenatedKnownNameInLowerCase(line.substr(name, colon - name))) continue;
    if (InAFieldList(line, name) || TrimWhiteSpace(line.substr(colon + 1)).empty()) continue;
    return name;
  }
  return std::string_view::npos;
}

bool FieldBehindAParameterSemicolon(std::string_view text, std::size_t ownName, std::size_t name,
                                    std::string_view candidate) {
  if (ownName == 0 || text[ownName] != ':' || name < ownName + 4) return false;
  if (!StartsWithNoCase(text, "Content-") || !IsBlank(text[name - 1]) || text[name - 2] != ';')
    return false;
  return IsKnownFieldName(candidate) || IsPrivateFieldName(candidate);
}

}  // namespace quillon::old_line_fields
