// What a source is beyond its bytes: the container an image was read from and the hashes an
// image stored when it was made. Front ends show the label; a hashing scan checks the hashes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

enum class SourceContainer {
  None,      // a plain file or device, read as it stands
  Ewf,       // an expert witness image (.E01 and its further segments)
  Ewf2,      // the same in its second version (.Ex01)
  SplitRaw,  // a raw image cut into numbered pieces
  Vmdk,      // the virtual disk of a VMDK descriptor or sparse extent
  Vhd,       // the virtual disk of a VHD file
  Vhdx,      // the virtual disk of a VHDX file
};

// A digest an image carries for its media, as lower-case hex ("md5", "sha1", "sha256").
struct StoredHash {
  std::string algorithm;
  std::string hex;

  bool operator==(const StoredHash&) const = default;
};

struct SourceFacts {
  SourceContainer container = SourceContainer::None;
  std::size_t files = 1;  // segments or pieces the source was read from
  std::vector<StoredHash> storedHashes;
};

// A short label for the container: "E01, 3 segments", "split raw, 4 pieces", "VMDK", "VHD";
// empty for a plain source.
std::string SourceContainerLabel(const SourceFacts& facts);

}  // namespace quillon
