// The lines at the top of a header block that the walk up (block_context.h) asks about: how a
// field's name is written, the blanks a file opens with, field lines by looser rules, and the
// header line above a value that ran on without its fold.
#pragma once

#include <cstddef>
#include <string_view>

#include "scan/source_bytes.h"

namespace quillon::block_top_lines {

// Whether `name` is written the way a field's name is: one the scan knows, a private one (in
// either letter case: "x-ms-exchange-..."), or a well-formed one.
bool NameAField(std::string_view name);

// How many blanks stand in front of the field at buffer index `field` from `lineStart` on, when
// nothing else does (a file that opens " Return-Path: <a@b.example>"); 0 otherwise.
std::size_t BlanksInFront(CarveBuffer buffer, std::size_t lineStart, std::size_t field);

// The blanks in front of the field at `field` (BlanksInFront) that a file opens with: behind
// a run of zeros or at a sector start, where a file is seen to begin; behind other bytes a blank
// is as likely theirs (UTF-16 text puts a zero in front of each of its blanks).
std::size_t OpeningBlanks(CarveBuffer buffer, std::size_t lineStart, std::size_t field);

// Where a field line by looser rules (LooseHeaderName: "X-Mailer :", a name in 8-bit bytes)
// begins in `line`, from buffer index `previous`, the top line of a block: at its start where a
// file is seen to begin there (behind a line end or zeros, at a sector start), or behind a few
// stray bytes where the name is one the scan knows or a private one ("\xAC5" + "Return-Path :").
// npos for none.
std::size_t LooseFieldStart(CarveBuffer buffer, std::size_t previous, std::string_view line,
                            bool cutByNonText);

// Whether `text`, from a sector start inside an old line on, opens with a field line by looser
// rules whose name is written as a field's is, or begins with an 8-bit byte: old bytes in front
// of a glued name make one name of no such form with it ("cd" + "X-Mailer :").
bool LooseNameAtSector(std::string_view text);

// Whether the line that ends in the line feed in front of buffer index `lineStart` is a header
// line a value run on from: a field line or fold behind a line feed (HeaderLineAbove), a field
// line a file opens with behind zeros or binary bytes, or one glued to old text ("...the letter
// was morni" + "MIME-Version: 1.0"). The line is looked back over once, sixteen bytes a step.
bool RunOnSourceAbove(CarveBuffer buffer, std::size_t lineStart, std::size_t earliest);

}  // namespace quillon::block_top_lines
