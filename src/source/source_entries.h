// The step of the enumeration that measures each candidate by opening it, apart from where the
// candidates come from, so that it can be tried on image files.
#pragma once

#include <string>
#include <vector>

#include "source/platform_source.h"
#include "source/source_enumeration.h"

namespace quillon {

// Opens each drive, then each disk name, and lists those that open, labelled with their size.
// A candidate that does not open is left out without a word.
std::vector<SourceEntry> ComposeSourceEntries(const std::vector<DriveCandidate>& drives,
                                              const std::vector<std::string>& diskNames);

}  // namespace quillon
