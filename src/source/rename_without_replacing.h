// The one file-system call of the save side that the C++ library lacks: giving a finished file
// its name only when no other file holds that name, in one step that two processes cannot both
// win. Implemented once per operating system (linux_rename_without_replacing.cpp).
#pragma once

#include <filesystem>
#include <system_error>

namespace quillon {

enum class RenameOutcome {
  Renamed,    // `from` now has the name `to`
  NameTaken,  // something already had the name `to` (also a name that differs only in letter
              // case, on a file system that ignores case); `from` is unchanged
  Failed,     // `error` says why; `from` is unchanged
};

// Renames `from` to `to` (both in one folder) without ever replacing or changing what `to`
// names.
[[nodiscard]] RenameOutcome RenameWithoutReplacing(const std::filesystem::path& from,
                                                   const std::filesystem::path& to,
                                                   std::error_code& error);

}  // namespace quillon
