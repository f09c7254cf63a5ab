#include "scan/shape/header_block.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "scan/lines/header_block_reader.h"
#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/line_scan.h"
#include "scan/shape/block_context.h"
#include "scan/shape/field_names.h"
#include "scan/shape/lines_around_block.h"
#include "scan/shape/old_line_fields.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// How much a header block must look like a mail's own (see ParseBlock).
constexpr int kMinimumShapeScore = 4;
// Broken lines passed over inside one header block.
constexpr int kMaxMalformedLines = 8;

// Whether one of the first lines behind `bodyStart` reads like a From, To, Cc, Date or Subject
// header line.
bool HeaderLinesFollow(CarveBuffer buffer, std::size_t bodyStart) {
  constexpr int kLinesLookedAt = 8;
  std::size_t position = bodyStart;
  for (int i = 0; i < kLinesLookedAt && position < buffer.size; ++i) {
    const Line line = ReadLine(buffer, position);
    const std::string_view text = TextOf(buffer, line);
    if (line.binary || IsMboxSeparator(text)) break;  // the text has ended; another may begin
    for (std::string_view name : {"From: ", "To: ", "Cc: ", "Date: ", "Subject: "}) {
      if (text.substr(0, name.size()) == name) return true;
    }
    if (!line.complete) break;
    position = line.next;
  }
  return false;
}

constexpr std::size_t kHeaderFieldCount = header_fields::kPrefixes.size();

// From, To, Cc, Date and Subject: a block that repeats them is less likely a mail's own.
bool IsAddressingField(HeaderField field) {
  return field == HeaderField::From || field == HeaderField::To || field == HeaderField::Cc ||
         field == HeaderField::Date || field == HeaderField::Subject;
}

bool IsTraceField(HeaderField field) {
  return field == HeaderField::Received || field == HeaderField::ReturnPath ||
         field == HeaderField::DeliveredTo || field == HeaderField::Uidl;
}

// Whether a field name may run into `text`, a line or fold of a block whose own name, if any, is
// `nameLength` long: a name and colon with a blank or the line's end behind it in the value, its
// capital behind other bytes than a blank, right behind the own name's colon and blank, or a field
// the scan reads ("Re: " of a subject is none); or a known or private name run into the line's own
// one behind a lower-case letter or a digit, a known one behind a capital, or a known one behind
// a hyphen of a name no private one. Most lines are answered here, without GluedFieldStart's look.
bool MayHoldAGluedName(std::string_view text, std::size_t nameLength, bool knownField) {
  using namespace shape_names;
  for (std::size_t colon = FindByteInLine(text, ':', nameLength > 0 ? nameLength + 1 : 0);
       colon != std::string_view::npos; colon = FindByteInLine(text, ':', colon + 1)) {
    if (colon + 1 < text.size() && !IsBlank(text[colon + 1])) continue;
    std::size_t run = colon;
    while (run > 0 && IsNameByte(text[run - 1])) --run;
    for (std::size_t at = run; at < colon; ++at) {
      if (!IsUpper(text[at])) continue;
      if (at > run || at == 0 || !IsBlank(text[at - 1]) || at == nameLength + 2 ||
          FieldNamed(text.substr(at, colon - at)))
        return true;
    }
  }
  if (knownField || nameLength < 3) return false;
  const bool privateName = (text[0] == 'X' || text[0] == 'x') && text[1] == '-';
  return AnyCapitalWhere(text, 1, nameLength, [&](std::size_t at) {
    const bool hump = IsLower(text[at - 1]) || IsDigit(text[at - 1]);
    // A name cut in its capitals runs into a known one too ("Content-T" + "Return-path:").
    // (Not a private name's "X-": "MIM" + "X-Mailer" is one name, and "X-MS-Has" asks nothing.)
    const bool behindCapital = IsUpper(text[at - 1]) && text[at + 1] != '-';
    if (!hump && !behindCapital && (privateName || text[at - 1] != '-')) return false;
    const std::string_view rest = text.substr(at, nameLength - at);
    return IsKnownFieldName(rest) || (hump && IsPrivateFieldName(rest));
  });
}

