// Lines of carved text, and what stands in front of a header block: whether the block opens a
// mail of its own (at the start of the source or a sector, behind zeros or binary bytes, behind a
// mailbox separator) or sits inside another mail's body (behind a part's headers, behind a line
// of prose, quoted).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/source_bytes.h"

namespace quillon {

// The longest header block recognised: modern mail carries kilobytes of signatures and trace
// lines before its From.
inline constexpr std::size_t kMaxShapeHeaderBlock = 64 * 1024;
// How far a block of nothing but field lines up to kMaxShapeHeaderBlock is read on.
inline constexpr std::size_t kMaxLongHeaderBlock = 256 * 1024;

// Glued: the block's first line follows other bytes directly, inside a line of them (old data
// in slack in front of a mail): it is told by a field name a header block begins with.
enum class Context {
  SourceStart,
  NonText,
  MidLine,
  TextLine,
  EmptyLine,
  MboxSeparator,
  Header,
  Glued
};

struct BlockStart {
  std::size_t index = 0;  // buffer index of the block's first line
  Context context = Context::TextLine;
  // For Context::EmptyLine: where the empty line starts (also the line end of old text that a
  // sector start makes a file's opening empty line).
  std::size_t emptyLineIndex = 0;
  bool separatorOpensFile = false;  // for Context::MboxSeparator: at a sector, behind zeros...
  std::size_t separatorIndex = 0;   // ... and where the separator line starts
  // Blanks a file opens with in front of the block's first name, where the file is seen to begin
  // (behind binary bytes, at a sector start): they are the first bytes of the mail's text.
  std::size_t openingBlanks = 0;

  // Where the mail's text begins.
  std::size_t TextIndex() const { return index - openingBlanks; }
};

// What an earlier walk found: the block start seen from the line at `line`.
struct BlockStartMemo {
  std::size_t line = SIZE_MAX;
  BlockStart start;
};

// Walks back from the header line at buffer index `lineStart` over the header lines of its block
// (not before `earliest`) to the block's first line, and says what stands in front of it. Old
// bytes that run into the first line's name do not move its start: a file that began at a sector
// inside the name ("X-Ap" + "Received:") begins there, and behind binary bytes a known name
// behind a few stray text bytes ("\x15m" + "Return-Path:") is the line's own. A walk
// that reaches `memo.line` ends there with the memo's answer (the same `buffer` and `earliest`
// give the same one), so that the anchors of one block are not walked back over again.
BlockStart FindBlockStart(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest,
                          const BlockStartMemo& memo = {});

// Where a header line glued to the bytes in front of it begins inside `text` (one line, without
// its line end): at a field name that header blocks carry, written with a capital, behind bytes
// that cannot continue a hyphenated name ("X-Original-To" holds no glued "To"), with a colon and
// a blank (or the line's end) behind it, and not in a list of field names ("h=Date: From:");
// inside the value of a header line only right behind other bytes, not behind a blank; inside the
// line's own name only behind bytes that cannot be a part of one (markup, or base64 with digits or
// of some length: "...IG4NCMime-Version: 1.0"). A time ("13:33:MIME-Version") is no list. The
// leftmost such name counts, a known name before an "X-" one; npos when there is none or when
// `text` is itself a line of that field.
std::size_t GluedFieldStart(std::string_view text);

// Where a field line begins behind the one dash left of a line of old dashes it was glued to
// (the end of a closing boundary line or a rule: "-" + "From: a@b.example"): 1 when `line` is a
// dash and a known or private field's line and `below`, the first byte of the line under it,
// opens a field's name; npos otherwise. A patch's removed line reads the same ("-From: a"), but
// the lines of a patch under it open with a blank, a plus or a minus.
std::size_t FieldBehindALoneDash(std::string_view line, char below);

// Whether a block standing behind `start` begins a mail of its own rather than sitting inside
// another mail's body. `hasTrace`: the block holds a trace line (Received, Return-Path...).
bool StartsAMail(CarveBuffer buffer, const BlockStart& start, bool hasTrace);

// Whether the header block around the trace line at absolute offset `lineStart` sits inside
// another mail: an attached or quoted message, a bounce's copy of the returned headers. False
// when the bytes in front of it are not in `buffer`.
bool TraceLineInsideAnotherMail(CarveBuffer buffer, std::uint64_t lineStart);

}  // namespace quillon
