#include "ui/source_list.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "source/data_source.h"
#include "source/source_enumeration.h"

namespace quillon {

int SourceList::Add(std::string name) {
  names_.push_back(std::move(name));
  return Size() - 1;
}

bool SourceList::IsChoosable(int index) const {
  return index > 0 && index < Size();
}

std::string SourceList::NameAt(int index) const {
  if (!IsChoosable(index)) return {};
  return names_[static_cast<std::size_t>(index)];
}

std::optional<std::string> ImageFileLabel(const std::string& path, std::string* error) {
  DataSource source;
  if (!source.Open(path)) {
    std::error_code ignored;
    if (error && std::filesystem::is_regular_file(path, ignored) &&
        std::filesystem::file_size(path, ignored) > 0)
      *error = source.LastError();
    return std::nullopt;
  }
  const std::uint64_t sectors = source.TotalSectors();
  if (sectors == 0) return std::nullopt;
  const std::string container = SourceContainerLabel(source.Facts());
  return FormatSourceLabel(container.empty() ? path : path + " [" + container + "]", sectors);
}

bool ProbeSource(const std::string& name, std::string& error) {
  DataSource source;
  if (source.Open(name)) return true;
  error = source.LastError();
  return false;
}

}  // namespace quillon
