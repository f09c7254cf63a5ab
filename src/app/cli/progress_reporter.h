// The scan's observer on the command line: a progress bar with the two status lines, position
// and rate on stderr when stderr is a terminal; silent otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "scan/scan_observer.h"

namespace quillon {

class ProgressReporter final : public ScanObserver {
 public:
  explicit ProgressReporter(bool enabled);
  static bool StderrIsTerminal();
  void OnProgressRange(std::uint64_t totalSectors) override;
  void OnProgressPosition(std::uint64_t sector) override;
  void OnProgress(const ScanProgress& progress) override;
  void OnScanFinished(int foundCount) override;

  // Progress of a save run: "Saving [name]" and the count.
  void ShowSaving(std::size_t done, std::size_t total, const std::u16string& text);
  void Clear();

  // The last position and range reported, for a run's closing words.
  std::uint64_t Position() const { return position_; }
  std::uint64_t Total() const { return total_; }

 private:
  void Draw(bool force);

  bool enabled_;
  bool drawn_ = false;
  std::uint64_t total_ = 0;
  std::uint64_t position_ = 0;
  std::u16string text_;
  std::optional<ScanProgress> scanProgress_;  // the scan's counts, until a save run takes over
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace quillon
