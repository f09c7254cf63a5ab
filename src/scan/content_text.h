// What a mail's text part reads as: its bytes (already decoded by their transfer encoding)
// converted by their charset, and for HTML the readable text without tags. Worked out when a
// search, a preview or a report asks for it rather than for every mail a scan follows: most
// found mails are only listed, and the conversion took a large share of a dense scan.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

struct ContentTextSource {
  std::string_view bodyText;
  std::string_view charset;  // "" when the text part named none
  bool isHtml = false;
  int ansiCodePage = 0;  // the code page of 8-bit text without a charset
};

std::u16string ContentTextOf(const ContentTextSource& source);

}  // namespace quillon
