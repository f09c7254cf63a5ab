#include "source/split_raw_names.h"

namespace quillon {

namespace {

constexpr std::size_t kMinimumWidth = 2;
// Wider suffixes do not occur; the limit keeps 26^width inside 64 bits.
constexpr std::size_t kMaximumWidth = 12;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return c >= 'a' && c <= 'z';
}

std::uint64_t Power(std::uint64_t base, std::size_t exponent) {
  std::uint64_t result = 1;
  for (std::size_t i = 0; i < exponent; ++i) result *= base;
  return result;
}

std::size_t TrailingRun(std::string_view name, bool (*member)(char)) {
  std::size_t run = 0;
  while (run < name.size() && member(name[name.size() - 1 - run])) ++run;
  return run;
}

std::uint64_t SuffixValue(std::string_view suffix, bool letters) {
  std::uint64_t value = 0;
  for (char c : suffix) value = value * (letters ? 26 : 10) + (letters ? c - 'a' : c - '0');
  return value;
}

}  // namespace

std::vector<SplitReading> SplitReadings(std::string_view fileName) {
  std::vector<SplitReading> readings;
  const std::size_t digits = TrailingRun(fileName, IsDigit);
  if (digits >= kMinimumWidth && digits <= kMaximumWidth && digits < fileName.size() &&
      fileName[fileName.size() - digits - 1] == '.') {
    SplitNaming naming{std::string(fileName.substr(0, fileName.size() - digits)), false, digits};
    readings.push_back({naming, SuffixValue(fileName.substr(fileName.size() - digits), false)});
  }
  const std::size_t letters = TrailingRun(fileName, IsLetter);
  for (std::size_t width = std::min(letters, kMaximumWidth); width >= kMinimumWidth; --width) {
    // A name of letters alone has no stem; it is a word, not a piece.
    if (width == fileName.size()) continue;
    SplitNaming naming{std::string(fileName.substr(0, fileName.size() - width)), true, width};
    readings.push_back({naming, SuffixValue(fileName.substr(fileName.size() - width), true)});
  }
  return readings;
}

std::optional<std::string> SplitNaming::NameOf(std::uint64_t index) const {
  const std::uint64_t base = letters ? 26 : 10;
  if (index >= Power(base, width)) return std::nullopt;
  std::string suffix(width, letters ? 'a' : '0');
  for (std::size_t i = width; i-- > 0 && index != 0; index /= base)
    suffix[i] = static_cast<char>((letters ? 'a' : '0') + index % base);
  return stem + suffix;
}

std::optional<std::uint64_t> SplitNaming::IndexOf(std::string_view name) const {
  if (name.size() != stem.size() + width || name.substr(0, stem.size()) != stem) return {};
  const std::string_view suffix = name.substr(stem.size());
  for (char c : suffix)
    if (letters ? !IsLetter(c) : !IsDigit(c)) return {};
  return SuffixValue(suffix, letters);
}

}  // namespace quillon
