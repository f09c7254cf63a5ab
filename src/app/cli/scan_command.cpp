#include "app/cli/scan_command.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/cli/hash_report.h"
#include "app/cli/progress_reporter.h"
#include "app/cli/record_output.h"
#include "scan/scan_driver.h"

namespace quillon {

namespace {

// Ctrl-C asks the running scan to stop; the signal handler can only reach it through this.
std::atomic<bool>* interruptFlag = nullptr;

extern "C" void OnInterrupt(int) {
  if (interruptFlag) interruptFlag->store(true);
}

}  // namespace

bool ScanForCommand(const Arguments& arguments, ScanStatus& status, FoundMails& mails) {
  ScanOptions options;
  if (arguments.startSector) options.startSector = *arguments.startSector;
  if (arguments.sectors) options.sectorCount = *arguments.sectors;
  options.strict = arguments.strict;
  SourceDigest digest({DigestAlgorithm::Sha256, DigestAlgorithm::Md5});
  if (arguments.hash) options.digest = &digest;

  ProgressReporter progress(::isatty(STDERR_FILENO) == 1);
  interruptFlag = &status.stopRequested;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  struct sigaction previous = {};
  sigaction(SIGINT, &action, &previous);
  const ScanResult result = RunScanOfSource(arguments.source, options, status, mails, progress);
  sigaction(SIGINT, &previous, nullptr);
  interruptFlag = nullptr;

  if (!result.opened) {
    std::fprintf(stderr, "quillon: cannot open %s: %s\n", arguments.source.c_str(),
                 result.error.c_str());
    return false;
  }
  if (arguments.hash) {
    const std::uint64_t first = std::min(options.startSector * kSectorSize, result.sizeBytes);
    const std::uint64_t asked = options.sectorCount > result.sizeBytes / kSectorSize
                                    ? result.sizeBytes
                                    : options.sectorCount * kSectorSize;
    const HashedScan hashed{digest.Finish(),     first,
                            digest.BytesAdded(), std::min(result.sizeBytes, first + asked),
                            result.sizeBytes,    result.facts.storedHashes};
    std::fputs(HashReportText(hashed).c_str(), stderr);
  }
  std::size_t damaged = 0;
  for (const MailRecordPtr& record : mails.Snapshot()) damaged += record->damaged ? 1 : 0;
  std::fputs(UnreadableSummary(result.unreadable, damaged).c_str(), stderr);
  return true;
}

int RunScanCommand(const Arguments& arguments) {
  ScanStatus status;
  FoundMails mails;
  if (!ScanForCommand(arguments, status, mails)) return 1;

  const auto records = mails.Snapshot();
  std::string out;
  if (!arguments.json) out += TableHeading();
  for (std::size_t i = 0; i < records.size(); ++i) {
    out += arguments.json ? RecordJson(*records[i], i + 1) + "\n" : TableRow(*records[i], i + 1);
    if (out.size() > 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  if (!arguments.json) out += "Found " + std::to_string(records.size()) + " Mails\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace quillon
