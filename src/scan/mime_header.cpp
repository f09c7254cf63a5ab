#include "scan/mime_header.h"

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

// Reads one parameter value: a quoted string (backslash escapes kept literal) or a token.
std::string ReadParameterValue(std::string_view text, std::size_t& at) {
  std::string value;
  if (at < text.size() && text[at] == '"') {
    ++at;
    while (at < text.size() && text[at] != '"') {
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value += text[at++];
    }
    if (at < text.size()) ++at;
    return value;
  }
  while (at < text.size() && text[at] != ';') value += text[at++];
  return std::string(TrimWhiteSpace(value));
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
                  std::string& raw, std::u16string& decoded) {
  const MimeParameter* parameter = disposition.Find("filename");
  if (!parameter || parameter->value.empty()) parameter = contentType.Find("name");
  if (!parameter || parameter->value.empty()) return false;
  raw = parameter->value;
  decoded = parameter->extended ? DecodeExtendedParameter(raw) : DecodeHeaderText(raw);
  return true;
}

}  // namespace quillon
