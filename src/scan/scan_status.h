// The flags and counters of a scan (or a save run) that the front ends show and set.
#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

class ScanStatus {
 public:
  std::atomic<bool> stopRequested{false};  // set by the front end; polled by the workers
  std::atomic<bool> scanning{false};
  std::atomic<std::uint64_t> currentSector{0};  // first sector of the chunk being processed
  std::atomic<std::uint64_t> totalSectors{0};
  std::atomic<int> foundCount{0};
  std::atomic<bool> unsavedMails{false};  // a mail was found and no save run has started since
};

}  // namespace quillon