// Where another block's first line begins inside the header line or fold `text` of this block
// (GluedFieldStart): a mail glued into old header lines, such as a bounce's copy of the returned
// headers or a digest's, that were cut in a value or a name ("To: a.b@" + "Received: from x").
// The old lines end there, as the walk back from the glued block's own lines sees them; npos for
// none.
// `nameLength`: the length of the line's own name, 0 for a line that is no field line.
std::size_t GluedBlockInLine(std::string_view text, std::size_t nameLength, bool knownField) {
  // An old name cut in its capitals makes one name with the glued one ("MIM" + "Received").
  if (!knownField && nameLength > 2 && shape_names::IsUpper(text[1])) {
    const std::size_t cut = old_line_fields::KnownNameBehindCapitals(text.substr(0, nameLength));
    if (cut != std::string_view::npos) return cut;
  }
  if (!MayHoldAGluedName(text, nameLength, knownField)) return std::string_view::npos;
  return GluedFieldStart(text);
}

// Whether the line in front of buffer index `lineStart` holds blanks and tabs alone, one at least.
bool FollowsALineOfBlanks(CarveBuffer buffer, std::size_t lineStart) {
  const std::size_t end = LineEndAbove(buffer, lineStart);
  if (end == kNoLineAbove) return false;
  std::size_t at = end;
  while (at > 0 && (buffer.data[at - 1] == ' ' || buffer.data[at - 1] == '\t')) --at;
  return at < end && at > 0 && buffer.data[at - 1] == '\n';
}

}  // namespace

