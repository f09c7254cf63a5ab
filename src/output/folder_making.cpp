#include "output/folder_making.h"

#include <algorithm>
#include <cerrno>

namespace quillon {

namespace {
namespace fs = std::filesystem;
}  // namespace

std::error_code MakeFolders(const fs::path& folder, std::vector<fs::path>& made) {
  std::vector<fs::path> missing;
  std::error_code error;
  fs::path level = folder.lexically_normal();
  if (!level.has_filename() && level.has_parent_path()) level = level.parent_path();
  // Walk up to the first level that exists; everything below it is ours to make.
  while (!level.empty()) {
    const fs::file_status status = fs::status(level, error);
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) return std::make_error_code(std::errc::not_a_directory);
      break;
    }
    // A level we cannot look into (no rights) gives the reason why nothing can be made there.
    if (error && error != std::errc::no_such_file_or_directory) return error;
    missing.push_back(level);
    if (!level.has_relative_path() || level.parent_path() == level) break;
    level = level.parent_path();
  }
  std::reverse(missing.begin(), missing.end());
  std::vector<fs::path> madeHere;
  for (const fs::path& path : missing) {
    error.clear();
    // A level another process made meanwhile is used, but is not ours to take away.
    const bool madeNow = fs::create_directory(path, error);
    if (!error && !fs::is_directory(path)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
      RemoveEmptyMadeFolders(madeHere);
      return error;
    }
    if (madeNow) madeHere.push_back(path);
  }
  made.insert(made.end(), madeHere.begin(), madeHere.end());
  return {};
}

void RemoveEmptyMadeFolders(const std::vector<fs::path>& made) {
  for (auto at = made.rbegin(); at != made.rend(); ++at) {
    std::error_code error;
    if (!fs::is_empty(*at, error) || error) return;
    fs::remove(*at, error);
    if (error) return;
  }
}

}  // namespace quillon
