// Zeroed bytes as the edges of mails: a deleted mail ends at zeroed slack, and a mail around a
// position began behind the last NUL in front of it. A stray NUL inside a line of text (one a
// mail program let into a field or a body line: IsStrayNul) is no such edge.
#pragma once

#include <cstdint>
#include <optional>

#include "scan/source_bytes.h"

namespace quillon {

// Whether a NUL that is no stray one lies in [from, to). Bytes no longer in `buffer` count as one,
// so that a separated mail is not taken for a quotation. Where the buffer's sectors tell which
// may hold a NUL (unreadable_sectors.h), only those are read.
bool NulBetween(CarveBuffer buffer, std::uint64_t from, std::uint64_t to);

// The earliest position a mail around `at` can begin: behind the last NUL in front of it that is
// no stray one, as far
// as the buffer reaches back (at most 4 MiB). Where the buffer's sectors tell which may hold a
// NUL (unreadable_sectors.h), only those are read.
std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at);

// ContainerStartsFrom for positions asked in ascending order, as the merger decides its finds:
// it remembers the last NUL of the bytes it has looked at, so each byte is looked at once rather
// than up to 4 MiB on every call (in a mailbox without NULs, every quoted or attached message
// looked that far back). The bytes behind the walk no longer change, so what was looked at
// stays true; a position behind the last one asked starts afresh.
class ContainerStartFinder {
 public:
  std::uint64_t StartsFrom(CarveBuffer buffer, std::uint64_t at);

 private:
  bool valid_ = false;
  std::uint64_t lookedFrom_ = 0;  // [lookedFrom_, lookedTo_) was looked at
  std::uint64_t lookedTo_ = 0;
  std::optional<std::uint64_t> lastNul_;  // the last NUL in it
};

}  // namespace quillon