bool MayBeARunOnValue(std::string_view line) {
  const std::string_view text = TrimWhiteSpace(line);
  if (text.empty()) return false;
  // A boundary line ends a part's header block; it is no value.
  if (text.size() >= 2 && text[0] == '-' && text[1] == '-') return false;
  const char last = text.back();
  if (text.front() >= 'A' && text.front() <= 'Z' && (last == '.' || last == '!' || last == '?'))
    return false;
  // Control bytes are old binary data cut into lines, which no mail program writes into a value.
  return !HoldsNonTextByte(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

namespace {

// Reads the block from `start`, its lines no further than `limit`. `fieldsUpToLimit` tells
// whether the lines ran on to `limit` as field lines and their folds alone: a longer block of
// the same may still name its sender, or end behind a value folded over thousands of lines.
ParsedBlock ReadBlock(CarveBuffer buffer, std::size_t start, std::size_t limit,
                      bool& fieldsUpToLimit) {
  fieldsUpToLimit = false;
  ParsedBlock block;
  HeaderBlockReader reader(buffer, kShapeHeaderRules, limit);
  bool seen[kHeaderFieldCount] = {};
  bool emptySeen[kHeaderFieldCount] = {};  // read once with an empty value
  int passedOverAtEmpty = 0;               // broken and run-on lines passed over by then
  std::string contentType;
  std::size_t position = start;
  bool first = true;
  int malformedLines = 0;
  bool runOnSeen = false;                // one line of prose passed over among the fields
  bool separatorSeen = false;            // ... or one mailbox separator line
  int repeated = 0;                      // From, To, Cc, Date or Subject seen twice
  std::optional<HeaderField> lastField;  // the field of the last field line read
  std::string_view lastText;             // the last line read
  while (position < limit) {
    const std::size_t lineStart = position;
    // A line that ran into the line of blanks a file opens with ends the block, as the walk up
    // from the file's own lines sees it: a digest's entry glued to the mail that overwrote it.
    if (!lastText.empty() && shape_names::IsBlank(lastText.back()) &&
        old_line_fields::EndsInALongRunOfBlanks(lastText)) {
      block.headerEnd = lineStart;
      block.endsWithoutEmptyLine = true;
      break;
    }
    block.stoppedAt = lineStart;
    const HeaderLine line = reader.Look(lineStart);
    if (line.kind == HeaderLineKind::Unreadable) return block;
    lastText = TextOf(buffer, line.line);
    if (first) block.lineFeedOnly = line.line.lineFeedOnly;
    if (line.kind == HeaderLineKind::Empty) {
      if (first) return block;
      block.headerEnd = line.line.next;
      break;
    }
    // A broken line too: old lines cut in a value and glued to by a mail's first line behind a
    // stray byte ("\r" + "zReturn-Path: <...>") are no field lines of their own.
    if (!first && (line.kind == HeaderLineKind::Continuation ||
                   line.kind == HeaderLineKind::Field || line.kind == HeaderLineKind::Other)) {
      // A field line's name ends where the reader found its colon.
      const bool field = line.kind == HeaderLineKind::Field;
      const std::size_t nameLength = field ? line.valueStart - lineStart - 1 : 0;
      const std::size_t glued =
          GluedBlockInLine(TextOf(buffer, line.line), nameLength, field && line.field.has_value());
      // A line garbled among the block's fields passes over as a broken one (the line below
      // is a field line; the one above is the block's own).
      if (glued != std::string_view::npos && line.kind == HeaderLineKind::Other &&
          shape_names::WordInFrontOfAName(TextOf(buffer, line.line), glued) &&
          reader.Look(line.line.next).kind == HeaderLineKind::Field &&
          ++malformedLines <= kMaxMalformedLines) {
        position = line.line.next;
        continue;
      }
      if (glued != std::string_view::npos) {
        block.headerEnd = lineStart + glued;
        block.endsWithoutEmptyLine = true;
        break;
      }
    }
    if (line.kind == HeaderLineKind::Continuation) {
      // Folded into a field that is not kept, or kept already.
      if (first) return block;
      position = line.line.next;
      continue;
    }
    if (line.kind != HeaderLineKind::Field) {
      // Carved and hand-made mail has broken lines among its headers (an unfolded base64 tail,
      // a missing empty line). A few are passed over while header lines go on; otherwise the
      // body has begun without its empty line.
      if (first) return block;
      // Behind a line of blanks alone (read as a fold of the field above) the body has begun:
      // the block's empty line as some mail programs write it, a blank left in it.
      if (FollowsALineOfBlanks(buffer, lineStart)) {
        block.headerEnd = lineStart;
        break;
      }
      const HeaderLine next = reader.Look(line.line.next);
      const HeaderLineKind after = next.kind;
      const bool brokenToken = TextOf(buffer, line.line).find(' ') == std::string_view::npos;
      if (brokenToken &&
          (after == HeaderLineKind::Field || after == HeaderLineKind::Continuation) &&
          ++malformedLines <= kMaxMalformedLines) {
        position = line.line.next;
        continue;
      }
      // A mailbox separator line an exporter put among the fields (the walk up crosses one).
      if (!separatorSeen && after == HeaderLineKind::Field &&
          IsMboxSeparator(TextOf(buffer, line.line))) {
        separatorSeen = true;
        position = line.line.next;
        continue;
      }
      // A value run on without its fold ("and the rest of a subject") in front of From or Date:
      // the block goes on where two field lines follow; one field behind prose is no block.
      const bool fromAndDateSeen = seen[static_cast<std::size_t>(HeaderField::From)] &&
                                   seen[static_cast<std::size_t>(HeaderField::Date)];
      if (!fromAndDateSeen && !runOnSeen && MayBeARunOnValue(TextOf(buffer, line.line)) &&
          after == HeaderLineKind::Field &&
          reader.Look(next.line.next).kind == HeaderLineKind::Field) {
        runOnSeen = true;
        position = line.line.next;
        continue;
      }
      block.headerEnd = lineStart;
      block.endsWithoutEmptyLine = true;
      break;
    }
    // A field the block holds already behind a line of blanks alone begins the body: the
    // header of a mail the body carries whole, behind an empty line that kept a blank.
    if (!first && line.field && seen[static_cast<std::size_t>(*line.field)] &&
        FollowsALineOfBlanks(buffer, lineStart)) {
      block.headerEnd = lineStart;
      break;
    }
    first = false;
    position = line.line.next;
    const std::optional<HeaderField> previousField = std::exchange(lastField, line.field);
    if (!line.field) continue;
    const HeaderField field = *line.field;
    block.hasTrace = block.hasTrace || IsTraceField(field);
    block.hasMimeVersion = block.hasMimeVersion || field == HeaderField::MimeVersion;
    std::string* kept = KeptValueOf(field, block.headers, contentType);
    if (!kept) continue;
    bool& fieldSeen = seen[static_cast<std::size_t>(field)];
    if (fieldSeen) {
      // A long list of recipients is often split over lines of the same field one after the
      // other; a field that comes back after others is text that repeats header lines.
      if (IsAddressingField(field) && previousField != field) ++repeated;
      continue;
    }
    std::size_t valueLine = lineStart;
    HeaderValue value = reader.ReadValue(valueLine, line);
    if (value.text.empty() && !emptySeen[static_cast<std::size_t>(field)]) {
      // A draft's empty field in front of the real one leaves room for it; the later one
      // stands for it only where no broken line was passed over in between.
      emptySeen[static_cast<std::size_t>(field)] = true;
      passedOverAtEmpty = malformedLines + (runOnSeen ? 1 : 0);
      block.stoppedAt = value.lastLineStart;
      position = value.end;
      continue;
    }
    if (emptySeen[static_cast<std::size_t>(field)] &&
        (passedOverAtEmpty != malformedLines + (runOnSeen ? 1 : 0) ||
         (field == HeaderField::From && value.text.find('@') == std::string::npos)))
      continue;
    fieldSeen = true;
    *kept = std::move(value.text);
    block.stoppedAt = value.lastLineStart;
    position = value.end;
  }
  if (block.headerEnd == 0) {
    fieldsUpToLimit =
        position >= limit && malformedLines == 0 && !runOnSeen && !separatorSeen && repeated == 0;
    return block;
  }
  PendingMail& h = block.headers;
  block.hasContentType = !contentType.empty();
  if (!contentType.empty()) SetContentType(h, contentType);
  // From and Date, and enough of what a mail's own header block carries besides: trace lines,
  // an identity, MIME, recipients, a subject, an address, a real date, an empty line after it.
  // Header-like lines in other text rarely have much of that and often repeat themselves.
  if (h.from.empty() || h.date.empty()) return block;
  int score = 0;
  if (block.hasTrace) score += 2;
  if (!h.messageId.empty()) score += 2;
  if (block.hasMimeVersion) score += 2;
  if (!h.to.empty() || !h.cc.empty()) score += 1;
  if (!h.subject.empty()) score += 1;
  if (h.from.find('@') != std::string::npos) score += 1;
  if (!block.endsWithoutEmptyLine) score += 1;
  score -= 2 * repeated;
  // Header lines that run straight into text are a mail only with the marks of a real one.
  if (block.endsWithoutEmptyLine && !block.hasTrace && h.messageId.empty() && !block.hasMimeVersion)
    return block;
  if (score == kMinimumShapeScore - 1) {
    // Only a real date can still tip the balance.
    std::string date = h.date;
    NormaliseDate(date);
    if (date != h.date || ReadsAsShortYearDate(h.date)) score += 1;
  }
  block.valid = score >= kMinimumShapeScore;
  // A block without trace lines or MIME and with little else is a mail only if its text is no
  // more of the same: notes and letters scatter such lines all through.
  constexpr int kScoreOfAWholeHeader = 6;
  if (block.valid && !block.hasTrace && !block.hasMimeVersion && score < kScoreOfAWholeHeader)
    block.valid = !HeaderLinesFollow(buffer, block.headerEnd);
  return block;
}

}  // namespace

bool NamesItsMailProgram(CarveBuffer buffer, std::size_t start, std::size_t headerEnd) {
  std::size_t position = start;
  while (position < headerEnd && position < buffer.size) {
    const Line line = ReadLine(buffer, position);
    const std::string_view text = TextOf(buffer, line);
    if (StartsWithNoCase(text, "X-Mailer:") || StartsWithNoCase(text, "User-Agent:")) return true;
    if (!line.complete) break;
    position = line.next;
  }
  return false;
}

ParsedBlock ParseBlock(CarveBuffer buffer, std::size_t start) {
  bool fieldsUpToLimit = false;
  ParsedBlock block = ReadBlock(buffer, start, std::min(buffer.size, start + kMaxShapeHeaderBlock),
                                fieldsUpToLimit);
  // Signatures and relay lines of big providers fill more than the usual length in front of
  // From or Date now and then, and a pasted subject or a thread's References can fold over
  // thousands of lines behind them. Only a block of nothing but field lines up to there is read
  // on: text that repeats header lines breaks off or repeats itself long before.
  if (fieldsUpToLimit && buffer.size > start + kMaxShapeHeaderBlock)
    block = ReadBlock(buffer, start, std::min(buffer.size, start + kMaxLongHeaderBlock),
                      fieldsUpToLimit);
  return block;
}

}  // namespace quillon
