// Where the bytes of a mail's text read back came from (see ReadMailText in scan/mail_reader.h).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace quillon {

// Where the bytes of a text read back came from, for reports that must say where each saved byte
// lies in the source. `pieces` follow each other in text order and cover the text: `length`
// bytes from `textOffset` on were read from the source's byte `sourceOffset` on (a store mail's
// text comes in pieces between block headers). `unreadable` holds the text stretches
// [first, second) the source could not give; zeros stand there. A few other bytes may differ
// from the source's (control bytes handed out as blanks, the stray bytes a block header leaves in
// a line), so a reader that needs exact runs compares the text with the source.
struct TextPiece {
  std::uint64_t textOffset = 0;
  std::uint64_t sourceOffset = 0;
  std::uint64_t length = 0;

  bool operator==(const TextPiece&) const = default;
};
struct TextOrigin {
  std::vector<TextPiece> pieces;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> unreadable;
};

}  // namespace quillon
