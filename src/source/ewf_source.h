// Expert witness images (.E01, .Ex01) through libewf: the media the image holds, read as a raw
// image of the same disk would be. The further segments are found beside the first one.
#pragma once

#include <string>

#include "source/platform_source.h"

namespace quillon {

// Opens the image whose segment `path` names (the first one, or any other of the set). A chunk
// whose checksum does not match, and the sectors the acquisition could not read, fail to read
// like bad sectors of a disk. A missing or truncated segment refuses the whole image.
// `version` is Ewf or Ewf2, as the file's signature said.
[[nodiscard]] BackendOpening OpenEwfImage(const std::string& path, SourceContainer version);

}  // namespace quillon
