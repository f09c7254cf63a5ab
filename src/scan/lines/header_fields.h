// The header fields the scan reads, in one table: every reader (the walk's header parser, the
// shape scan's header blocks, the re-reader's search, the extent reader) names its fields here.
#pragma once

#include <array>
#include <cstddef>
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

// The field a header line's name (the text before its colon) names, whatever its letter case.
inline std::optional<HeaderField> FieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < header_fields::kPrefixes.size(); ++i) {
    const auto field = static_cast<HeaderField>(i);
    if (name.size() == NameOf(field).size() && StartsWithNoCase(name, NameOf(field))) return field;
  }
  return std::nullopt;
}

// The fields one of which opens a mail as it arrived: the walk's and the re-reader's start lines.
inline constexpr std::array<HeaderField, 3> kMailStartFields = {
    HeaderField::Received, HeaderField::DeliveredTo, HeaderField::ReturnPath};

}  // namespace quillon
