// How many base64 characters a line holds: an attachment's size is told from them, and most of
// a mail's bytes can be attachment lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// The characters of `line` in A-Z, a-z, 0-9, '+' and '/' (RFC 2045 6.8, Table 1), sixteen at a
// time.
std::int64_t CountBase64Characters(std::string_view line);

// The same, a table look per byte: the reference the fast count is tested against.
std::int64_t CountBase64CharactersPlain(std::string_view line);

}  // namespace quillon
