// What a scan tells its front end, in the order it happens. The command line and the desktop
// window each implement this; the engine never knows which one it talks to. Calls arrive on the
// scan thread: a window must hand them over to its own thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/mail_record.h"
#include "source/sector_ranges.h"

namespace quillon {

// The counts behind a scan's status line.
struct ScanProgress {
  int foundCount = 0;
  std::uint64_t currentSector = 0;  // first sector of the chunk being processed
  std::uint64_t totalSectors = 0;
};

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // The source opened: "Data" and "Save" go off, "Stop" on.
  virtual void OnScanStarted() {}
  // Clear the list and rebuild the folder tree for `sourceName`.
  virtual void OnViewsReset(std::string_view sourceName) { (void)sourceName; }
  virtual void OnProgressRange(std::uint64_t totalSectors) { (void)totalSectors; }
  virtual void OnProgressPosition(std::uint64_t sector) { (void)sector; }
  // The counts changed or a chunk begins; the front end words them (output/scan_status_text.h).
  virtual void OnProgress(const ScanProgress& progress) { (void)progress; }
  virtual void OnMailFound(const MailRecordPtr& record) { (void)record; }
  // At the end of a scan whose source opened, before OnScanFinished: the sectors that could not
  // be read, ascending and merged (empty when every sector could). Mails that hold any of them
  // are marked damaged by then.
  virtual void OnUnreadableSectors(const std::vector<SectorRange>& ranges) { (void)ranges; }
  // Sent at the end of every scan, also when the source could not be opened.
  virtual void OnScanFinished(int foundCount) { (void)foundCount; }
};

}  // namespace quillon
