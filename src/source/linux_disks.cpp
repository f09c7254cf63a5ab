#if defined(__linux__)

#include "source/linux_disks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <system_error>

namespace quillon {

namespace {

struct DiskKey {
  int family = 0;
  std::vector<std::uint64_t> numbers;

  auto operator<=>(const DiskKey&) const = default;
};

constexpr bool IsLowerLetter(char c) {
  return c >= 'a' && c <= 'z';
}
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Letter suffixes count like the kernel hands them out: a..z, then aa..zz, and so on
// (bijective base 26), so that "aa" follows "z" rather than "a".
std::optional<std::uint64_t> LetterNumber(std::string_view letters) {
  if (letters.empty() || letters.size() > 6) return std::nullopt;
  std::uint64_t number = 0;
  for (char c : letters) {
    if (!IsLowerLetter(c)) return std::nullopt;
    number = number * 26 + static_cast<std::uint64_t>(c - 'a' + 1);
  }
  return number;
}

// Reads a run of decimal digits from the front of `text`, moving `text` past it.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
  std::size_t length = 0;
  std::uint64_t number = 0;
  while (length < text.size() && IsDigit(text[length])) {
    if (length == 9) return std::nullopt;
    number = number * 10 + static_cast<std::uint64_t>(text[length] - '0');
    ++length;
  }
  if (length == 0) return std::nullopt;
  text.remove_prefix(length);
  return number;
}

std::optional<DiskKey> ParseDiskName(std::string_view name) {
  // The position in this list is the family's place in the counting order.
  constexpr std::array<std::string_view, 4> kLetterFamilies = {"sd", "hd", "vd", "xvd"};
  for (std::size_t family = 0; family < kLetterFamilies.size(); ++family) {
    if (!name.starts_with(kLetterFamilies[family])) continue;
    const auto number = LetterNumber(name.substr(kLetterFamilies[family].size()));
    if (!number) return std::nullopt;
    return DiskKey{static_cast<int>(family), {*number}};
  }
  if (name.starts_with("nvme")) {
    std::string_view rest = name.substr(4);
    const auto controller = TakeNumber(rest);
    if (!controller || !rest.starts_with('n')) return std::nullopt;
    rest.remove_prefix(1);
    const auto space = TakeNumber(rest);
    if (!space || !rest.empty()) return std::nullopt;
    return DiskKey{4, {*controller, *space}};
  }
  if (name.starts_with("mmcblk")) {
    std::string_view rest = name.substr(6);
    const auto device = TakeNumber(rest);
    if (!device || !rest.empty()) return std::nullopt;
    return DiskKey{5, {*device}};
  }
  return std::nullopt;
}

}  // namespace

bool IsWholeDiskName(std::string_view name) {
  return ParseDiskName(name).has_value();
}

bool DiskNameLess(std::string_view left, std::string_view right) {
  return ParseDiskName(left).value_or(DiskKey{}) < ParseDiskName(right).value_or(DiskKey{});
}

std::vector<std::string> ListWholeDisks(const std::filesystem::path& sysBlock) {
  std::vector<std::string> disks;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(sysBlock, error)) {
    std::string name = entry.path().filename().string();
    if (IsWholeDiskName(name)) disks.push_back(std::move(name));
  }
  std::sort(disks.begin(), disks.end(), [](const std::string& left, const std::string& right) {
    return DiskNameLess(left, right);
  });
  return disks;
}

std::optional<std::string> WholeDiskName(unsigned index, const std::filesystem::path& sysBlock) {
  std::vector<std::string> disks = ListWholeDisks(sysBlock);
  if (index >= disks.size()) return std::nullopt;
  return std::move(disks[index]);
}

}  // namespace quillon

#endif  // __linux__
