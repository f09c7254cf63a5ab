// Fast searches through raw source bytes for the few patterns the shape scanner starts from. A
// disk is mostly bytes that are neither text nor a store, so these searches set the pace of the
// scan: they look at 64 or 32 bytes at a time where the processor allows, and for all patterns in
// one pass over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/find/line_break_map.h"

namespace quillon {

// Appends to `anchors`, in order, base + a for every a whose colon a + 4 lies in [begin, end),
// where data[a + 4] is ':', data[a] is 'F', 'f', 'D' or 'd' (where "From:" and "Date:" have
// theirs), and a line break stands in front of a (a > 0 and data[a - 1] is '\n') or base + a is a
// sector start (a multiple of 512). Bytes in front of `begin` are read as far as these need and
// `data` has them.
//
// Appends to `sizeFields`, in order, base + i for every i in [begin, end - 4] with base + i a
// multiple of 4 whose 32-bit little-endian word reads 0x000002xx: the size field of a store block
// header (its data area is 0x200 to 0x2FF bytes).
//
// Sets in `lineBreaks.any` the sector of every CR in [begin, end) that a LF follows, and in
// `lineBreaks.beforeR` that of every such CR whose LF an 'R' or 'r' follows; where the range ends
// before what would tell, the sector is set. A few sectors more may be set. Sets in
// `lineBreaks.nuls` exactly the sectors of the NULs in [begin, end), and in `lineBreaks.dashes`
// those of the '-' bytes there, and more only where a colon or a 0x02 stands in the range (the
// vector steps mark the sectors they look at closely as they come: most hold a dash).
//
// `widest` caps the vector steps used (the processor's widest by default), so that each can be
// held against the others and against one byte at a time.
enum class MarkSteps { Bytes, Sse2, Avx2, Avx512 };
// The widest steps this processor has.
MarkSteps WidestMarkSteps();

void FindMarkPositions(const std::uint8_t* data, std::size_t begin, std::size_t end,
                       std::uint64_t base, std::vector<std::uint64_t>& anchors,
                       std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks = {},
                       MarkSteps widest = MarkSteps::Avx512);

}  // namespace quillon
