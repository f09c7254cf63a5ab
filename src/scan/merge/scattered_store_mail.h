// A store mail whose blocks lie scattered over the disk (a deleted store): its candidate is read
// again at the end of the scan from where the block index places its text, since the shape scan
// read it where a store in one piece would have it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scan/merge/store_block_index.h"
#include "scan/shape/shape_scanner.h"
#include "scan/text_origin.h"

namespace quillon {

// Fills `candidate` with the mail whose text is `chain` (traced from the block header at
// `storeBlock`): its header block and body. False when the text does not open with a header
// block; `candidate` is then unchanged.
bool BuildScatteredCandidate(const SourceBytesReader& read, const TracedChain& chain,
                             std::uint64_t storeBlock, int ansiCodePage, ShapeCandidate& candidate);

// The chain's stretches as a reader of the mail takes them.
std::shared_ptr<const std::vector<TextPiece>> TextPiecesOf(const TracedChain& chain);

}  // namespace quillon
