#include "source/source_name.h"

#include <filesystem>
#include <system_error>

namespace quillon {

namespace {
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
}  // namespace

SourceNameForm ClassifySourceName(std::string_view name) {
  if (name.empty()) return {SourceNameKind::Empty};
  // Two-character names are only meaningful as drive letters ("C:"); anything else of that
  // length is a slip of the user's hand, and refusing it keeps an open source open.
  if (name.size() == 2 && name.find(':') == std::string_view::npos)
    return {SourceNameKind::RefusedShort};

  // The index must be digits so that a device called "hda" still opens as a device.
  const bool startsWithHd =
      name.size() >= 2 && (name[0] == 'H' || name[0] == 'h') && (name[1] == 'D' || name[1] == 'd');
  if (startsWithHd && (name.size() == 3 || name.size() == 4)) {
    unsigned index = 0;
    for (char c : name.substr(2)) {
      if (!IsDigit(c)) return {SourceNameKind::Other};
      index = index * 10 + static_cast<unsigned>(c - '0');
    }
    return {SourceNameKind::WholeDisk, index};
  }
  return {SourceNameKind::Other};
}

std::string ResolveSourceName(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  // A folder of that name is no source; the device of that name may well be.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(name, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) return "./" + name;
  return name;
}

}  // namespace quillon
