// Virtual machine disks read as the disk they hold: VMDK through libvmdk, VHD and VHDX through
// libvhdi. A disk that holds only the changes against a parent disk is refused: read alone it
// would show the unchanged sectors as zeros.
#pragma once

#include <string>

#include "source/platform_source.h"

namespace quillon {

// Opens a VMDK descriptor file or sparse extent and the extent files its descriptor names,
// which lie beside it. A missing extent refuses the disk, naming the file.
[[nodiscard]] BackendOpening OpenVmdkImage(const std::string& path);

// Opens a VHD (fixed or dynamic) or a VHDX file; `container` is Vhd or Vhdx, as the file's
// signature said.
[[nodiscard]] BackendOpening OpenVhdImage(const std::string& path, SourceContainer container);

}  // namespace quillon
