#include "scan/reread/old_text_lines.h"

#include <algorithm>

#include "scan/lines/line_reader.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

bool NoTextOfAnyCharset(std::string_view line) {
  const auto shift = [](char c) { return c == '\x1b' || c == '\x0e' || c == '\x0f'; };
  const auto eightBit = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  return std::any_of(line.begin(), line.end(), shift) &&
         std::any_of(line.begin(), line.end(), eightBit);
}

bool IsPartHeaderLine(std::string_view line) {
  return StartsWithNoCase(line, "content-") && HeaderNameLength(line) > 0;
}

}  // namespace quillon::mail_reader
