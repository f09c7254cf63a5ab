// Reads the header lines of a mail the carver has found, one line per call, into a PendingMail,
// and tells when its header block is complete. The lines are read by the header-line reader
// (lines/header_block_reader.h) with the walk's rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/lines/header_text.h"
#include "scan/lines/pending_mail.h"
#include "scan/lines/stepped_bytes.h"
#include "scan/source_bytes.h"

namespace quillon {

enum class HeaderLineResult {
  Nothing,  // the line stored nothing (it may still have consumed a boundary)
  Stored,   // one header value was stored
  Accept,   // the header block is complete: the mail is accepted
};

// Reads the line at `position`. Only the first occurrence of each header counts. Adds to `skip`
// the bytes consumed less one, so that the walk resumes at the line end behind what was read.
// Folded Subject, From, To, Cc and Content-Type values are unfolded; a joined line steps over
// the mail-store block header it runs into exactly as the walk would, and `position` is then the
// line's index in the new bytes.
HeaderLineResult ParseHeaderLine(SteppedBytes& bytes, std::size_t& position, PendingMail& pending,
                                 std::size_t& skip);

}  // namespace quillon
