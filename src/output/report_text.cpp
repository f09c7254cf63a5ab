#include "output/report_text.h"

#include <cstdint>

namespace quillon::report_text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Reads the UTF-8 sequence at `at` (RFC 3629, section 4). Returns its length and puts its code
// point into `code`; for an ill-formed sequence returns the length of its maximal subpart (the
// lead byte and the continuation bytes that could still have begun a well-formed sequence,
// at least 1) and sets `wellFormed` false, so that each such subpart becomes one U+FFFD, as
// the Unicode standard recommends (chapter 3, "U+FFFD Substitution of Maximal Subparts").
std::size_t SequenceAt(std::string_view text, std::size_t at, char32_t& code, bool& wellFormed) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  wellFormed = false;
  if (lead < 0x80) {
    code = lead;
    wellFormed = true;
    return 1;
  }
  std::size_t length = 0;
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;   // no overlong forms
    if (lead == 0xED) secondHigh = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;   // no overlong forms
    if (lead == 0xF4) secondHigh = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 1;
  }
  code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t low = i == 1 ? secondLow : 0x80;
    const std::uint8_t high = i == 1 ? secondHigh : 0xBF;
    if (at + i >= text.size() || byte(i) < low || byte(i) > high) return i;
    code = code << 6 | (byte(i) & 0x3F);
  }
  wellFormed = true;
  return length;
}

bool AllowedInXml(char32_t code) {
  if (code < 0x20) return code == '\t' || code == '\n' || code == '\r';
  return code != 0xFFFE && code != 0xFFFF;
}

std::string Clean(std::string_view text, bool xml) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    bool wellFormed = false;
    const std::size_t length = SequenceAt(text, at, code, wellFormed);
    if (!wellFormed) {
      out += kReplacement;
      at += length;
      continue;
    }
    if (xml && !AllowedInXml(code))
      out += kReplacement;
    else
      out.append(text.substr(at, length));
    at += length;
  }
  return out;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  return Clean(text, false);
}

std::string XmlText(std::string_view text) {
  return Clean(text, true);
}

}  // namespace quillon::report_text
