// Text made safe for the report files (private to src/output): carved mail holds any bytes,
// and a report must stay valid UTF-8 (and valid XML) whatever a subject holds.
#pragma once

#include <string>
#include <string_view>

namespace quillon::report_text {

// `text` with every ill-formed UTF-8 sequence (a stray continuation byte, a sequence cut
// short, an overlong form, a surrogate, a code point beyond U+10FFFF) replaced by U+FFFD, one
// for each maximal subpart as the Unicode standard recommends (and Python's "replace" does).
// Valid UTF-8 comes back unchanged.
std::string ValidUtf8(std::string_view text);

// ValidUtf8, and then every character that XML 1.0 does not allow in a document (controls
// other than TAB, LF and CR; U+FFFE and U+FFFF) replaced by U+FFFD as well.
std::string XmlText(std::string_view text);

}  // namespace quillon::report_text
