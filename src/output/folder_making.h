// Making the folders a save writes into, and taking them away again when the save wrote nothing:
// a failed or empty save must not leave empty folders behind.
#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

namespace quillon {

// Makes `folder` and every missing parent, recording in `made` each level this call made
// (outermost first). An existing folder is used as it is. On failure nothing made stays and the
// error is the system's reason for the level that failed (ENOTDIR when a file stands where a
// folder belongs).
[[nodiscard]] std::error_code MakeFolders(const std::filesystem::path& folder,
                                          std::vector<std::filesystem::path>& made);

// Removes the folders of `made` that are empty, innermost first; a folder that holds anything
// stays, and so do its parents.
void RemoveEmptyMadeFolders(const std::vector<std::filesystem::path>& made);

}  // namespace quillon
