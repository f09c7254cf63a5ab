// The lines of old bytes a header block's first line may share: where a field's line begins
// inside a line that old text, binary data or the cut name of an old field ran into. Used by
// FindBlockStart to place a block's first line; each returns npos (or 0) for none.
#pragma once

#include <cstddef>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/source_bytes.h"

namespace quillon::old_line_fields {

// Whether the header line at `index`, which follows `prefix` inside a line, is glued to it.
bool GluedAt(CarveBuffer buffer, std::size_t index, std::string_view prefix);

// Text bytes that random binary data leaves in front of a line that follows it.
constexpr std::size_t kStrayBytes = 4;

// Where the header line `line` at buffer index `at` really begins when old bytes run into its
// name ("X-Ap" + "Received:", "\x15m" + "Return-Path:"): at a sector start inside the name behind
// which a known field's name begins, where a file began over the tail of older data; right
// behind binary bytes (`cutByNonText`) also at a known name behind a few text bytes. A private
// name ("X-Account-Key") counts where the line's own name is none. npos where the line's own
// name is a known one or none begins inside it. A name inside another one counts
// only at a capital behind no hyphen ("X-Spam-Status" holds no "Status"), except right behind
// binary bytes, where nothing but the sector start tells.
std::size_t KnownNameInside(CarveBuffer buffer, std::size_t at, std::string_view line,
                            std::size_t nameLength, bool cutByNonText);

// Where a known field's name begins inside `name` behind one to four capitals, what is left of
// an old name cut there (a bounce's or a digest's copy of returned header lines, "MIM" +
// "Received"); npos where it does not, or where the whole is a name of its own. Most names
// have a small second letter or a hyphen and are answered at once.
std::size_t KnownNameBehindCapitals(std::string_view name);

// Where a known field's line begins in `line`, which follows binary bytes, behind a few stray
// text bytes that end in a colon of their own ("'a0:" + "From: a@b.example"), which no name
// and list of names is made of. npos for none.
std::size_t KnownFieldBehindStrayColon(std::string_view line);

// Where a field's line begins at a sector start inside `line`, at buffer index `at`, which no
// header line stands above: a file that begins at a sector shares its first line with the old
// text in front of it ("...@hotm" + "Content-Language: en-US"). Its name is a known, private or
// well-formed one with a blank behind its colon. npos for none.
std::size_t FieldLineAtASector(CarveBuffer buffer, std::size_t at, std::string_view line);

// Where a header line begins inside the fold `line` when no header line stands above the folds:
// an indented line of old text ("    continue the Message-Id: <...>", "  <td>hasreturn-path:
// <...>") that a header line was glued into, or behind whose blanks one begins. npos when there
// is none.
std::size_t FieldInAnOrphanFold(CarveBuffer buffer, std::size_t at, std::string_view line);

// Where a known or private field's line begins at a sector start inside the indented line
// `line`, at buffer index `at`, of old text ("<tr>     " + "Mime-Version: 1.0"): a file that
// begins at a sector shares its first line with whatever stood before it. A fold of a real
// header block cut there holds no such line: its names are those of a signature's list, in lower
// case and run together ("h=...:in-" + "reply-to:"), so the name must be written with a capital,
// stand apart from the bytes in front of it and have a blank behind its colon, and no name a
// list may hold stand in front of it behind a colon (a word of code or prose that ends in one
// lists nothing: "    for row in rows:" + "Received: (from"). npos for none.
std::size_t FieldAtASectorStart(CarveBuffer buffer, std::size_t at, std::string_view line);

// Whether the last sector start inside `line`, at buffer index `at`, is followed by nothing but
// a run of at least `minimum` blanks to the line's end, and preceded by text. An indented line
// of old text (markup, a padded table) may end in many blanks of its own, a line of another
// shape in few.
bool BlanksFromASectorStart(CarveBuffer buffer, std::size_t at, std::string_view line,
                            std::size_t minimum);

// Whether `line` ends in a run of blanks no text line has: the first line of a file that opens
// with a line of blanks, glued to old text.
bool EndsInALineOfBlanks(std::string_view line);

// Whether `line`, a header line or its fold by its shape, ends in a run of blanks far longer than
// the padding such a line may carry: the line of blanks a file opens with, glued to an indented
// line of old text or to an old header line.
bool EndsInALongRunOfBlanks(std::string_view line);

// Whether the header block from buffer index `from` on holds a line of the field `name`.
bool BlockHoldsField(CarveBuffer buffer, std::size_t from, std::string_view name);

// How many lines of the field `name` the header block holds one after the other from buffer
// index `from` on, their folds passed over: a list of recipients split over lines of its field.
std::size_t FieldLinesInARow(CarveBuffer buffer, std::size_t from, std::string_view name);

// Where a field a mail's block holds begins inside the name of the block's first line, glued
// behind a capitalised word of old text ("Fina" + "From:"): a word of letters with a capital
// first and none behind it, then a known name the block holds no line of. 0 for none.
std::size_t FieldBehindAWord(CarveBuffer buffer, std::size_t lineStart);

// Where a known field's name begins inside the name of `top`, the block's topmost line, when the
// line `above` it is a line of base64 and the bytes in front of the name could go on that line
// ("...AHNdkeO4" + CR LF + "TL" + "From: a@b.example"): an attachment's last line cut short and
// glued to the first line of a file that overwrote the rest. npos for none.
std::size_t KnownNameBehindABase64Tail(std::string_view above, std::string_view top);

// The line at buffer index `lineStart`, without its line end (up to kMaxHeaderLine bytes).
std::string_view TopLine(CarveBuffer buffer, std::size_t lineStart);

// Where the block's topmost header line at buffer index `lineStart` really begins when its name
// is none a list knows and old bytes ran into it ("x7" + "Thread-Topic"): at the well-formed
// name inside, not before `from` bytes into the line; npos where its name is known, private or
// well-formed itself. `behindProse`: the line above is one of prose, whose last word may run
// into the name ("Ca" + "Originator"), which behind binary bytes is one name ("ExtLoop1").
std::size_t WellFormedNameInsideTopLine(CarveBuffer buffer, std::size_t lineStart,
                                        std::size_t from = 1, std::size_t to = kMaxHeaderLine,
                                        bool behindProse = false);

// Where a hyphenated field written in lower case begins inside `line`, the line right above a
// header block (one line, without its line end), where old bytes ran into it: a name a list
// knows with a value in the field's own grammar ("Content-transfer-encod" + "return-path:
// <a@b.example>"), or a known or private one whose value is one address ("...quarter at " +
// "delivered-to: a@b.example", "...fore" + "x-original-to: a@b.example"), which prose and markup
// seldom end a line with. Inside a header line's value only right behind other bytes. The
// leftmost such start; npos for none and where `line` is itself a line of that field.
std::size_t LowerCaseFieldRunInto(std::string_view line);

// Where a header block written in lower case throughout begins inside `line`, glued to old text
// behind a blank or a mark ("...such yellow figure and " + "in-reply-to: 0002", "...09 01:" +
// "in-reply-to: 0002"), where the line at buffer index `lineStart` under it is a field line of
// the same hand ("message-id: 0020"): a hyphenated name a list knows, written in lower case, not
// in a list of names, with a value behind its colon and blank, over a hyphenated name in lower
// case that a list knows too. Prose that names a field in passing has no such line under it; a
// value in the field's own grammar is not asked for, as a block written that way may hold any.
// npos for none.
std::size_t LowerCaseBlockGluedInto(CarveBuffer buffer, std::string_view line,
                                    std::size_t lineStart);

// Whether the known or private field `candidate` at `name` in `text` follows the value of an old
// content field cut right behind a parameter's semicolon ("Content-Type: text/plain; " +
// "X-UIDL: 1204538403"): a parameter is an attribute and a value joined by "=", never a name and
// a colon. `ownName`: the length of the old line's name.
bool FieldBehindAParameterSemicolon(std::string_view text, std::size_t ownName, std::size_t name,
                                    std::string_view candidate);

}  // namespace quillon::old_line_fields
