// Zeroed bytes as the edges of mails: a deleted mail ends at zeroed slack, and a mail around a
// position began behind the last NUL in front of it.
#pragma once

#include <cstdint>

#include "scan/source_bytes.h"

namespace quillon {

// Whether a NUL lies in [from, to). Bytes no longer in `buffer` count as one, so that a
// separated mail is not taken for a quotation.
bool NulBetween(CarveBuffer buffer, std::uint64_t from, std::uint64_t to);

// The earliest position a mail around `at` can begin: behind the last NUL in front of it, as far
// as the buffer reaches back (at most 4 MiB).
std::uint64_t ContainerStartsFrom(CarveBuffer buffer, std::uint64_t at);

}  // namespace quillon
