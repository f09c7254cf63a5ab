// The one reader of a mail's header lines, for every scanner that reads them (the trace-line
// walk, the shape scan, the re-reader): what a line is (a field the table names, a fold, the
// empty line or boundary line that ends the block), a field's value with the lines folded into
// it (RFC 5322 2.2.3), the 511-byte rule, and the mail-store block headers a folded line runs
// into. Where the walk and the shape scan read by different rules, the rules are a parameter
// (HeaderRules), not a second reader.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/pending_mail.h"
#include "scan/lines/stepped_bytes.h"
#include "scan/source_bytes.h"

namespace quillon {

struct HeaderRules {
  enum class Value {
    // "Name: value" with the blank mail programs write; the value runs to its first control
    // byte and holds at most kMaxLineValue bytes (a longer one reads as empty). The walk's
    // rules, which --strict keeps alone.
    UpToControlByte,
    // Any "Name:" line; the value is the whole line behind the colon, trimmed, up to
    // kMaxUnfoldedValue bytes. Lines are whole lines (ReadLine): one that has no end, or a
    // field line or fold that holds bytes that are no text (a NUL or more than two others),
    // ends what can be read, unless its text stops inside it for good (TextStopInHeaderLine):
    // then the line ends there, the last of a block whose file ended inside it. The shape scan
    // takes carved header blocks as they come.
    WholeLine,
  };
  Value value = Value::UpToControlByte;
  // Only From, To, Cc, Subject and Content-Type take the lines folded into them; otherwise
  // every field does.
  bool unfoldAddressingOnly = true;
  // A folded line that runs into a mail-store block header steps over it, as the walk does.
  bool stepOverBlockHeaders = true;
};

inline constexpr HeaderRules kWalkHeaderRules{HeaderRules::Value::UpToControlByte, true, true};
// The walk's rules over bytes whose block headers are gone already (a mail read back).
inline constexpr HeaderRules kPlainWalkHeaderRules{HeaderRules::Value::UpToControlByte, true,
                                                   false};
inline constexpr HeaderRules kShapeHeaderRules{HeaderRules::Value::WholeLine, false, false};

enum class HeaderLineKind {
  Field,         // "Name:"; by the walk's rules "Name: " with a name the table holds
  Continuation,  // begins with a blank or tab: folded into the field above it
  Empty,         // the empty line that ends the block; by whole-line rules also a byte no
                 // text holds (a NUL) where a line would begin, or a line of such bytes and no
                 // field, also behind a blank that no text follows (the text stops there),
                 // which takes no bytes
  Boundary,      // a boundary line of the multipart the block opens: it ends the block too
  Unreadable,    // whole-line rules only: a line with no end or with bytes that are no text
  Other,
};

struct HeaderLine {
  HeaderLineKind kind = HeaderLineKind::Other;
  std::optional<HeaderField> field;  // Field lines whose name the table holds
  std::size_t valueStart = 0;        // Field lines: index behind "Name:" or "Name: "
  Line line;  // where the line begins; by whole-line rules also its end and what it holds
};

struct HeaderValue {
  std::string text;
  // Where the walk goes on: the byte that stopped the value's last line (or the value's start
  // when its first line was too long), or, by whole-line rules, the start of the next line.
  std::size_t end = 0;
  std::size_t lastLineStart = 0;  // the start of the last line the value was read from
};

class HeaderBlockReader {
 public:
  // Reads the walk's bytes; a folded line that steps over a block header changes them
  // (SteppedBytes::StepOver), and indices from before such a read are stale.
  HeaderBlockReader(SteppedBytes& bytes, const HeaderRules& rules);
  // Reads bytes that hold no block headers, lines of the block no further than index `end`.
  HeaderBlockReader(CarveBuffer buffer, const HeaderRules& rules, std::size_t end);

  // What the line that begins at index `lineStart` is. A `boundary` that is not empty makes its
  // boundary lines Boundary (compared as far as the boundary goes).
  HeaderLine Look(std::size_t lineStart, std::string_view boundary = {}) const;

  // The value of the Field line `line` that begins at `lineStart`, with the lines folded into
  // it where the rules unfold its field. When a folded line steps over a block header,
  // `lineStart` becomes the line's index in the new bytes.
  HeaderValue ReadValue(std::size_t& lineStart, const HeaderLine& line);

  CarveBuffer Bytes() const;

 private:
  bool Unfolds(HeaderField field) const;
  HeaderValue ReadUpToControlByte(std::size_t& lineStart, std::size_t valueStart, bool unfold);
  HeaderValue ReadWholeLine(std::size_t lineStart, const HeaderLine& line) const;
  // A line by whole-line rules (ReadLine), except that one whose text stops inside it ends
  // there, without its line break (HeaderLineCutEnd), and the text is known to stop there.
  Line ReadWholeHeaderLine(CarveBuffer buffer, std::size_t begin) const;

  SteppedBytes* stepped_ = nullptr;
  // The whole line behind a value that its unfolding read and did not take, which the block's
  // reader asks about next. Set by nothing but the shape scan's reads: a reader of the walk's
  // is made for every line, and so is this member.
  mutable std::optional<Line> lastWholeLine_;
  // Where a line was cut because its text stops there: old bytes follow, no line.
  mutable std::size_t textStop_ = static_cast<std::size_t>(-1);

  CarveBuffer plain_;
  HeaderRules rules_;
  std::size_t end_ = 0;
};

// The value a PendingMail keeps a field's first occurrence in; null for the fields that are
// not kept (trace lines, MIME-Version, X-Attachment). Content-Type goes to `contentType`, which
// SetContentType splits later.
std::string* KeptValueOf(HeaderField field, PendingMail& headers, std::string& contentType);

// Splits a Content-Type value into the type and its "boundary=" parameter.
void SetContentType(PendingMail& headers, const std::string& contentType);

}  // namespace quillon
