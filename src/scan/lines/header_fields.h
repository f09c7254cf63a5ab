// The header fields the scan reads, in one table: every reader (the walk's header parser, the
// shape scan's header blocks, the re-reader's search, the extent reader) names its fields here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "text/ascii.h"

namespace quillon {

enum class HeaderField {
  From,
  To,
  Cc,
  Date,
  Subject,
  MessageId,
  ContentType,
  TransferEncoding,
  Priority,
  Attachment,
  Received,
  DeliveredTo,
  ReturnPath,
  Uidl,
  MimeVersion,
};

namespace header_fields {

// Each field's line prefix: its name as mail writes it, the colon and the blank behind it.
inline constexpr std::array<std::string_view, 15> kPrefixes = {
    "From: ",        "To: ",           "Cc: ",           "Date: ",
    "Subject: ",     "Message-ID: ",   "Content-Type: ", "Content-Transfer-Encoding: ",
    "X-Priority: ",  "X-Attachment: ", "Received: ",     "Delivered-To: ",
    "Return-Path: ", "X-UIDL: ",       "MIME-Version: ",
};

}  // namespace header_fields

// "From: " for From: how a line that holds the field begins (compared without regard to case).
constexpr std::string_view LinePrefix(HeaderField field) {
  return header_fields::kPrefixes[static_cast<std::size_t>(field)];
}

// The field's name alone ("From").
constexpr std::string_view NameOf(HeaderField field) {
  const std::string_view prefix = LinePrefix(field);
  return prefix.substr(0, prefix.size() - 2);
}

namespace header_fields {

inline constexpr std::size_t kLongestName = 25;  // Content-Transfer-Encoding

// The fields by the length of their names (-1 behind the last): a name is compared with those
// of its own length alone, as the shape scan asks at every line that reads "Name:".
inline constexpr auto kByNameLength = [] {
  std::array<std::array<std::int8_t, 4>, kLongestName + 1> table{};
  for (auto& row : table) row.fill(-1);
  for (std::size_t i = 0; i < kPrefixes.size(); ++i) {
    const std::size_t length = kPrefixes[i].size() - 2;
    std::size_t slot = 0;
    while (table[length][slot] != -1) ++slot;  // more names of one length do not compile
    table[length][slot] = static_cast<std::int8_t>(i);
  }
  return table;
}();

}  // namespace header_fields

namespace header_fields {

// Each prefix in lower case, and the 0x20 bit of its letters: a byte of a line matches a letter
// in either case when it reads the same with that bit set, any other byte alone. Eight bytes are
// compared at a time: the shape scan names a field at nearly every line it reads.
struct LoweredPrefix {
  std::array<std::uint8_t, 32> bytes{};
  std::array<std::uint8_t, 32> letterBits{};
};
inline constexpr auto kLoweredPrefixes = [] {
  std::array<LoweredPrefix, kPrefixes.size()> lowered{};
  for (std::size_t i = 0; i < kPrefixes.size(); ++i) {
    for (std::size_t at = 0; at < kPrefixes[i].size(); ++at) {
      const unsigned char byte = AsciiLower(static_cast<unsigned char>(kPrefixes[i][at]));
      lowered[i].bytes[at] = byte;
      lowered[i].letterBits[at] = byte >= 'a' && byte <= 'z' ? 0x20 : 0;
    }
  }
  return lowered;
}();

template <typename Word>
bool SameWordNoCase(const char* text, const LoweredPrefix& prefix, std::size_t at) {
  Word word, bytes, letters;
  std::memcpy(&word, text + at, sizeof word);
  std::memcpy(&bytes, prefix.bytes.data() + at, sizeof bytes);
  std::memcpy(&letters, prefix.letterBits.data() + at, sizeof letters);
  return (word | letters) == bytes;
}

}  // namespace header_fields

// Whether the `size` bytes at `text` are the first `size` bytes of the table's prefix `index` in
// any letter case (StartsWithNoCase); `size` is at most the prefix's length. Only those bytes are
// read: words that overlap where `size` is no multiple of their length.
inline bool SamePrefixNoCase(const char* text, std::size_t size, std::size_t index) {
  using header_fields::SameWordNoCase;
  const header_fields::LoweredPrefix& prefix = header_fields::kLoweredPrefixes[index];
  if (size >= 8) {
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
      if (!SameWordNoCase<std::uint64_t>(text, prefix, at)) return false;
    }
    return at == size || SameWordNoCase<std::uint64_t>(text, prefix, size - 8);
  }
  if (size >= 4) {
    return SameWordNoCase<std::uint32_t>(text, prefix, 0) &&
           SameWordNoCase<std::uint32_t>(text, prefix, size - 4);
  }
  for (std::size_t at = 0; at < size; ++at) {
    if ((static_cast<std::uint8_t>(text[at]) | prefix.letterBits[at]) != prefix.bytes[at])
      return false;
  }
  return true;
}

// The field a header line's name (the text before its colon) names, whatever its letter case.
inline std::optional<HeaderField> FieldNamed(std::string_view name) {
  if (name.size() > header_fields::kLongestName) return std::nullopt;
  for (const std::int8_t index : header_fields::kByNameLength[name.size()]) {
    if (index < 0) break;
    if (SamePrefixNoCase(name.data(), name.size(), static_cast<std::size_t>(index)))
      return static_cast<HeaderField>(index);
  }
  return std::nullopt;
}

// The fields one of which opens a mail as it arrived: the walk's and the re-reader's start lines.
inline constexpr std::array<HeaderField, 3> kMailStartFields = {
    HeaderField::Received, HeaderField::DeliveredTo, HeaderField::ReturnPath};

}  // namespace quillon
