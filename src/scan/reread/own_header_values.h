// What a mail's own header block says about its body, read again from the mail's text: where the
// record's values miss it (a parameter written in a way the scan's reader passed over), the
// re-reader still ends the mail by it. Private to the re-reader.
#pragma once

#include <string>
#include <string_view>

namespace quillon::mail_reader {

// The boundary of the multipart that `headerBlock` (the mail's header lines, folds included)
// names in its first Content-Type field, however its parameters are written (RFC 2045 5.1: a
// fold or blanks around "=", a quoted value with blanks in it); empty for any other body.
std::string MultipartBoundaryOf(std::string_view headerBlock);

// True when the header block names an HTML text as the mail's body.
bool DeclaresHtmlText(std::string_view headerBlock);

}  // namespace quillon::mail_reader
