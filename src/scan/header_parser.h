// Reads the header lines of a mail the carver has found, one line per call, into a PendingMail,
// and tells when its header block is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/header_text.h"
#include "scan/pending_mail.h"

namespace quillon {

class UnreadableSectors;

// The bytes being carved: `size` readable bytes from `data`, the first of which lies at the
// absolute source offset `base`. Readers never look past `size`. `unreadable`, where given, says
// which of the zeros stand for sectors the source could not deliver (unreadable_sectors.h).
struct CarveBuffer {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::uint64_t base = 0;
  const UnreadableSectors* unreadable = nullptr;
};

enum class HeaderLineResult {
  Nothing,  // the line stored nothing (it may still have consumed a boundary)
  Stored,   // one header value was stored
  Accept,   // the header block is complete: the mail is accepted
};

// Reads the line at `position`. Only the first occurrence of each header counts. Adds to `skip`
// the bytes consumed less one, so that the walk resumes at the line end behind what was read.
// Folded Subject, From, To, Cc and Content-Type values are unfolded; a mail-store block header
// at the start of a joined line is removed exactly as the walk would remove it.
HeaderLineResult ParseHeaderLine(CarveBuffer buffer, std::size_t position, PendingMail& pending,
                                 std::size_t& skip);

// The value of a "boundary=" parameter: quoted up to its closing quote, unquoted up to ';' or
// white space.
std::string BoundaryParameter(std::string_view afterEquals);

}  // namespace quillon
