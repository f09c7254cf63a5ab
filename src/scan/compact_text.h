// A header value of a found mail, held in as few bytes as a million of them can afford: one
// pointer in the record, nothing on the heap when empty, and one block of exactly its length
// otherwise (a std::string costs 32 bytes in the record plus its room, which it rounds up and
// keeps when the value was gathered by appending). A few values stand word for word in most
// mails ("7bit", "text/plain", "utf-8"): those are held once for all texts rather than once
// each. Reads as a std::string_view, whose characters stay where they are when the text moves.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

class CompactText {
 public:
  CompactText() noexcept = default;
  CompactText(std::string_view text);  // NOLINT: reads like the string it replaces
  CompactText(const std::string& text) : CompactText(std::string_view(text)) {}
  CompactText(const char* text) : CompactText(std::string_view(text)) {}
  CompactText(const CompactText& other) : CompactText(other.View()) {}
  CompactText(CompactText&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
  CompactText& operator=(const CompactText& other);
  CompactText& operator=(CompactText&& other) noexcept;
  ~CompactText();

  std::string_view View() const;
  operator std::string_view() const { return View(); }  // NOLINT: meant to read as a view
  std::string String() const { return std::string(View()); }

  bool empty() const { return bits_ == 0; }
  // Whether the text holds a block of its own on the heap (not when empty or well known).
  bool OwnsBlock() const { return bits_ != 0 && (bits_ & kShared) == 0; }
  std::size_t size() const { return View().size(); }
  const char* begin() const { return View().data(); }
  const char* end() const { return View().data() + View().size(); }
  // NUL-terminated, "" when empty.
  const char* c_str() const;

  template <typename Text>
  requires std::convertible_to<const Text&, std::string_view>
  friend bool operator==(const CompactText& text, const Text& other) {
    return text.View() == std::string_view(other);
  }
  friend std::ostream& operator<<(std::ostream& out, const CompactText& text);

 private:
  static constexpr std::uintptr_t kShared = 1;  // the block is a well-known value's, not owned
  const char* Block() const { return reinterpret_cast<const char*>(bits_ & ~kShared); }

  // The address of a block (the length in 4 bytes, the characters, a NUL), with kShared set
  // when the block is not this text's own; 0 for an empty text.
  std::uintptr_t bits_ = 0;
};

}  // namespace quillon
