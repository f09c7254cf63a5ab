// What a mail's text part reads as: its bytes (already decoded by their transfer encoding)
// converted by their charset, and for HTML the readable text without tags. Worked out when a
// search, a preview or a report asks for it rather than for every mail a scan follows: most
// found mails are only listed, and the conversion took a large share of a dense scan.
#pragma once

#include <optional>
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

// Whether ContentTextOf(source), case folded, holds `foldedNeedle`, a text of ASCII characters
// already case folded, told from the bytes without converting them: where the charset reads
// every ASCII byte as itself and no other byte as a character that folds to ASCII (UTF-8,
// US-ASCII, the ISO 8859 and Windows single-byte pages). Nothing when the text must be converted
// to tell: another charset, HTML (whose tags and entities the conversion drops), or UTF-8 that
// writes one of the two characters folding to ASCII letters (KELVIN SIGN, LONG S). `scratch` is
// reused from call to call.
std::optional<bool> HoldsFoldedAscii(const ContentTextSource& source, std::string_view foldedNeedle,
                                     std::string& scratch);

// Whether `text` holds only ASCII characters.
bool IsAscii(std::u16string_view text);

}  // namespace quillon
