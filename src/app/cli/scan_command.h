// `quillon scan`: scans a source and prints what it found.
#pragma once

#include "app/cli/arguments.h"
#include "app/cli/progress_reporter.h"
#include "app/cli/stop_signals.h"
#include "output/report_records.h"
#include "scan/found_mails.h"
#include "scan/scan_status.h"

namespace quillon {

// Opens the source named in `arguments` and scans it into `mails`, with progress on stderr; a
// stop signal (see StopSignals) ends the scan early. Returns 0 when the scan ran, else (after
// printing why) the exit status: 1 when the source cannot be opened, 2 when the start sector
// lies past its end. `reported`, when given, gets the source's name, size, container and the
// digests of --hash.
[[nodiscard]] int ScanForCommand(const Arguments& arguments, ScanStatus& status, FoundMails& mails,
                                 ProgressReporter& progress, ReportedSource* reported = nullptr);

// Prints to stderr how far a stopped scan came: "quillon: stopped by SIGINT after 140 mails, at
// sector 20480 of 524288", then `consequence` (e.g. "; nothing was saved").
void ReportStoppedScan(int signal, std::size_t mailCount, const ProgressReporter& progress,
                       const char* consequence);

// Ends the process (std::exit, so that the found mails are never freed one by one) with the exit
// status 0, or 1 (a source that cannot be opened, standard output that cannot be written), 2 (a
// start sector past the end), 128 + the signal that stopped the scan (130, 143, 129).
[[noreturn]] void RunScanCommand(const Arguments& arguments);

}  // namespace quillon
