#include "scan/content_text.h"

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

}  // namespace

std::u16string ContentTextOf(const ContentTextSource& source) {
  std::u16string text = ConvertText(source.bodyText, source.charset, source.ansiCodePage);
  if (source.isHtml) text = HtmlToPlainText(text);
  return text;
}

}  // namespace quillon
