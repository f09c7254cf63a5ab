// Readable text of an HTML body, for searching: tags and script/style content dropped, the common
// character references resolved, white space runs collapsed.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

std::u16string HtmlToPlainText(std::u16string_view html);

// The charset an HTML body names in its first 4096 bytes ("charset=..."); empty when none.
std::string CharsetFromHtml(std::string_view html);

}  // namespace quillon
