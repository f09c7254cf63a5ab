// The header fields the scan reads, in one table: every reader (the walk's header parser, the
// shape scan's header blocks, the re-reader's search, the extent reader) names its fields here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// The field a header line's name (the text before its colon) names, whatever its letter case.
inline std::optional<HeaderField> FieldNamed(std::string_view name) {
  if (name.size() > header_fields::kLongestName) return std::nullopt;
  for (const std::int8_t index : header_fields::kByNameLength[name.size()]) {
    if (index < 0) break;
    const auto field = static_cast<HeaderField>(index);
    if (StartsWithNoCase(name, NameOf(field))) return field;
  }
  return std::nullopt;
}

// The fields one of which opens a mail as it arrived: the walk's and the re-reader's start lines.
inline constexpr std::array<HeaderField, 3> kMailStartFields = {
    HeaderField::Received, HeaderField::DeliveredTo, HeaderField::ReturnPath};

}  // namespace quillon
