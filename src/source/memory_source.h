// An in-memory source: the bytes of a disk image held in a vector, with optional sectors whose
// reads fail, so that the scan's handling of bad media can be tested without a bad disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "source/data_source.h"

namespace quillon {

// Counts the reads asked of a back end (each ReadAt call), for tests that hold a reading
// strategy to its cost.
struct ReadCounter {
  std::atomic<std::uint64_t> calls{0};
  std::atomic<std::uint64_t> failed{0};
};

std::unique_ptr<SourceBackend> MakeMemoryBackend(std::vector<std::uint8_t> bytes,
                                                 std::set<std::uint64_t> failingSectors = {},
                                                 std::shared_ptr<ReadCounter> counter = nullptr);

}  // namespace quillon
