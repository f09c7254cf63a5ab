// Follows the body of a mail the shape scan found: collects its text and parts and finds where
// it ends (a NUL, its closing boundary, binary bytes, an mbox separator).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/read/store_chain.h"
#include "scan/shape/shape_scanner.h"
#include "scan/source_bytes.h"

namespace quillon {

// Follows the candidate's body from the end of its header block, as far as `limit` (an absolute
// offset: where the next mail begins) and the buffer reach: collects its text and parts and
// finds where it ends (a NUL, its closing boundary, binary bytes, an mbox separator).
// `ansiCodePage` is the code page of 8-bit text without a charset, here and below.
void FollowShapeBody(CarveBuffer buffer, ShapeCandidate& candidate, std::uint64_t limit,
                     int ansiCodePage);

// The absolute byte before which FollowShapeBody reads every byte it looks at, for a header block
// ending at `headerEnd` and the next mail beginning at `limit`: two buffers that both reach this
// far (and begin before the block) give the same body.
std::uint64_t FollowReach(std::uint64_t headerEnd, std::uint64_t limit);

// Reads the chain of a store mail whose body is awaited again and follows its body.
void FollowStoreBody(const SourceBytesReader& read, ShapeCandidate& candidate, int ansiCodePage);

// Where a multipart mail ends: behind the line "--boundary--", or at a NUL before it (the zeros
// of sectors that could not be read do not count).
std::uint64_t MultipartEnd(CarveBuffer buffer, std::size_t bodyStart, const std::string& boundary,
                           MultipartEndSearch& search);

// Puts zeros behind a store message's text, so that line readers stop there; returns the text's
// length.
std::size_t PadForReading(std::string& text);
// A store message's assembled text, padded by PadForReading, as bytes a line reader reads.
CarveBuffer TextBuffer(std::string& text);

// Follows the body from buffer index `headerEnd` (behind the header block) up to index `limit`.
void FollowBody(CarveBuffer buffer, ShapeCandidate& candidate, std::size_t headerEnd,
                bool endsWithoutEmptyLine, std::size_t limit, int ansiCodePage);

}  // namespace quillon
