// The drives and disks that can be scanned, in the order the data-source dialog lists them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class SourceIconKind { Disk = 0, ImageFile = 1, Drive = 2 };

struct SourceEntry {
  std::string name;   // what DataSource::Open takes: "sda1", "HD0", a path
  std::string label;  // FormatSourceLabel of the display text, e.g. "sda1  [Data]  (74.53G)"
  SourceIconKind icon = SourceIconKind::Drive;
};

// "%s  (%0.2fM)" up to 2,091,008 sectors (1021 MiB), "%s  (%0.2fG)" above.
std::string FormatSourceLabel(std::string_view text, std::uint64_t sectors);

// Partitions and whole-disk file systems of real disks (removable ones included), then the whole
// disks HD0..HD7. Candidates that cannot be opened (no rights) are skipped silently.
std::vector<SourceEntry> EnumerateSources();

}  // namespace quillon
