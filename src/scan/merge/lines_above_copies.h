// The lines in front of a found mail that the duplicate marker reads upwards, line by line: the
// header lines a find may have left out above where it was found, and what stands above them.
// Read a word of eight bytes at a time where no byte below a blank is in it, as most text is.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon {

// Whether `line` (with its line end) is a header line: a field, or a folded part of one. A line
// with control bytes in it (a store's block header, other data) is none that can be told.
bool IsHeaderLine(std::string_view line);

// Where the line that ends in front of `end` begins: behind the last line feed or other byte
// that is no text (a control byte but a tab or a carriage return) in front of `end`; 0 where
// there is none.
std::size_t LineStartBehindBreak(std::string_view text, std::size_t end);

// Where the last line feed at or in front of `at` lies (as rfind finds it); npos where there is
// none.
std::size_t LastLineFeedAtOrBefore(std::string_view text, std::size_t at);

}  // namespace quillon
