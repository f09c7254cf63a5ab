// One scan of one source, from its first sector to its last (or over a range of sectors): reads
// the source in 1 MiB chunks, hands them to the mail carver and the shape scan (on threads of
// their own where there are several), keeps the scan's counters and tells
// the front end through its ScanObserver. A failed read is retried until only the sectors that
// really fail are left (source/rescue_reader.h); those scan as zeros that end no mail, and the
// mails that hold them are marked damaged.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "scan/found_mails.h"
#include "scan/read/source_digest.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "scan/source_bytes.h"
#include "source/data_source.h"
#include "source/sector_ranges.h"
#include "text/locale_code_page.h"

namespace quillon {

// The most threads a scan is given, and the number it takes when told none: one per core.
inline constexpr unsigned kMostScanThreads = 256;
unsigned DefaultScanThreads();
inline constexpr std::uint32_t kHandOverFromMarks = 64;

struct ScanOptions {
  std::uint64_t startSector = 0;
  std::uint64_t sectorCount = std::numeric_limits<std::uint64_t>::max();  // to the end
  // Recognise mails by their "Received: " trace line only; otherwise header blocks are also
  // recognised by their shape, and copies of one message are marked as duplicates.
  bool strict = false;
  // When set, digests every byte the scan reads, once and in source order (the sectors of the
  // range scanned, up to the source's last byte; unreadable sectors as zeros), in the digest's
  // algorithms and those the source stored hashes in.
  SourceDigest* digest = nullptr;
  // The code page that 8-bit header and body text without a charset is read in.
  int ansiCodePage = AnsiCodePageFromEnvironment();
  // Threads that carve, the reading thread not counted. With more than one, worker threads (up
  // to three) walk later chunks and scan their shapes while this thread carves the current one
  // and puts the finds in order; what is found is the same as with one.
  unsigned threads = DefaultScanThreads();
  // The sectors read and carved per round (256 to 4096). Smaller chunks put more mails across
  // chunk boundaries, as tests want; what is found may then differ a little, as the shape scan
  // looks less far ahead.
  std::uint32_t chunkSectors = kChunkSectors;
  // With workers, a chunk goes to one only where it and the next hold at least this many shape
  // marks (lines that may open a header block); otherwise this thread walks it and scans its
  // shapes itself, as with one thread. Base64, binary data and zeros take little carving but
  // all the reading: handed over, they only wake the workers, whose threads take turns on the
  // cores with the reading one. What is found is the same either way: tests set 0 (every chunk
  // to a worker) or the largest value (none).
  std::uint32_t handOverFromMarks = kHandOverFromMarks;
};

struct ScanResult {
  bool opened = false;
  std::string error;  // why the source could not be opened
  int foundCount = 0;
  std::uint64_t sizeBytes = 0;          // of the source opened
  SourceFacts facts;                    // what it was read from
  std::vector<SectorRange> unreadable;  // sectors that could not be read, ascending and merged
};

// Scans an open source on the calling thread. Returns the sectors that could not be read.
std::vector<SectorRange> RunScan(DataSource& source, const ScanOptions& options, ScanStatus& status,
                                 FoundMails& mails, ScanObserver& observer);

// Opens the source by name and scans it on the calling thread. When the source cannot be opened
// nothing is reset and only the finish notification is sent.
ScanResult RunScanOfSource(std::string_view sourceName, const ScanOptions& options,
                           ScanStatus& status, FoundMails& mails, ScanObserver& observer);

// The scan thread: RunScanOfSource on a thread of its own. The caller joins it.
std::thread StartScanThread(std::string sourceName, ScanOptions options, ScanStatus& status,
                            FoundMails& mails, ScanObserver& observer);

}  // namespace quillon
