#include "text/ascii.h"

namespace quillon {

std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lowered;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
  if (haystack.size() < needle.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (StartsWithNoCase(haystack.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

namespace {
template <typename Char>
constexpr bool IsWhiteSpace(Char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

template <typename View>
View Trim(View text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}
}  // namespace

std::string_view TrimWhiteSpace(std::string_view text) { return Trim(text); }
std::u16string_view TrimWhiteSpace(std::u16string_view text) { return Trim(text); }

}  // namespace quillon
