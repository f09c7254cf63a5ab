#include "scan/shape/block_context.h"

#include <algorithm>
#include <cstring>

#include "scan/find/line_start.h"
#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"
#include "scan/shape/block_top_lines.h"
#include "scan/shape/field_names.h"
#include "scan/shape/file_first_line.h"
#include "scan/shape/header_block.h"
#include "scan/shape/lines_around_block.h"
#include "scan/shape/old_line_fields.h"
#include "scan/shape/orphan_folds.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

namespace {

using namespace shape_names;

// The length of the field's name `line` opens with; 0 for none. A name that ends in a quote
// mark is a data file's key ("id": 4422,), however much of it is cut off in front, which no mail
// program writes: such a line is no header line whose folds the lines below it would be, nor one
// a file opens with.
std::size_t FieldNameLength(std::string_view line) {
  const std::size_t length = HeaderNameLength(line);
  return length > 0 && line[length - 1] == '"' ? 0 : length;
}

}  // namespace

using namespace old_line_fields;
using namespace block_top_lines;

BlockStart FindBlockStart(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest,
                          const BlockStartMemo& memo) {
  std::size_t current = lineStart;
  // The folds passed above the topmost header line: old text a header line may be glued into.
  OrphanFolds folds;
  bool runOnCrossed = false;      // one line of prose among the fields passed over
  bool separatorCrossed = false;  // ... or one mailbox separator line
  bool garbledCrossed = false;    // ... or one line garbled in front of a field's name
  while (true) {
    if (current == memo.line) return memo.start;
    if (current == 0) {
      return {current, buffer.base == 0 ? Context::SourceStart : Context::MidLine, 0};
    }
    const std::uint8_t before = buffer.data[current - 1];
    if (before != '\n') {
      if (!IsTextByte(before)) return {current, Context::NonText, 0};
      // Inside a header line or its fold ("h=From:To:Date" in a signature) the block goes on.
      const std::string_view prefix = TextBefore(buffer, current);
      // A line with an empty value ("Status:") ends where the next one, glued to it, begins.
      const std::size_t prefixName = HeaderNameLength(prefix);
      if (prefixName > 0 && prefixName + 1 == prefix.size() && GluedAt(buffer, current, prefix))
        return {current, Context::Glued, 0};
      if (prefixName > 0 || IsContinuation(prefix)) return {current, Context::Header, 0};
      // A file that begins at a sector shares its first line with whatever stood before it.
      if (IsSectorStart(buffer.base + current)) return {current, Context::MidLine, 0};
      if (GluedAt(buffer, current, prefix)) return {current, Context::Glued, 0};
      return {current, Context::MidLine, 0};
    }
    std::size_t contentEnd = current - 1;
    if (contentEnd > 0 && buffer.data[contentEnd - 1] == '\r') --contentEnd;
    const std::size_t lookFloor = contentEnd > kMaxHeaderLine ? contentEnd - kMaxHeaderLine : 0;
    const std::size_t stop = LineStopOverStrayBytes(buffer, lookFloor, contentEnd);
    const std::size_t previous = stop == kNoLineStop ? lookFloor : stop + 1;
    const bool cutByNonText = stop != kNoLineStop && buffer.data[stop] != '\n';
    const std::string_view line(reinterpret_cast<const char*>(buffer.data + previous),
                                contentEnd - previous);
    if (line.empty()) {
      if (const std::size_t foldField = folds.Field(buffer); foldField != std::string_view::npos)
        return {foldField, Context::Glued, 0};
      if (const std::size_t word = FieldBehindAWord(buffer, current); word != 0)
        return {current + word, Context::Glued, 0};
      return {current, Context::EmptyLine, previous};
    }
    if (previous < earliest || contentEnd - previous >= kMaxHeaderLine)
      return {current, Context::TextLine, 0};
    const std::size_t nameLength = FieldNameLength(line);
    // Most lines hold no sector start and end in no blank: the looks for a file that begins
    // inside the line, or for the line of blanks one opens with, are not asked of them.
    const bool sectorInLine =
        SectorStartFrom(buffer.base + previous + 1) < buffer.base + contentEnd;
    const bool endsInABlank = IsBlank(line.back());
    // Old bytes run into the block's first line ("...the POWERMAMIME-Version: 1.0"), also where
    // they make its start look like a name of a field of its own ("<brReturn-Path:").
    // A first line written in lower case is glued the same way ("...can has" + "return-path:"),
    // also where a sector start in it would otherwise begin a file of its own.
    std::size_t glued = GluedFieldStart(line);
    if (glued == std::string_view::npos && line.front() == '-')
      glued = FieldBehindALoneDash(line, static_cast<char>(buffer.data[current]));
    // (An indented line is read for one only where no header line stands above it: the folds of
    // every block pass here.)
    if (glued == std::string_view::npos && nameLength == 0 && !IsContinuation(line))
      glued = std::min(LowerCaseFieldGluedInto(line), LowerCaseFieldRunInto(line));
    // ... and behind a blank or a mark where the block below is written in lower case too.
    if (glued == std::string_view::npos && nameLength == 0 && !IsContinuation(line))
      glued = LowerCaseBlockGluedInto(buffer, line, current);
    const bool gluedLine = glued != std::string_view::npos;
    const bool header = nameLength > 0 && !gluedLine;
    // Behind binary bytes and a few stray text bytes the line is the file's first all the same.
    if (gluedLine && cutByNonText && glued <= kStrayBytes &&
        SectorStartFrom(buffer.base + previous + 1) > buffer.base + previous + glued) {
      BlockStart start{previous + glued, Context::NonText, 0};
      start.openingBlanks = OpeningBlanks(buffer, previous, previous + glued);
      return start;
    }
    if (cutByNonText) {
      const std::size_t stray = KnownFieldBehindStrayColon(line);
      if (stray != std::string_view::npos &&
          SectorStartFrom(buffer.base + previous + 1) > buffer.base + previous + stray)
        return {previous + stray, Context::NonText, 0};
    }
    // Some mails open with a line of blanks; behind zeros or binary bytes it is no fold of a
    // header above but the file's first line, and the block begins below it.
    if (!header && cutByNonText && TrimWhiteSpace(line).empty())
      return {current, Context::NonText, 0};
    if (header) {
      // Base64 or other old bytes without a blank run into a lower-case first line and make one
      // name of the two ("...QfypTX7" + "mime-version: 1.0").
      if (!NameAField(line.substr(0, nameLength))) {
        if (const std::size_t lower = LowerCaseFieldGluedInto(line); lower < nameLength)
          return {previous + lower, Context::Glued, 0};
      }
      // ... and where they make one well-formed name of the two ("Phon" + "return-path:").
      if (const std::size_t lower = LowerCaseFieldRunInto(line); lower != std::string_view::npos)
        return {previous + lower, Context::Glued, 0};
      const std::size_t inside = KnownNameInside(buffer, previous, line, nameLength, cutByNonText);
      if (inside != std::string_view::npos) {
        const bool atSector = IsSectorStart(buffer.base + previous + inside);
        return {previous + inside, atSector ? Context::MidLine : Context::NonText, 0};
      }
      // ... and where an old name was cut in its capitals ("MIM" + "Received: from").
      // (Most names have a small second letter: answered without the look.)
      if (const std::size_t cut = nameLength > 2 && IsUpper(line[1])
                                      ? KnownNameBehindCapitals(line.substr(0, nameLength))
                                      : std::string_view::npos;
          cut != std::string_view::npos)
        return {previous + cut, Context::Glued, 0};
      // A file that begins at a sector inside the value of an old header line
      // ("Content-Disposition: attachme" + "Importance: normal").
      const std::size_t inValue =
          sectorInLine ? FieldAtASectorStart(buffer, previous, line) : std::string_view::npos;
      if (inValue != std::string_view::npos && inValue > previous + nameLength)
        return {inValue, Context::MidLine, 0};
    }
    // A file that opens with a line of blanks at a sector start, behind a line of old text
    // rather than a header line whose fold it could be or the separator of a mailbox that holds
    // the mail: the block begins below it.
    if (!header && IsBlank(line.front()) && IsSectorStart(buffer.base + previous) && !gluedLine &&
        TrimWhiteSpace(line).empty() && !HeaderLineAbove(buffer, previous, earliest) &&
        !SeparatorAbove(buffer, previous))
      return {current, Context::NonText, 0};
    if (header || (IsContinuation(line) && !gluedLine)) {
      // A file that opens at a sector with a line of blanks, inside an indented line of old
      // text or one whose name no field is written with ("http://a.example/x"): the block
      // begins below it.
      constexpr std::size_t kBlanksBehindIndentedText = 32;
      constexpr std::size_t kBlanksBehindOtherText = 8;
      if (sectorInLine && (endsInABlank || line.back() == '\r') &&
          (!header || !NameAField(line.substr(0, nameLength))) &&
          BlanksFromASectorStart(buffer, previous, line,
                                 header ? kBlanksBehindOtherText : kBlanksBehindIndentedText))
        return {current, Context::NonText, 0};
      // An indented line of old text, or an old header line, runs into the line of blanks a
      // file opens with: the block begins below it.
      if (endsInABlank && EndsInALongRunOfBlanks(line)) return {current, Context::Glued, 0};
      // ... as does old text that reads as a field only by a colon in it (`src="http://`),
      // behind fewer: no field is written with such a name.
      if (endsInABlank && header && EndsInALineOfBlanks(line) &&
          !NameAField(line.substr(0, nameLength)))
        return {current, Context::Glued, 0};
      current = previous;
      if (header) {
        folds.Clear();
      } else if (const std::size_t sector = sectorInLine
                                                ? FieldAtASectorStart(buffer, previous, line)
                                                : std::string_view::npos;
                 sector != std::string_view::npos) {
        return {sector, Context::MidLine, 0};
      } else {
        folds.Add(previous, line);
      }
      if (const std::size_t foldField = cutByNonText ? folds.Field(buffer) : std::string_view::npos;
          foldField != std::string_view::npos) {
        BlockStart start{foldField, Context::Glued, 0};
        start.openingBlanks = OpeningBlanks(buffer, previous, foldField);
        return start;
      }
      // Behind binary bytes a few stray text bytes may run into a name no list knows.
      if (cutByNonText && header) {
        const std::size_t inName = WellFormedNameInsideTopLine(buffer, current, 1, kStrayBytes);
        if (inName != std::string_view::npos) return {current + inName, Context::NonText, 0};
        // ... and more of them where an 8-bit byte among them tells them from a name's words
        // ("P5\x99\x8a(n\x9e" + "Content-Duration:"): a name in another language has its
        // 8-bit letters inside its words, not in front of a well-formed name of its own.
        const std::size_t further = WellFormedNameInsideTopLine(buffer, current, kStrayBytes + 1);
        if (further != std::string_view::npos &&
            HoldsEightBitByte(
                std::string_view(reinterpret_cast<const char*>(buffer.data + current), further)))
          return {current + further, Context::Glued, 0};
      }
      if (cutByNonText) return {current, header ? Context::NonText : Context::TextLine, 0};
      if (previous == 0 && buffer.base == 0) return {current, Context::SourceStart, 0};
      continue;
    }
    // A banner's line stands right above the block's first line, not above folds of old text.
    const bool noFoldsPassed = !gluedLine && folds.Empty();
    // A separator line a mailbox quoted (">From ...") with a field line right above it stands
    // among the fields: the block goes on above it.
    if (line.front() == '>' && !gluedLine && !separatorCrossed &&
        IsMboxSeparator(line.substr(std::min(line.find_first_not_of('>'), line.size()))) &&
        FieldLineAbove(buffer, previous)) {
      separatorCrossed = true;
      current = previous;
      continue;
    }
    // A line of prose that begins "From " holds no separator's date where a field is glued to it.
    if (IsMboxSeparator(line) && !gluedLine) {
      // A separator that opens a sector, or follows zeros or binary bytes, opens a mailbox file.
      const bool opensFile = IsSectorStart(buffer.base + previous) || cutByNonText ||
                             (previous == 0 && buffer.base == 0);
      // One with a header line right above it, no empty line between, is a line an exporter
      // put among the fields: the block goes on above it.
      if (!opensFile && !separatorCrossed && FieldLineAbove(buffer, previous)) {
        separatorCrossed = true;
        current = previous;
        continue;
      }
      return {current, Context::MboxSeparator, 0, opensFile, previous};
    }
    // A file that begins at a sector behind unrelated text shares its first line with it.
    // A glued name cut by a sector start is still the glued one.
    const std::size_t gluedNameEnd =
        gluedLine ? previous + glued + HeaderNameLength(line.substr(glued)) : 0;
    for (std::size_t sector =
             static_cast<std::size_t>(SectorStartFrom(buffer.base + previous + 1) - buffer.base);
         sector < contentEnd; sector += kSectorSize) {
      // A mailbox file that begins at the sector opens with its separator line; one behind
      // nothing but quote marks is a body line that a mailbox quoted (">" + "From a@b ...").
      if (!gluedLine && IsMboxSeparator(line.substr(sector - previous)) &&
          line.find_first_not_of('>') < sector - previous)
        return {current, Context::MboxSeparator, 0, true, sector};
      if (gluedLine && sector > previous + glued && sector < gluedNameEnd) continue;
      // A file that opens with blanks at the sector in front of the glued name begins there.
      if (gluedLine && BlanksInFront(buffer, sector, previous + glued) > 0) {
        BlockStart start{previous + glued, Context::MidLine, 0};
        start.openingBlanks = previous + glued - sector;
        return start;
      }
      const std::size_t sectorName = FieldNameLength(line.substr(sector - previous));
      // Nor is a sector start in the old bytes whose run of name bytes swallows the glued name
      // ("marb" + "Return-Path:").
      if (gluedLine && sector < previous + glued && sector + sectorName > previous + glued)
        continue;
      // The same for a glued name no list knows ("...CB+CbGx" + "Importance:").
      if (!gluedLine && sector + sectorName > previous) {
        const std::size_t unknown = WellFormedFieldGluedInto(line);
        if (unknown != std::string_view::npos && sector < previous + unknown &&
            sector + sectorName > previous + unknown)
          continue;
      }
      // A sector start in a line that holds a glued name opens no file where what stands there
      // is no name a field is written with: old bytes in front of it ("...Dispo" + "sition:
      // inli" + "From:"), or the glued line's own value ("...: hq.pro-ns." + "net: Host").
      if (gluedLine && sectorName > 0 && !NameAField(line.substr(sector - previous, sectorName)))
        continue;
      // Nor where it cuts the glued line's own name and leaves the tail of an old one, no name
      // a list knows ("X-" + "Microsoft-Exchange-Diagnostics: 1;...+n" + "Date:"): the glued
      // field is the mail's first line, not a file's that opened with a cut name.
      if (gluedLine && sector > previous && sector < previous + nameLength &&
          sector + sectorName == previous + nameLength &&
          !IsKnownFieldName(line.substr(sector - previous, sectorName)) &&
          !IsPrivateFieldName(line.substr(sector - previous, sectorName)))
        continue;
      if (sectorName > 0 || (!gluedLine && LooseNameAtSector(line.substr(sector - previous))))
        return {sector, Context::MidLine, 0};
      // A file that opens at the sector with a line of blanks: the block begins below it.
      if (TrimWhiteSpace(line.substr(sector - previous)).empty())
        return {current, Context::NonText, 0};
      // ... or with an export's banner, a line of words: the mail's text begins with it.
      if (noFoldsPassed && FirstLineOfAFile(buffer, sector, contentEnd) &&
          ReadsAsABanner(line.substr(sector - previous)) && !IntroducesQuotedText(line)) {
        BlockStart start{current, Context::NonText, 0};
        start.openingBlanks = current - sector;
        return start;
      }
      // ... or with a run-on value or token right above two field lines, behind binary bytes
      // (behind a line end or text it is as likely a line of old text that a sector cuts; with
      // binary bytes behind the sector start the mail's own first byte is not seen).
      if (cutByNonText && noFoldsPassed && !gluedLine &&
          RunOnLineOpensAFile(buffer, sector, contentEnd) &&
          HoldsEightBitByte(line.substr(0, sector - previous)) &&
          !HoldsEightBitByte(line.substr(sector - previous)) &&
          FieldLinesFrom(buffer, current, 2)) {
        BlockStart start{current, Context::NonText, 0};
        start.openingBlanks = current - sector;
        return start;
      }
    }
    // A field line by looser rules ("X-Mailer :", a name in 8-bit bytes) is the block's too,
    // also where a sector starts inside it and no file begins there (the look above): where a
    // line of a mail's header block lies on the disk is no sign that it is old text.
    if (!gluedLine) {
      const std::size_t loose = LooseFieldStart(buffer, previous, line, cutByNonText);
      if (loose != std::string_view::npos && loose > 0)
        return {previous + loose, Context::NonText, 0};
      if (loose == 0) {
        current = previous;
        folds.Clear();
        if (cutByNonText) return {current, Context::NonText, 0};
        if (previous == 0 && buffer.base == 0) return {current, Context::SourceStart, 0};
        continue;
      }
    }
    // A word garbled in front of a field's name between field lines ("quite " + "Delivered-To:
    // a@b") leaves the line one of the block's: the block goes on above it.
    if (gluedLine && !garbledCrossed && nameLength == 0 && WordInFrontOfAName(line, glued) &&
        (HeaderLineAbove(buffer, previous, earliest) || FieldLineAbove(buffer, previous)) &&
        FieldLinesFrom(buffer, current, 1)) {
      garbledCrossed = true;
      current = previous;
      folds.Clear();
      continue;
    }
    if (gluedLine) return {previous + glued, Context::Glued, 0};
    if (const std::size_t foldField = folds.Field(buffer); foldField != std::string_view::npos)
      return {foldField, Context::Glued, 0};
    // A value run on without its fold ("and the rest of a subject" above From): the block goes
    // on above it where a header line stands there and two field lines below; one field behind
    // a line of prose is no block. The line above may be the file's first, behind zeros or
    // binary bytes ("MIME-Version: 1.0" at a cluster's start), or glued to old text.
    if (!runOnCrossed && !cutByNonText && MayBeARunOnValue(line) &&
        RunOnSourceAbove(buffer, previous, earliest) && FieldLinesFrom(buffer, current, 2)) {
      runOnCrossed = true;
      current = previous;
      continue;
    }
    if (endsInABlank && EndsInALineOfBlanks(line)) return {current, Context::Glued, 0};
    // Behind a line of prose the last word of old text may run into the block's first line.
    if (const std::size_t word = FieldBehindAWord(buffer, current); word != 0)
      return {current + word, Context::Glued, 0};
    if (const std::size_t tail = KnownNameBehindABase64Tail(line, TopLine(buffer, current));
        tail != std::string_view::npos)
      return {current + tail, Context::Glued, 0};
    // A field no list here knows may open the block all the same, glued to the old line above
    // or to old bytes in front of its own name.
    if (const std::size_t inLine = WellFormedFieldGluedInto(line); inLine != std::string_view::npos)
      return {previous + inLine, Context::Glued, 0};
    if (const std::size_t inName =
            WellFormedNameInsideTopLine(buffer, current, 1, kMaxHeaderLine, true);
        inName != std::string_view::npos)
      return {current + inName, Context::Glued, 0};
    if (const std::size_t atSector = FieldLineAtASector(buffer, current, TopLine(buffer, current));
        atSector != std::string_view::npos)
      return {current + atSector, Context::MidLine, 0};
    // A file's own first line that is no field: the mail's text begins with it. Behind a line
    // end only where it opens a sector and introduces no quoted mail.
    if ((cutByNonText || (noFoldsPassed && IsSectorStart(buffer.base + previous))) &&
        FirstLineOfAFile(buffer, previous, contentEnd) &&
        (cutByNonText || (ReadsAsABanner(line) && !IntroducesQuotedText(line)))) {
      BlockStart start{current, Context::NonText, 0};
      start.openingBlanks = current - previous;
      return start;
    }
    // A file that opens with an empty line at a sector start, behind old bytes that ran up to the
    // sector without a line end of their own. Behind binary bytes the block begins below it, as
    // below a line of blanks there; behind a line of text it is as likely a body's line end above
    // a forwarded header, and the block's own marks decide, as below an empty line that opens a
    // sector. Never below a line that introduces a forwarded mail.
    if (noFoldsPassed && IsSectorStart(buffer.base + contentEnd) && !IntroducesQuotedText(line)) {
      if (cutByNonText) return {current, Context::NonText, 0};
      return {current, Context::EmptyLine, contentEnd};
    }
    return {current, Context::TextLine, 0};
  }
}

}  // namespace quillon
