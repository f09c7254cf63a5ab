// Puts new files into one folder without ever replacing or changing a file that is there.
// Private to the save run.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

// A new hidden temporary file in `folder` (".quillon-save-N.tmp", made with "x": never one that
// is there, so two runs never share one), open for writing. A null `file` and `reason` set when
// none could be made.
struct TemporaryFile {
  std::filesystem::path path;
  std::FILE* file = nullptr;
};
TemporaryFile CreateTemporaryFile(const std::filesystem::path& folder, std::string& reason);

enum class PlaceOutcome {
  Written,       // a new file holds the content
  AlreadyThere,  // a file of that name (in any letter case) holds exactly the content already
  NameTaken,     // a file of that name (in any letter case) holds something else: try another
  Failed,        // nothing was written; `reason` says why
};

class MailFileWriter {
 public:
  // Takes note of the files the folder holds now, by their names folded as a file system that
  // ignores letter case compares them.
  explicit MailFileWriter(std::filesystem::path folder);

  // Writes `content` as the file `fileName` of the folder, whole or not at all: through a
  // temporary file that is given the name only when no file holds it, so that neither a failed
  // write nor another run writing into the same folder at the same time can leave a cut file or
  // replace one.
  [[nodiscard]] PlaceOutcome Place(const std::string& fileName, std::string_view content,
                                   std::string& reason);

 private:
  // The existing files whose names fold to `foldedName`.
  std::vector<std::string> NamesLike(const std::u16string& foldedName) const;
  bool AnyHolds(const std::vector<std::string>& names, std::string_view content) const;
  void Remember(const std::string& fileName);

  std::filesystem::path folder_;
  std::unordered_multimap<std::u16string, std::string> existing_;
};

}  // namespace quillon
