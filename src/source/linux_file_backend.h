// Files and block devices on Linux, opened read-only and read with pread.
#pragma once

#include <string>
#include <string_view>

#include "source/platform_source.h"

namespace quillon {

// What a source name other than "HD<n>" opens: a name holding '/' is a path and is used as it
// stands; any other name is a device under /dev ("sda1" -> "/dev/sda1").
std::string LinuxSourcePath(std::string_view name);

// Why a source that is neither a file nor a disk is refused.
inline constexpr const char* kSizeUnknownError =
    "not a file or a disk: its size cannot be known (copy a pipe or a stream into an image file "
    "first)";

// Opens `path` for reading only. A regular file is as large as its length, a block device as
// the kernel reports it. Directories, pipes, sockets and character devices are refused.
[[nodiscard]] BackendOpening OpenLinuxFile(const std::string& path);

}  // namespace quillon
