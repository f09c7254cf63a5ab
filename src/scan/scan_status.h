// The flags and counters of a scan (or a save run) that the front ends show and set.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace quillon {

class ScanStatus {
 public:
  std::atomic<bool> stopRequested{false};  // set by the front end; polled by the workers
  std::atomic<bool> scanning{false};
  std::atomic<std::uint64_t> currentSector{0};  // first sector of the chunk being processed
  std::atomic<std::uint64_t> totalSectors{0};
  std::atomic<int> foundCount{0};
  std::atomic<bool> unsavedMails{false};  // a mail was found and no save run has started since

  // The status line of a save run (a scan reports its counts instead: ScanObserver::OnProgress).
  void SetStatusText(std::u16string text);
  std::u16string StatusText() const;

 private:
  mutable std::mutex textMutex_;
  std::u16string statusText_;
};

}  // namespace quillon
