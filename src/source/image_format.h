// Which container a disk-image file is, told by its signature and never by its name: an
// examiner's file may be called anything, and a raw image named ".E01" must still read raw.
#pragma once

#include <cstdint>
#include <span>

#include "source/source_facts.h"

namespace quillon {

// `head` holds the file's first bytes (512 suffice), `tail` its last 512 bytes (fewer when the
// file is shorter). Anything without a known signature is SourceContainer::None.
SourceContainer DetectImageFormat(std::span<const std::uint8_t> head,
                                  std::span<const std::uint8_t> tail);

}  // namespace quillon
