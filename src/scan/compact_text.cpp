#include "scan/compact_text.h"

#include <cstring>
#include <limits>
#include <ostream>

namespace quillon {

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

}  // namespace

CompactText::CompactText(std::string_view text) {
  if (text.empty()) return;
  // Header values are cut far below 4 GiB long before they get here; cut rather than wrap.
  if (text.size() > std::numeric_limits<std::uint32_t>::max())
    text = text.substr(0, std::numeric_limits<std::uint32_t>::max());
  const auto length = static_cast<std::uint32_t>(text.size());
  block_ = std::make_unique_for_overwrite<char[]>(kLengthBytes + text.size() + 1);
  std::memcpy(block_.get(), &length, kLengthBytes);
  std::memcpy(block_.get() + kLengthBytes, text.data(), text.size());
  block_[kLengthBytes + text.size()] = '\0';
}

CompactText& CompactText::operator=(const CompactText& other) {
  if (this != &other) *this = CompactText(other.View());
  return *this;
}

std::string_view CompactText::View() const {
  if (!block_) return {};
  std::uint32_t length = 0;
  std::memcpy(&length, block_.get(), kLengthBytes);
  return {block_.get() + kLengthBytes, length};
}

const char* CompactText::c_str() const {
  return block_ ? block_.get() + kLengthBytes : "";
}

std::ostream& operator<<(std::ostream& out, const CompactText& text) {
  return out << text.View();
}

}  // namespace quillon
