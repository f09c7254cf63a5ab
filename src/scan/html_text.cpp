#include "scan/html_text.h"

#include <array>
#include <utility>

#include "text/ascii.h"

namespace quillon {

namespace {

char16_t LowerAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

bool StartsWithNoCase(std::u16string_view text, std::size_t at, std::u16string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (LowerAscii(text[at + i]) != word[i]) return false;
  return true;
}

void AppendCodePoint(std::u16string& out, char32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

// Resolves the reference starting at '&'; returns the characters consumed, 0 when it is not one.
std::size_t AppendReference(std::u16string_view html, std::size_t at, std::u16string& out) {
  static constexpr std::array<std::pair<std::u16string_view, char16_t>, 8> kNamed = {{
      {u"amp;", u'&'},
      {u"lt;", u'<'},
      {u"gt;", u'>'},
      {u"quot;", u'"'},
      {u"apos;", u'\''},
      {u"nbsp;", u' '},
      {u"copy;", u'\u00A9'},
      {u"euro;", u'\u20AC'},
  }};
  std::size_t i = at + 1;
  if (i < html.size() && html[i] == u'#') {
    ++i;
    const bool hex = i < html.size() && (html[i] == u'x' || html[i] == u'X');
    if (hex) ++i;
    char32_t code = 0;
    const std::size_t digits = i;
    for (; i < html.size() && i - digits < 8; ++i) {
      const char16_t c = html[i];
      int value = -1;
      if (c >= u'0' && c <= u'9')
        value = c - u'0';
      else if (hex && c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
      else if (hex && c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
      if (value < 0) break;
      code = code * (hex ? 16 : 10) + static_cast<char32_t>(value);
    }
    if (i == digits) return 0;
    if (i < html.size() && html[i] == u';') ++i;
    AppendCodePoint(out, code);
    return i - at;
  }
  for (const auto& [name, character] : kNamed) {
    if (StartsWithNoCase(html, i, name)) {
      out += character;
      return 1 + name.size();
    }
  }
  return 0;
}

}  // namespace

std::u16string HtmlToPlainText(std::u16string_view html) {
  std::u16string out;
  out.reserve(html.size() / 2);
  bool lastWasSpace = true;
  auto appendSpace = [&] {
    if (!lastWasSpace) out += u' ';
    lastWasSpace = true;
  };
  std::size_t i = 0;
  while (i < html.size()) {
    const char16_t c = html[i];
    if (c == u'<') {
      // Script and style bodies are code, not text.
      for (std::u16string_view element :
           {std::u16string_view(u"script"), std::u16string_view(u"style")}) {
        if (StartsWithNoCase(html, i + 1, element)) {
          const std::u16string closing = u"</" + std::u16string(element);
          std::size_t end = i + 1;
          while (end < html.size() && !StartsWithNoCase(html, end, closing)) ++end;
          i = end;
          break;
        }
      }
      const std::size_t close = html.find(u'>', i);
      i = close == std::u16string_view::npos ? html.size() : close + 1;
      appendSpace();
      continue;
    }
    if (c == u'&') {
      const std::size_t used = AppendReference(html, i, out);
      if (used > 0) {
        lastWasSpace = out.back() == u' ';
        i += used;
        continue;
      }
    }
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      appendSpace();
    } else {
      out += c;
      lastWasSpace = false;
    }
    ++i;
  }
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

std::string CharsetFromHtml(std::string_view html) {
  const std::string_view head = html.substr(0, 4096);
  std::size_t at = FindNoCase(head, "charset=");
  if (at == std::string_view::npos) return {};
  at += 8;
  while (at < head.size() && (head[at] == '"' || head[at] == '\'')) ++at;
  std::size_t end = at;
  while (end < head.size() && head[end] != '"' && head[end] != '\'' && head[end] != ';' &&
         head[end] != '>' && head[end] != ' ' && head[end] != '/')
    ++end;
  return std::string(head.substr(at, end - at));
}

}  // namespace quillon
