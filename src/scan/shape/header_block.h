// Reads a header block the shape scan has found the start of: its lines up to the empty line
// that ends them, the fields a mail record keeps, and whether the block looks like a mail's own.
// The lines are read by the header-line reader (lines/header_block_reader.h) with the shape
// scan's rules.
#pragma once

#include <cstddef>
#include <string_view>

#include "scan/lines/pending_mail.h"
#include "scan/source_bytes.h"

namespace quillon {

struct ParsedBlock {
  bool valid = false;
  std::size_t stoppedAt = 0;  // where reading the lines stopped
  std::size_t headerEnd = 0;
  bool endsWithoutEmptyLine = false;  // the body follows the last header line directly
  bool hasMimeVersion = false;
  bool hasContentType = false;  // a Content-Type line: MIME without its version line
  bool lineFeedOnly = false;
  bool hasTrace = false;
  PendingMail headers;
};

// Whether `line`, no field line, may be a value run on without its fold among header lines
// ("and the rest of a subject", "=?utf-8?q?tail?="): not a sentence of prose of its own, which
// opens with a capital and ends with a full stop, and which text puts between header-like lines,
// nor a boundary line ("--" first) or a line that holds control bytes.
bool MayBeARunOnValue(std::string_view line);

// Reads the header lines from buffer index `start` to the empty line that ends them, at most
// kMaxShapeHeaderBlock bytes of them, or kMaxLongHeaderBlock where every line up to the first
// bound is a field line or a fold (a sender far down, a value folded over thousands of lines,
// behind From and Date or in front of them). The first
// occurrence of a field counts, except one read empty (a draft's "From: "): the same field later
// in the block, behind no line that is no field, stands for it.
ParsedBlock ParseBlock(CarveBuffer buffer, std::size_t start);

// Whether the header block from buffer index `start` to `headerEnd` names the program that wrote
// it (X-Mailer, User-Agent) on a line of its own: only a mail program puts that in a header
// block, where lines quoted in prose or a note's From and Date lines have none.
bool NamesItsMailProgram(CarveBuffer buffer, std::size_t start, std::size_t headerEnd);

}  // namespace quillon
