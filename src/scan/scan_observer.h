// What a scan tells its front end, in the order it happens. The command line and the desktop
// window each implement this; the engine never knows which one it talks to. Calls arrive on the
// scan thread: a window must hand them over to its own thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/mail_record.h"

namespace quillon {

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // The source opened: "Data" and "Save" go off, "Stop" on.
  virtual void OnScanStarted() {}
  // Clear the list and rebuild the folder tree for `sourceName`.
  virtual void OnViewsReset(std::string_view sourceName) { (void)sourceName; }
  virtual void OnProgressRange(std::uint64_t totalSectors) { (void)totalSectors; }
  virtual void OnProgressPosition(std::uint64_t sector) { (void)sector; }
  virtual void OnStatusText(const std::u16string& text) { (void)text; }
  virtual void OnMailFound(const MailRecordPtr& record) { (void)record; }
  // Sent at the end of every scan, also when the source could not be opened.
  virtual void OnScanFinished(int foundCount) { (void)foundCount; }
};

}  // namespace quillon
