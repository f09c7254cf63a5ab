#include "source/image_opening.h"

#include <algorithm>
#include <array>

#include "source/ewf_source.h"
#include "source/image_format.h"
#include "source/split_raw_source.h"
#include "source/virtual_disk_source.h"

namespace quillon {

namespace {

SourceContainer ContainerOf(SourceBackend& file) {
  std::array<std::uint8_t, 512> head{};
  std::array<std::uint8_t, 512> tail{};
  const std::int64_t headBytes = file.ReadAt(head.data(), head.size(), 0);
  if (headBytes <= 0) return SourceContainer::None;
  std::size_t tailBytes = 0;
  if (file.SizeBytes() >= tail.size()) {
    const std::int64_t arrived = file.ReadAt(tail.data(), tail.size(), file.SizeBytes() - 512);
    tailBytes = arrived > 0 ? static_cast<std::size_t>(arrived) : 0;
  }
  return DetectImageFormat(std::span(head.data(), static_cast<std::size_t>(headBytes)),
                           std::span(tail.data(), tailBytes));
}

}  // namespace

BackendOpening OpenSourceByName(std::string_view name) {
  BackendOpening plain = OpenNamedBackend(name);
  // Devices are read as they stand: a disk is never a container file, whatever its first
  // sector holds.
  if (!plain.backend || !plain.regularFile) return plain;

  const std::string path = plain.path;
  switch (ContainerOf(*plain.backend)) {
    case SourceContainer::Ewf:
      return OpenEwfImage(path, SourceContainer::Ewf);
    case SourceContainer::Ewf2:
      return OpenEwfImage(path, SourceContainer::Ewf2);
    case SourceContainer::Vmdk:
      return OpenVmdkImage(path);
    case SourceContainer::Vhd:
      return OpenVhdImage(path, SourceContainer::Vhd);
    case SourceContainer::Vhdx:
      return OpenVhdImage(path, SourceContainer::Vhdx);
    case SourceContainer::SplitRaw:
    case SourceContainer::None:
      break;
  }
  std::optional<BackendOpening> split =
      OpenSplitRawImage(path, [](const std::string& piece) { return OpenNamedBackend(piece); });
  if (split) return std::move(*split);
  return plain;
}

}  // namespace quillon
