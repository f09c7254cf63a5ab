// The line a file opens with in front of its header block where that line is no field: an
// export's banner, a note, a message counter. Where it is seen, the mail's text begins with it.
#pragma once

#include <cstddef>
#include <string_view>

#include "scan/source_bytes.h"

namespace quillon {

// Whether the line of text from buffer index `begin` to `end` (its line end left out) is the
// first line of a file: a short line of words that is no sentence and holds no field, at a sector
// start or behind zeros, outside a mail store. (Behind a line end such a line is a body's as often,
// the one that introduces a forwarded mail, and the caller asks IntroducesQuotedText too; behind
// binary bytes elsewhere stray text bytes run into it; in a store the cut end of a line that began
// in another block.)
bool FirstLineOfAFile(CarveBuffer buffer, std::size_t begin, std::size_t end);

// Whether the line of text from buffer index `begin` to `end` is a value run on without its fold
// or a base64 token (MayBeARunOnValue, no field, nothing that introduces quoted text or ends as a
// clause; a token holds a digit, '=', '+' or
// '/') that a file opens with, at a sector start or
// behind zeros, outside a mail store: a mail whose first field line lost the line above it to a
// broken fold. The mail's text begins with it where field lines follow.
bool RunOnLineOpensAFile(CarveBuffer buffer, std::size_t begin, std::size_t end);

// Whether `line` (a whole line, old bytes in front of a sector start included) is one that
// introduces a forwarded or quoted mail rather than a banner a file opens with: it ends in a
// run of dashes ("---------- Forwarded message ---------") or says what follows, or it is a
// quoted line or a mailbox separator (">From a@b.example ...") that a sector start cuts.
bool IntroducesQuotedText(std::string_view line);

// Whether `line`, the words a sector start opens inside or behind a line of old text, reads as
// a banner: it begins with a capital or a run of marks ("*** ", "=== ") and holds two words at
// least, in 12 to 60 printable ASCII characters without the end of a sentence inside, and is no
// mailbox separator. (A
// line cut at the sector begins anywhere: "6:50 +0000" of a date, "From a@b.example ..." of a
// separator quoted ">From ".)
bool ReadsAsABanner(std::string_view line);

}  // namespace quillon
