// What a source name other than "HD<n>" opens: a disk-image container when the file's
// signature says so (E01, VMDK, VHD, VHDX), a split raw image when the file is the first of a
// set of numbered pieces, else the file or device itself.
#pragma once

#include <string_view>

#include "source/platform_source.h"

namespace quillon {

[[nodiscard]] BackendOpening OpenSourceByName(std::string_view name);

}  // namespace quillon
