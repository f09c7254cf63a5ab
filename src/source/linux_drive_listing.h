// The logical drives of a Linux machine: the partitions of real disks and the disks that carry
// a file system without a partition table, each with its volume label or mount point. The
// system roots are parameters so that tests can hand in a tree of their own.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "source/platform_source.h"

namespace quillon {

struct LinuxSystemRoots {
  std::filesystem::path sysClassBlock = "/sys/class/block";
  std::filesystem::path devDisk = "/dev/disk";  // by-label and by-uuid links
  std::filesystem::path mounts = "/proc/self/mounts";
};

// Drives in disk order (as "HD<n>" counts the disks), partitions by number within a disk.
// The display text is the device name, then "  [label]" with the volume label, or failing
// that the first mount point, when there is one: "sda1  [Data]".
std::vector<DriveCandidate> ListDriveCandidates(const LinuxSystemRoots& roots);

// udev writes unsafe bytes of a label as "\xHH" ("My\x20Data").
std::string UnescapeUdevName(std::string_view text);
// The kernel writes blanks, tabs, newlines and backslashes of a mount point as "\ooo".
std::string UnescapeMountField(std::string_view text);

}  // namespace quillon
