// The ordered table of MIME charset names and the code pages that convert them, and the two
// rules by which a name found in a mail is looked up in it.
#pragma once

#include <string_view>
#include <vector>

namespace quillon {

struct CharsetEntry {
  std::string_view name;  // lower-case ASCII, e.g. "gb2312"
  int codePage = 0;       // Windows code page number; 0 means the ANSI code page
};

// The 119 rows in their fixed order; built once, read-only afterwards.
const std::vector<CharsetEntry>& CharsetTable();

// Rule A: the charset of an RFC 2047 encoded word ("=?charset?B?...?="). The charset token ends
// at the '?' (or an RFC 2231 "*lang"); an exact name match wins. Failing that, the longest table
// name that the token begins with, provided the token goes on with a byte that is not a letter
// or digit ("iso-2022-jp-2" finds iso-2022-jp, "iso-8859-10" does not find iso-8859-1). Null
// when nothing matches.
const CharsetEntry* FindCharsetForEncodedWord(std::string_view encodedWord);

// Rule B: the charset named by a "charset=" parameter value (quotes, blanks, and a ';' with
// whatever follows it, are tolerated). An exact name match wins; otherwise the first name that
// begins with the value.
const CharsetEntry* FindCharsetForParameter(std::string_view parameterValue);

}  // namespace quillon
