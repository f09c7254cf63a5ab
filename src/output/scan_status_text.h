// The words of a scan's status line, shared by the window and the command line: the scan
// reports its counts, the front ends say them this way.
#pragma once

#include <string>

#include "scan/scan_observer.h"

namespace quillon {

// "Found %d Mails\r\nProcessing %u block, total %u blocks", sector numbers printed in full.
std::u16string ScanStatusText(const ScanProgress& progress);
// "Found %d Mails".
std::u16string FoundMailsText(int foundCount);

}  // namespace quillon
