#include "source/source_name.h"

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

}  // namespace quillon
