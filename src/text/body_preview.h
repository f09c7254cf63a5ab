// Cuts one body part out of a raw mail for the preview pane and undoes its transfer encoding.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// `mail` is the raw mail text, `lowered` a lower-cased copy of the same length, `startOffset`
// the offset of the part's content type ("text/html" or "text/plain") in it, `endMarker`
// usually "</html>". The body starts after the first blank line behind `startOffset`; a base64
// part ends at the next blank line, else at "--boundary", else at "eturn-path"; any other part
// at the end marker, else "--boundary", else "eturn-path", else (quoted-printable only) one byte
// before the end. False when the body cannot be delimited; `body` then is empty. A UTF-8 body
// is re-encoded in `ansiCodePage`.
[[nodiscard]] bool DecodeBodyForPreview(std::string_view mail, std::string_view lowered,
                                        long long startOffset, std::string_view endMarker,
                                        int ansiCodePage, std::string& body);

}  // namespace quillon
