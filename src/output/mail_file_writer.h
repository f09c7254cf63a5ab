// Writes one output file whole or not at all. Private to the save run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

// Writes `content` to `path` (replacing a file of that name) through a temporary file in the same
// folder, so that a full disk or a failed write never leaves a partial file under the mail's
// name. `tag` keeps temporary names of one run apart. On failure `reason` says why.
[[nodiscard]] bool WriteMailFile(const std::filesystem::path& path, std::string_view content,
                                 std::size_t tag, std::string& reason);

}  // namespace quillon
