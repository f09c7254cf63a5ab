// An in-memory source: the bytes of a disk image held in a vector, with optional sectors whose
// reads fail, so that the scan's handling of bad media can be tested without a bad disk.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "source/data_source.h"

namespace quillon {

std::unique_ptr<SourceBackend> MakeMemoryBackend(std::vector<std::uint8_t> bytes,
                                                 std::set<std::uint64_t> failingSectors = {});

}  // namespace quillon
