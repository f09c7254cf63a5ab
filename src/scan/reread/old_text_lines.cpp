#include "scan/reread/old_text_lines.h"

#include <algorithm>

#include "scan/lines/line_reader.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

bool NoTextOfAnyCharset(std::string_view line) {
  const auto shift = [](char c) { return c == '\x1b' || c == '\x0e' || c == '\x0f'; };
  const auto eightBit = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  return std::any_of(line.begin(), line.end(), shift) &&
         std::any_of(line.begin(), line.end(), eightBit);
}

bool IsPartHeaderLine(std::string_view line) {
  return StartsWithNoCase(line, "content-") && HeaderNameLength(line) > 0;
}

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A tag begins with "<" or "</", a name of letters and digits, and a blank, ">" or "/" behind it.
bool HoldsTag(std::string_view line) {
  for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
    std::size_t name = at + 1;
    if (name < line.size() && line[name] == '/') ++name;
    if (name >= line.size() || !IsAsciiLetter(line[name])) continue;
    std::size_t end = name;
    while (end < line.size() &&
           (IsAsciiLetter(line[end]) || (line[end] >= '0' && line[end] <= '9')))
      ++end;
    if (end < line.size() && (line[end] == '>' || line[end] == ' ' || line[end] == '/'))
      return true;
  }
  return false;
}

// A style rule's declarations ("name: value;") closed by "}", as a whole rule or its tail.
bool HoldsStyleRule(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (!line.ends_with('}')) return false;
  const std::size_t colon = line.find(':');
  return colon != std::string_view::npos && line.find(';', colon) != std::string_view::npos;
}

}  // namespace

bool HoldsMarkup(std::string_view line) {
  return HoldsTag(line) || HoldsStyleRule(line);
}

bool HoldsPageHead(std::string_view line) {
  return HoldsStyleRule(line) || FindNoCase(line, "</style") != std::string_view::npos ||
         FindNoCase(line, "</head") != std::string_view::npos;
}

HtmlDocument HtmlDocumentOf(std::string_view line) {
  HtmlDocument last = HtmlDocument::Neither;
  for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
    const std::string_view tag = line.substr(at);
    if (StartsWithNoCase(tag, "</html>")) last = HtmlDocument::Closes;
    if (StartsWithNoCase(tag, "<html")) last = HtmlDocument::Opens;
  }
  return last;
}

}  // namespace quillon::mail_reader
