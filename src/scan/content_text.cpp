#include "scan/content_text.h"

#include <algorithm>

#include "scan/html_text.h"
#include "text/charset_table.h"
#include "text/code_page.h"

namespace quillon {

namespace {

std::u16string ConvertText(std::string_view bytes, std::string_view charset, int ansiCodePage) {
  if (!charset.empty()) {
    if (const CharsetEntry* entry = FindCharsetForParameter(charset))
      return CodePageToUtf16(ResolveCodePage(entry->codePage, ansiCodePage), bytes);
    // A charset the table does not list (gb18030, utf-16) is still converted by its name.
    std::u16string text;
    if (ConvertByCharsetName(charset, bytes, text)) return text;
  }
  return AnsiToUtf16(bytes, ansiCodePage);
}

constexpr int kUtf8CodePage = 65001;

// The code pages whose bytes 0-127 read as themselves, one character each, and whose other
// bytes read as characters that neither are nor fold to ASCII.
bool ReadsAsciiAsItself(int codePage) {
  if (codePage == kUtf8CodePage || codePage == 20127 || codePage == 874) return true;
  if (codePage >= 1250 && codePage <= 1258) return true;
  if (codePage >= 28591 && codePage <= 28599) return true;
  return codePage == 28605 || codePage == 38598;
}

// The code page ContentTextOf converts `source` with, or 0 where it goes by a charset name.
int CodePageOf(const ContentTextSource& source) {
  if (source.charset.empty()) return source.ansiCodePage;
  const CharsetEntry* entry = FindCharsetForParameter(source.charset);
  return entry != nullptr ? ResolveCodePage(entry->codePage, source.ansiCodePage) : 0;
}

// UTF-8 of the two characters outside ASCII whose simple case folding is an ASCII letter.
constexpr std::string_view kKelvinSign = "\xE2\x84\xAA";  // folds to "k"
constexpr std::string_view kLongS = "\xC5\xBF";           // folds to "s"

char FoldedAsciiByte(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

}  // namespace

bool IsAscii(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
}

std::optional<bool> HoldsFoldedAscii(const ContentTextSource& source, std::string_view foldedNeedle,
                                     std::string& scratch) {
  if (source.isHtml) return std::nullopt;
  const int codePage = CodePageOf(source);
  if (!ReadsAsciiAsItself(codePage)) return std::nullopt;
  const std::string_view bytes = source.bodyText;
  if (codePage == kUtf8CodePage && (bytes.find(kKelvinSign) != std::string_view::npos ||
                                    bytes.find(kLongS) != std::string_view::npos))
    return std::nullopt;
  // An empty body converts to no text at all, which holds only the empty needle.
  if (foldedNeedle.empty()) return true;
  scratch.resize(bytes.size());
  std::transform(bytes.begin(), bytes.end(), scratch.begin(), FoldedAsciiByte);
  return std::string_view(scratch).find(foldedNeedle) != std::string_view::npos;
}

std::u16string ContentTextOf(const ContentTextSource& source) {
  std::u16string text = ConvertText(source.bodyText, source.charset, source.ansiCodePage);
  if (source.isHtml) text = HtmlToPlainText(text);
  return text;
}

}  // namespace quillon
