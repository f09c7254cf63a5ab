#include "source/source_enumeration.h"

#include <cstdio>

#include "source/data_source.h"
#include "source/platform_source.h"
#include "source/source_entries.h"

namespace quillon {

namespace {
// 1021 MiB: the largest source still shown in mebibytes.
constexpr std::uint64_t kLargestMebibyteLabel = 2091008;
constexpr unsigned kDiskCount = 8;
}  // namespace

std::string FormatSourceLabel(std::string_view text, std::uint64_t sectors) {
  const bool inMebibytes = sectors <= kLargestMebibyteLabel;
  const double size =
      static_cast<double>(sectors) * (inMebibytes ? 0.00048828125 : 4.76837158203125e-07);
  char figure[64];
  std::snprintf(figure, sizeof figure, "  (%0.2f%c)", size, inMebibytes ? 'M' : 'G');
  std::string label(text);
  label += figure;
  return label;
}

std::vector<SourceEntry> ComposeSourceEntries(const std::vector<DriveCandidate>& drives,
                                              const std::vector<std::string>& diskNames) {
  std::vector<SourceEntry> entries;
  DataSource probe;
  for (const DriveCandidate& drive : drives) {
    if (!probe.Open(drive.name)) continue;
    entries.push_back({drive.name, FormatSourceLabel(drive.displayText, probe.TotalSectors()),
                       SourceIconKind::Drive});
  }
  for (const std::string& disk : diskNames) {
    if (!probe.Open(disk)) continue;
    entries.push_back({disk, FormatSourceLabel(disk, probe.TotalSectors()), SourceIconKind::Disk});
  }
  return entries;
}

std::vector<SourceEntry> EnumerateSources() {
  std::vector<std::string> diskNames;
  // Every slot is tried: a missing disk 1 does not hide disk 2.
  for (unsigned index = 0; index < kDiskCount; ++index)
    diskNames.push_back("HD" + std::to_string(index));
  return ComposeSourceEntries(ListDriveCandidates(), diskNames);
}

}  // namespace quillon
