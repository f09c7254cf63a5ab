#include "app/cli/scan_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/hash_report.h"
#include "app/cli/ordered_batches.h"
#include "app/cli/record_output.h"
#include "app/cli/standard_output.h"
#include "scan/scan_driver.h"
#include "source/data_source.h"
#include "text/code_page.h"

namespace quillon {

namespace {
constexpr std::size_t kOutputBatchBytes = 1 << 16;
// About kOutputBatchBytes of table rows.
constexpr std::size_t kRowsPerBatch = 512;
// Past this the one writer is what the listing waits for.
constexpr unsigned kMostListingThreads = 4;
}  // namespace

int ScanForCommand(const Arguments& arguments, ScanStatus& status, FoundMails& mails,
                   ProgressReporter& progress, ReportedSource* reported) {
  DataSource source;
  if (!source.Open(arguments.source)) {
    std::fprintf(stderr, "quillon: cannot open %s: %s\n", arguments.source.c_str(),
                 source.LastError().c_str());
    return 1;
  }
  ScanOptions options;
  if (arguments.startSector) options.startSector = *arguments.startSector;
  if (arguments.sectors) options.sectorCount = *arguments.sectors;
  options.strict = arguments.strict;
  options.ansiCodePage = AnsiCodePageOf(arguments);
  options.threads = ScanThreadsOf(arguments);
  // Setting up the digests costs OpenSSL's lookup of its algorithms: only a scan asked for them
  // pays it.
  std::optional<SourceDigest> digest;
  if (arguments.hash) {
    digest.emplace(std::vector<DigestAlgorithm>{DigestAlgorithm::Sha256, DigestAlgorithm::Md5});
    options.digest = &*digest;
  }

  const std::uint64_t total = source.TotalSectors();
  if (options.startSector > 0 && options.startSector >= total) {
    std::fprintf(stderr,
                 "quillon: --start-sector %llu lies past the end of %s, which has %llu sectors "
                 "(0 to %llu)\nTry 'quillon --help'.\n",
                 static_cast<unsigned long long>(options.startSector), arguments.source.c_str(),
                 static_cast<unsigned long long>(total),
                 static_cast<unsigned long long>(total > 0 ? total - 1 : 0));
    return 2;
  }
  const std::vector<SectorRange> unreadable = RunScan(source, options, status, mails, progress);
  if (reported) {
    reported->name = arguments.source;
    reported->sizeBytes = source.SizeBytes();
    reported->container = SourceContainerLabel(source.Facts());
    if (digest) reported->hashes = digest->Finish();
  }
  if (digest) {
    const std::uint64_t sizeBytes = source.SizeBytes();
    const std::uint64_t first = std::min(options.startSector * kSectorSize, sizeBytes);
    const std::uint64_t asked = options.sectorCount > sizeBytes / kSectorSize
                                    ? sizeBytes
                                    : options.sectorCount * kSectorSize;
    const HashedScan hashed{digest->Finish(),
                            first,
                            digest->BytesAdded(),
                            std::min(sizeBytes, first + asked),
                            sizeBytes,
                            source.Facts().storedHashes};
    std::fputs(HashReportText(hashed).c_str(), stderr);
  }
  std::size_t damaged = 0;
  for (const MailRecordPtr& record : mails.Snapshot()) damaged += record->damaged ? 1 : 0;
  std::fputs(UnreadableSummary(unreadable, damaged).c_str(), stderr);
  return 0;
}

void ReportStoppedScan(int signal, std::size_t mailCount, const ProgressReporter& progress,
                       const char* consequence) {
  std::fprintf(stderr, "quillon: stopped by %s after %zu mails, at sector %llu of %llu%s\n",
               SignalName(signal), mailCount, static_cast<unsigned long long>(progress.Position()),
               static_cast<unsigned long long>(progress.Total()), consequence);
}

namespace {

// Scans into `mails` and prints them; returns the exit status.
int ScanAndList(const Arguments& arguments, FoundMails& mails) {
  ScanStatus status;
  StopSignals signals(status.stopRequested);
  StandardOutput output;
  ProgressReporter progress(ProgressReporter::StderrIsTerminal());
  if (const int failed = ScanForCommand(arguments, status, mails, progress)) return failed;

  // Everything found so far is printed, also after a stop: the lines are whole either way.
  const std::vector<MailRecordPtr> records = mails.Snapshot();
  RenderOptions render;
  render.ansiCodePage = AnsiCodePageOf(arguments);
  std::string out;
  if (!arguments.json) out += TableHeading();
  std::size_t matching = 0;
  // A mail keeps its number among all found ones, so that `show --index` finds it.
  auto append = [&](std::string& text, std::size_t i) {
    if (arguments.json) {
      text += RecordJson(*records[i], i + 1, render);
      text += '\n';
    } else {
      AppendTableRow(text, *records[i], i + 1, render);
    }
  };
  if (arguments.find) {
    // The search keeps its scratch texts from mail to mail: one thread.
    MailMatcher matcher(*arguments.find);
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (!matcher.Matches(*records[i])) continue;
      ++matching;
      append(out, i);
      if (out.size() > kOutputBatchBytes) {
        output.Write(out);
        out.clear();
      }
    }
  } else {
    // The records are final: their rows are formatted on the cores the scan had.
    output.Write(out);
    out.clear();
    const std::size_t batches = (records.size() + kRowsPerBatch - 1) / kRowsPerBatch;
    FormatInOrder(
        batches, std::min(ScanThreadsOf(arguments), kMostListingThreads),
        [&](std::size_t batch, std::string& text) {
          const std::size_t end = std::min(records.size(), (batch + 1) * kRowsPerBatch);
          for (std::size_t i = batch * kRowsPerBatch; i < end; ++i) append(text, i);
        },
        [&output](std::string_view text) { output.Write(text); });
  }
  if (!arguments.json) {
    out += "Found " + std::to_string(records.size()) + " Mails\n";
    if (arguments.find)
      out += std::to_string(matching) + " of them hold \"" + Utf16ToUtf8(arguments.find->text) +
             "\"\n";
  }
  output.Write(out);
  const bool written = output.Finish();

  if (const int signal = signals.Caught()) {
    ReportStoppedScan(signal, records.size(), progress, "");
    if (!written) (void)output.ReportFailure();
    return ExitStatusForSignal(signal);
  }
  return written ? 0 : output.ReportFailure();
}

}  // namespace

void RunScanCommand(const Arguments& arguments) {
  FoundMails mails;
  const int exitStatus = ScanAndList(arguments, mails);
  // The records are left to the end of the process, which gives their memory back at once:
  // freeing them block by block (a dozen blocks a record, a million records) would keep one core
  // busy after the listing is written, for nothing. The text store's scratch file has no name,
  // so it goes with the process too. Every scan thread has ended and the output is flushed.
  std::exit(exitStatus);
}

}  // namespace quillon
