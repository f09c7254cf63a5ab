// The source names behind the items of the data-source dialog's tree. Index 0 is a placeholder
// that the group items ("Local Drive", "Image File") carry, so an item's index tells at once
// whether it names a source.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillon {

class SourceList {
 public:
  SourceList() : names_(1) {}

  // Appends a source name and returns its index (never 0).
  int Add(std::string name);
  bool IsChoosable(int index) const;
  // The name at a choosable index; empty otherwise.
  std::string NameAt(int index) const;
  int Size() const { return static_cast<int>(names_.size()); }

 private:
  std::vector<std::string> names_;
};

// The tree label of a file the user adds: FormatSourceLabel of the path (followed by what it
// holds, such as " [E01, 3 segments]") and its sector count. Nothing when the file cannot be
// opened as a source or holds no sector; then `error`, when given, says why a file that is
// there cannot be read as the image it holds (a segment or a piece missing), and stays empty
// for a missing file, a folder or an empty file.
std::optional<std::string> ImageFileLabel(const std::string& path, std::string* error = nullptr);

// Opens the source once to see that a scan can open it; the reason when it cannot.
[[nodiscard]] bool ProbeSource(const std::string& name, std::string& error);

}  // namespace quillon
