// Which bytes of a mail the duplicate marker prints, and the print of such a stretch. A print is
// a pure function of the source bytes it was made of, from its first byte up to its bound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/mail_record.h"
#include "scan/merge/mail_print.h"
#include "scan/source_bytes.h"

namespace quillon {

// The most of a mail's text that is printed: a text running on further is printed this far and
// tells apart only there.
inline constexpr std::size_t kLongestPrintedText = 1024 * 1024;
// The most of a text printed where the scan has not yet seen how far the mail goes.
inline constexpr std::size_t kLongestUnendedText = 128 * 1024;

// Which bytes of a mail are printed: from the absolute byte `start` up to `limit` (or to where a
// byte that is no text ends it first), and whether the scan saw the mail end there.
struct PrintBounds {
  std::uint64_t start = 0;
  std::uint64_t limit = 0;
  bool open = false;  // `limit` is only how far the scan followed the mail
};

// The bounds of `record`'s text when it lies where `extent` says (its own extent, or the one the
// merge is expected to give it). Not for a store's mail, which is read through its chain.
PrintBounds BoundsToPrint(const MailRecord& record, const MailExtent& extent);
// The same for a mail whose record is not built yet: what its body steps learned, and where it
// was found (its StartByte).
PrintBounds BoundsToPrint(const BodyFacts& body, const MailExtent& extent, std::uint64_t found);

// A print of the text between two absolute positions.
struct TextPrint {
  std::uint64_t start = 0;
  std::uint64_t limit = 0;
  bool stepped = false;  // block headers were stepped over: the text lies in no buffer
  std::size_t size = 0;  // of the text read
  bool hasText = false;  // a text was read at all (`start` before `limit`)
  MailPrint print;       // `open` left unset: it is the mail's, not the bytes'
};

// The print of the text from the absolute byte `start` of `buffer` up to `limit`, both within
// it, as TextFrom reads it.
TextPrint PrintTextAt(CarveBuffer buffer, std::uint64_t start, std::uint64_t limit);

}  // namespace quillon
