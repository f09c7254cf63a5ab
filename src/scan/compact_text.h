// A header value of a found mail, held in as few bytes as a million of them can afford: one
// pointer in the record, nothing on the heap when empty, and one block of exactly its length
// otherwise (a std::string costs 32 bytes in the record plus its room, which it rounds up and
// keeps when the value was gathered by appending). Reads as a std::string_view.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class CompactText {
 public:
  CompactText() noexcept = default;
  CompactText(std::string_view text);  // NOLINT: reads like the string it replaces
  CompactText(const std::string& text) : CompactText(std::string_view(text)) {}
  CompactText(const char* text) : CompactText(std::string_view(text)) {}
  CompactText(const CompactText& other) : CompactText(other.View()) {}
  CompactText(CompactText&& other) noexcept = default;
  CompactText& operator=(const CompactText& other);
  CompactText& operator=(CompactText&& other) noexcept = default;

  std::string_view View() const;
  operator std::string_view() const { return View(); }  // NOLINT: meant to read as a view
  std::string String() const { return std::string(View()); }

  bool empty() const { return !block_; }
  std::size_t size() const { return View().size(); }
  // NUL-terminated, "" when empty.
  const char* c_str() const;

  template <typename Text>
  requires std::convertible_to<const Text&, std::string_view>
  friend bool operator==(const CompactText& text, const Text& other) {
    return text.View() == std::string_view(other);
  }
  friend std::ostream& operator<<(std::ostream& out, const CompactText& text);

 private:
  // The length (4 bytes), the characters, a NUL; none for an empty text.
  std::unique_ptr<char[]> block_;
};

}  // namespace quillon
