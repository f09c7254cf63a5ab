// Where a copy's text gives way to old data that no mail's end marks: two copies of one message
// whose ends the scan did not see read on into whatever was written behind each, and part there.
// Mail text ends every line alike (CR LF, or a line feed alone); old data written behind it seldom
// does the same, and its first line ends otherwise.
#pragma once

#include <cstddef>

#include "scan/merge/mail_print.h"

namespace quillon {

// Whether the line that begins at index `at` of `text` is no line of the text from index `from`
// to `at`: every line of that text ends alike, and this one ends otherwise (a line feed alone
// behind CR LF lines, or CR LF behind lines ended by a line feed alone).
bool OtherLinesBeginAt(MailText text, std::size_t from, std::size_t at);

}  // namespace quillon
