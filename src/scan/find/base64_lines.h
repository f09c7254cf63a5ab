// The lines of a base64 attachment taken in one step: most of a mail with a photo or a document
// attached is lines of base64 characters, which tell nothing but their number of characters,
// and handing them one by one to the body steps cost more than all the rest of the scan.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

struct Base64Lines {
  std::size_t end = 0;    // the start of the first line not taken (`begin` when none was)
  std::size_t lines = 0;  // lines taken
};

// From `begin`, a line start, the lines that hold nothing but base64 characters (A-Z, a-z, 0-9,
// '+', '/'), at least one and fewer than `maxLine`, each ended by CR LF before `limit`. The run
// stops before the first other line (an empty one, a boundary, '=' padding, a bare line feed)
// and hands back lines near its end: every line taken is followed by at least `clearAhead`
// bytes of lines taken, so that whatever a reader looks for within that reach of a line start
// (a mail-store block header) would have stopped the run too.
Base64Lines TakeBase64Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                            std::size_t maxLine, std::size_t clearAhead);

// The same, a byte at a time: the reference the fast one is tested against.
Base64Lines TakeBase64LinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                                 std::size_t maxLine, std::size_t clearAhead);

}  // namespace quillon
