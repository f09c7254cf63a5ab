// `quillon scan`: scans a source and prints what it found.
#pragma once

#include "app/cli/arguments.h"
#include "scan/found_mails.h"
#include "scan/scan_status.h"

namespace quillon {

// Scans the source named in `arguments` into `mails`, with progress on stderr and Ctrl-C
// stopping the scan. Returns false (after printing why) when the source cannot be opened.
[[nodiscard]] bool ScanForCommand(const Arguments& arguments, ScanStatus& status,
                                  FoundMails& mails);

int RunScanCommand(const Arguments& arguments);

}  // namespace quillon
