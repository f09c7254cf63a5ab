#include "scan/shape/block_top_lines.h"

#include <algorithm>

#include "scan/find/line_start.h"
#include "scan/lines/line_reader.h"
#include "scan/shape/block_context.h"
#include "scan/shape/field_names.h"
#include "scan/shape/lines_around_block.h"
#include "scan/shape/old_line_fields.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon::block_top_lines {

using namespace shape_names;

// Whether `name` is written the way a field's name is: one the scan knows, a private one (in
// either letter case: "x-ms-exchange-..."), or a well-formed one.
bool NameAField(std::string_view name) {
  const bool privateName = name.size() > 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '-';
  return privateName || IsKnownFieldName(name) || IsWellFormedName(name);
}

// How many blanks stand in front of the field at buffer index `field` from `lineStart` on, when
// nothing else does (a file that opens " Return-Path: <a@b.example>"); 0 otherwise.
std::size_t BlanksInFront(CarveBuffer buffer, std::size_t lineStart, std::size_t field) {
  if (field <= lineStart) return 0;
  for (std::size_t at = lineStart; at < field; ++at) {
    if (!IsBlank(static_cast<char>(buffer.data[at]))) return 0;
  }
  return field - lineStart;
}

// The blanks in front of the field at `field` (BlanksInFront) that a file opens with: behind
// a run of zeros or at a sector start, where a file is seen to begin; behind other bytes a blank
// is as likely theirs (UTF-16 text puts a zero in front of each of its blanks).
std::size_t OpeningBlanks(CarveBuffer buffer, std::size_t lineStart, std::size_t field) {
  constexpr std::size_t kZeroRun = 4;
  const bool behindZeros = lineStart >= kZeroRun &&
                           std::all_of(buffer.data + lineStart - kZeroRun, buffer.data + lineStart,
                                       [](std::uint8_t byte) { return byte == 0; });
  const bool fileBegins =
      IsSectorStart(buffer.base + lineStart) || behindZeros || (lineStart == 0 && buffer.base == 0);
  return fileBegins ? BlanksInFront(buffer, lineStart, field) : 0;
}

// Where a field line by looser rules (LooseHeaderName: "X-Mailer :", a name in 8-bit bytes)
// begins in `line`, from buffer index `previous`, the top line of a block: at its start where a
// file is seen to begin there (behind a line end or zeros, at a sector start), or behind a few
// stray bytes where the name is one the scan knows or a private one ("\xAC5" + "Return-Path :").
// npos for none.
[[gnu::noinline]] std::size_t LooseFieldStart(CarveBuffer buffer, std::size_t previous,
                                              std::string_view line, bool cutByNonText) {
  // A mailbox separator ("From a@b ...") is none, and the walk meets one above every block of
  // a mailbox: answered without the look.
  if (line.substr(0, 5) == "From ") return std::string_view::npos;
  const bool fileBegins = !cutByNonText || IsSectorStart(buffer.base + previous) ||
                          (previous > 0 && buffer.data[previous - 1] == 0);
  if (fileBegins && LooseHeaderName(line).length > 0) return 0;
  if (!cutByNonText) return std::string_view::npos;
  for (std::size_t at = 1; at <= old_line_fields::kStrayBytes && at < line.size(); ++at) {
    const std::string_view rest = line.substr(at);
    const std::size_t length = LooseHeaderName(rest).length;
    if (length > 0 &&
        (IsKnownFieldName(rest.substr(0, length)) || IsPrivateFieldName(rest.substr(0, length))))
      return at;
  }
  return std::string_view::npos;
}

// Whether `text`, from a sector start inside an old line on, opens with a field line by looser
// rules whose name is written as a field's is, or begins with an 8-bit byte: old bytes in front
// of a glued name make one name of no such form with it ("cd" + "X-Mailer :").
[[gnu::noinline]] bool LooseNameAtSector(std::string_view text) {
  const std::size_t length = LooseHeaderName(text).length;
  return length > 0 &&
         (static_cast<unsigned char>(text[0]) >= 0x80 || NameAField(text.substr(0, length)));
}

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a header
// line a value run on from: a field line or fold behind a line feed (HeaderLineAbove), a field
// line a file opens with behind zeros or binary bytes, or one glued to old text ("...the letter
// was morni" + "MIME-Version: 1.0"). The line is looked back over once, sixteen bytes a step.
bool RunOnSourceAbove(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest) {
  const std::size_t end = LineEndAbove(buffer, lineStart);
  if (end == kNoLineAbove) return false;
  const std::size_t stop = LastLineStop(buffer.data, end - std::min(end, kMaxHeaderLine + 1), end);
  if (stop == kNoLineStop && end > kMaxHeaderLine) return false;
  const std::size_t begin = stop == kNoLineStop ? 0 : stop + 1;
  if (begin < earliest || begin == end) return false;
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  const bool behindLineFeed = stop != kNoLineStop && buffer.data[stop] == '\n';
  if (HeaderNameLength(line) > 0 || (behindLineFeed && IsContinuation(line))) return true;
  return GluedFieldStart(line) != std::string_view::npos;
}

}  // namespace quillon::block_top_lines
