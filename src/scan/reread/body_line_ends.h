// Which line end a mail's body is read with, where it ends its lines otherwise than its header
// block does. Private to the re-reader.
#pragma once

#include <string_view>

namespace quillon::mail_reader {

// True when the body's first lines end otherwise than the header block (`headerBlock`, its
// closing empty line left out) and still read as this mail's own text, so that lines ending the
// header block's way are what ends the mail, not the body's. Some mail programs write the header
// block with bare LFs and the body with CR LF, or the other way round; old text behind a mail
// begins behind its body, not at its first line. The body must show it: the opening line of the
// multipart's `boundary` among its first lines, data its declared transfer encoding writes
// (base64, quoted-printable), or a declared text part whose first lines are text written to be
// read. Binary data behind a body cut short ends the lines that speak for it, where those
// read as words. `body` begins with the body's first line.
bool BodyTakesOwnLineEnds(std::string_view headerBlock, std::string_view body,
                          std::string_view boundary, bool headerLineFeedOnly);

}  // namespace quillon::mail_reader
