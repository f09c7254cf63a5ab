#include "scan/lines/mime_header.h"

#include <algorithm>
#include <cstdlib>

#include "text/ascii.h"
#include "text/encoded_words.h"

namespace quillon {

namespace {

struct RawParameter {
  std::string name;
  int section = -1;
  bool extended = false;
  std::string value;
};

// Reads one parameter value: a quoted string (backslash escapes kept literal) or a token. The
// stretches between quotes and escapes are taken whole: every part of every mail has such values.
std::string ReadParameterValue(std::string_view text, std::size_t& at) {
  if (at < text.size() && text[at] == '"') {
    std::string value;
    ++at;
    while (at < text.size()) {
      const std::size_t stop = std::min(text.find_first_of("\"\\", at), text.size());
      value.append(text.substr(at, stop - at));
      at = stop;
      if (at == text.size() || text[at] == '"') break;
      // A backslash: the byte behind it stands for itself; a last backslash is kept.
      if (at + 1 < text.size()) ++at;
      value += text[at++];
    }
    if (at < text.size()) ++at;
    return value;
  }
  const std::size_t end = std::min(text.find(';', at), text.size());
  const std::string_view token = text.substr(at, end - at);
  at = end;
  return std::string(TrimWhiteSpace(token));
}

}  // namespace

const MimeParameter* MimeHeaderValue::Find(std::string_view name) const {
  for (const MimeParameter& parameter : parameters)
    if (parameter.name == name) return &parameter;
  return nullptr;
}

MimeHeaderValue ParseMimeHeaderValue(std::string_view value) {
  MimeHeaderValue parsed;
  std::size_t at = value.find(';');
  parsed.token = AsciiLowered(TrimWhiteSpace(value.substr(0, at)));
  std::vector<RawParameter> raw;
  while (at != std::string_view::npos && at < value.size()) {
    ++at;  // the ';'
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t' || value[at] == ';')) ++at;
    const std::size_t equals = value.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string name = AsciiLowered(TrimWhiteSpace(value.substr(at, equals - at)));
    at = equals + 1;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    RawParameter parameter;
    parameter.value = ReadParameterValue(value, at);
    // RFC 2231 3 and 4: name*n*= is section n, percent-encoded; a trailing '*' marks extended.
    if (!name.empty() && name.back() == '*') {
      parameter.extended = true;
      name.pop_back();
    }
    if (const std::size_t star = name.find('*'); star != std::string::npos) {
      parameter.section = std::atoi(name.c_str() + star + 1);
      name.resize(star);
    }
    parameter.name = std::move(name);
    raw.push_back(std::move(parameter));
    at = value.find(';', at);
  }
  // Join the sections of each name in section order (RFC 2231 3); names keep their first order.
  for (const RawParameter& first : raw) {
    if (parsed.Find(first.name)) continue;
    const auto named = std::count_if(raw.begin(), raw.end(), [&](const RawParameter& parameter) {
      return parameter.name == first.name;
    });
    if (named == 1) {
      // Nearly every parameter: one section, nothing to join.
      parsed.parameters.push_back({first.name, first.value, first.extended});
      continue;
    }
    std::vector<const RawParameter*> sections;
    for (const RawParameter& parameter : raw)
      if (parameter.name == first.name) sections.push_back(&parameter);
    std::stable_sort(
        sections.begin(), sections.end(),
        [](const RawParameter* a, const RawParameter* b) { return a->section < b->section; });
    MimeParameter joined{first.name, "", false};
    for (const RawParameter* section : sections) {
      joined.value += section->value;
      joined.extended = joined.extended || section->extended;
    }
    parsed.parameters.push_back(std::move(joined));
  }
  return parsed;
}

bool PartFileName(const MimeHeaderValue& disposition, const MimeHeaderValue& contentType,
                  int ansiCodePage, std::string& raw, std::u16string& decoded) {
  const MimeParameter* parameter = disposition.Find("filename");
  if (!parameter || parameter->value.empty()) parameter = contentType.Find("name");
  if (!parameter || parameter->value.empty()) return false;
  raw = parameter->value;
  decoded = parameter->extended ? DecodeExtendedParameter(raw, ansiCodePage)
                                : DecodeHeaderText(raw, ansiCodePage);
  return true;
}

namespace {

struct TypeExtension {
  std::string_view type;
  std::string_view extension;
};

constexpr TypeExtension kExtensions[] = {
    {"application/gzip", "gz"},
    {"application/json", "json"},
    {"application/ms-tnef", "dat"},
    {"application/msword", "doc"},
    {"application/octet-stream", "bin"},
    {"application/pdf", "pdf"},
    {"application/pgp-encrypted", "asc"},
    {"application/pgp-signature", "asc"},
    {"application/pkcs7-mime", "p7m"},
    {"application/pkcs7-signature", "p7s"},
    {"application/postscript", "ps"},
    {"application/rtf", "rtf"},
    {"application/vnd.ms-excel", "xls"},
    {"application/vnd.ms-powerpoint", "ppt"},
    {"application/vnd.openxmlformats-officedocument.presentationml.presentation", "pptx"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "xlsx"},
    {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", "docx"},
    {"application/x-gzip", "gz"},
    {"application/x-pkcs7-mime", "p7m"},
    {"application/x-pkcs7-signature", "p7s"},
    {"application/x-zip-compressed", "zip"},
    {"application/xml", "xml"},
    {"application/zip", "zip"},
    {"audio/basic", "au"},
    {"audio/mpeg", "mp3"},
    {"audio/wav", "wav"},
    {"audio/x-wav", "wav"},
    {"image/bmp", "bmp"},
    {"image/gif", "gif"},
    {"image/jpeg", "jpg"},
    {"image/jpg", "jpg"},
    {"image/pjpeg", "jpg"},
    {"image/png", "png"},
    {"image/svg+xml", "svg"},
    {"image/tiff", "tif"},
    {"image/webp", "webp"},
    {"text/calendar", "ics"},
    {"text/csv", "csv"},
    {"text/html", "html"},
    {"text/xml", "xml"},
    {"video/mp4", "mp4"},
    {"video/mpeg", "mpg"},
};

std::string_view ExtensionOf(std::string_view type) {
  for (const TypeExtension& known : kExtensions)
    if (known.type == type) return known.extension;
  // A part without a type is text/plain (RFC 2045 5.2); so are the reports a mail system sends
  // (delivery status, feedback) and every other text.
  if (type.empty() || type.rfind("text/", 0) == 0 || type.rfind("message/", 0) == 0) return "txt";
  return "bin";
}

}  // namespace

std::string NameForUnnamedPart(std::string_view mediaType, std::size_t number) {
  if (mediaType == "message/rfc822" || mediaType == "message/global")
    return "message-" + std::to_string(number) + ".eml";
  return "attachment-" + std::to_string(number) + "." + std::string(ExtensionOf(mediaType));
}

}  // namespace quillon
