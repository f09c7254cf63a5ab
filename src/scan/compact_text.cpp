#include "scan/compact_text.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <ostream>

namespace quillon {

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

char* NewBlock(std::string_view text) {
  const auto length = static_cast<std::uint32_t>(text.size());
  char* block = new char[kLengthBytes + text.size() + 1];
  std::memcpy(block, &length, kLengthBytes);
  std::memcpy(block + kLengthBytes, text.data(), text.size());
  block[kLengthBytes + text.size()] = '\0';
  return block;
}

// Values most mails write word for word in their header and part fields (as the scan keeps
// them: transfer encodings and media types of parts lower-cased, the header's as written).
// clang-format off
constexpr std::string_view kWellKnown[] = {
    "7bit",
    "8bit",
    "base64",
    "quoted-printable",
    "binary",
    "7BIT",
    "8BIT",
    "BASE64",
    "Quoted-Printable",
    "text/plain",
    "text/html",
    "multipart/mixed",
    "multipart/alternative",
    "multipart/related",
    "multipart/report",
    "multipart/signed",
    "message/rfc822",
    "message/delivery-status",
    "application/octet-stream",
    "application/pdf",
    "image/png",
    "image/jpeg",
    "image/gif",
    "us-ascii",
    "utf-8",
    "iso-8859-1",
    "iso-8859-15",
    "windows-1252",
    "US-ASCII",
    "UTF-8",
    "ISO-8859-1",
    "text/plain; charset=us-ascii",
    "text/plain; charset=utf-8",
    "text/plain; charset=\"us-ascii\"",
    "text/plain; charset=\"utf-8\"",
    "text/plain; charset=\"iso-8859-1\"",
    // A multipart header's value as kept, cut in front of its boundary parameter.
    "multipart/mixed;", "multipart/alternative;", "multipart/related;", "multipart/signed;",
    "multipart/report;", "multipart/mixed; ", "multipart/alternative; ", "multipart/related; ",
    "Windows-1252", "koi8-r", "shift_jis", "iso-2022-jp", "euc-kr", "big5", "gb2312", "gbk",
    "gb18030", "windows-1251",
};
// clang-format on
constexpr std::size_t kWellKnownCount = std::size(kWellKnown);

// Built once and never changed: the blocks every text of a well-known value points at.
const std::array<char*, kWellKnownCount>& WellKnownBlocks() {
  static const std::array<char*, kWellKnownCount> blocks = [] {
    std::array<char*, kWellKnownCount> made{};
    for (std::size_t i = 0; i < kWellKnownCount; ++i) made[i] = NewBlock(kWellKnown[i]);
    return made;
  }();
  return blocks;
}

constexpr std::size_t kLongestWellKnown = 32;

// The well-known values of each length, as indices into kWellKnown (most lengths have none or a
// few): a value is compared with those of its own length alone.
struct WellKnownOfLength {
  std::array<std::uint8_t, kWellKnownCount> indices{};
  std::size_t count = 0;
};
constexpr std::array<WellKnownOfLength, kLongestWellKnown + 1> kByLength = [] {
  std::array<WellKnownOfLength, kLongestWellKnown + 1> table{};
  for (std::size_t i = 0; i < kWellKnownCount; ++i) {
    WellKnownOfLength& same = table[kWellKnown[i].size()];
    same.indices[same.count++] = static_cast<std::uint8_t>(i);
  }
  return table;
}();

const char* WellKnownBlock(std::string_view text) {
  if (text.size() > kLongestWellKnown) return nullptr;
  const WellKnownOfLength& same = kByLength[text.size()];
  for (std::size_t k = 0; k < same.count; ++k) {
    const std::size_t i = same.indices[k];
    if (std::memcmp(kWellKnown[i].data(), text.data(), text.size()) == 0)
      return WellKnownBlocks()[i];
  }
  return nullptr;
}

}  // namespace

CompactText::CompactText(std::string_view text) {
  if (text.empty()) return;
  if (const char* shared = WellKnownBlock(text)) {
    bits_ = reinterpret_cast<std::uintptr_t>(shared) | kShared;
    return;
  }
  // Header values are cut far below 4 GiB long before they get here; cut rather than wrap.
  if (text.size() > std::numeric_limits<std::uint32_t>::max())
    text = text.substr(0, std::numeric_limits<std::uint32_t>::max());
  bits_ = reinterpret_cast<std::uintptr_t>(NewBlock(text));
}

CompactText::~CompactText() {
  if (OwnsBlock()) delete[] Block();
}

CompactText& CompactText::operator=(const CompactText& other) {
  if (this != &other) *this = CompactText(other.View());
  return *this;
}

CompactText& CompactText::operator=(CompactText&& other) noexcept {
  if (this != &other) {
    if (OwnsBlock()) delete[] Block();
    bits_ = std::exchange(other.bits_, 0);
  }
  return *this;
}

std::string_view CompactText::View() const {
  if (bits_ == 0) return {};
  std::uint32_t length = 0;
  std::memcpy(&length, Block(), kLengthBytes);
  return {Block() + kLengthBytes, length};
}

const char* CompactText::c_str() const {
  return bits_ != 0 ? Block() + kLengthBytes : "";
}

std::ostream& operator<<(std::ostream& out, const CompactText& text) {
  return out << text.View();
}

}  // namespace quillon
