// The whole disks of a Linux machine, as /sys/block lists them, in the order "HD<n>" counts
// them. The sysfs root is a parameter so that tests can hand in a tree of their own.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr const char* kSysBlockRoot = "/sys/block";

// True for the names of real disks: sd*, hd*, vd*, xvd* followed by letters, nvme<c>n<n> and
// mmcblk<n>. Loop, RAM, zram, device-mapper, RAID and optical devices are not disks to scan,
// and neither are partitions or an eMMC's boot and RPMB areas.
bool IsWholeDiskName(std::string_view name);

// The order disks are counted in: by family (sd, hd, vd, xvd, nvme, mmcblk), then by the
// kernel's numbering within it: sdz < sdaa, nvme0n2 < nvme1n1, mmcblk2 < mmcblk10.
// Both names must pass IsWholeDiskName.
bool DiskNameLess(std::string_view left, std::string_view right);

// The whole disks below `sysBlock`, in DiskNameLess order.
std::vector<std::string> ListWholeDisks(const std::filesystem::path& sysBlock);

// The name of the `index`-th whole disk below `sysBlock` ("sda"), if there are that many.
std::optional<std::string> WholeDiskName(unsigned index, const std::filesystem::path& sysBlock);

}  // namespace quillon
