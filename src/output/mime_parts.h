// The MIME structure of a mail read back from its source: its leaf parts, each with the header
// fields that say what it holds and where its content lies, cut at the mail's own boundary
// lines (RFC 2046 5.1.1) rather than at any text that merely looks like one.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct MimeLeaf {
  std::size_t headerBegin = 0;   // the part's first header line (0 for a mail that is one part)
  std::size_t contentBegin = 0;  // behind the empty line that ends the part's header block
  std::size_t contentEnd = 0;    // the line break in front of the next boundary line, or the end
  // Lower-cased media type. A body part that names none has its multipart's default
  // (RFC 2046 5.1: text/plain, message/rfc822 in a digest); a whole mail that names none has "".
  std::string contentType;
  std::string charset;           // the charset parameter as written; "" when none
  std::string transferEncoding;  // lower-cased, trimmed; "" when none
  std::string disposition;       // lower-cased disposition type: "attachment", "inline" or ""
  std::string rawFileName;       // as written in the part; "" when it names no file
  std::u16string fileName;       // decoded (RFC 2231, RFC 2047)
  bool inMultipart = false;      // a body part of a multipart, not the whole mail
  bool delimited = false;        // a boundary line ended it (false: the text ended first)
};

struct MimeStructure {
  std::vector<MimeLeaf> leaves;         // in the order they stand
  std::vector<std::string> boundaries;  // of the multiparts that were split, outermost first
};

// A mail that is not multipart is one leaf. `knownBoundaries` are the boundaries the scan noted
// for the mail, outermost first; they stand in for a multipart header that does not name its own
// (a header block cut short) and may be empty. Nesting is followed up to 16 levels; a
// message/rfc822 part is a leaf. File names in 8-bit text without a charset are read in
// `ansiCodePage`.
MimeStructure ReadMimeStructure(std::string_view mail, std::span<const std::string> knownBoundaries,
                                int ansiCodePage);

// Where the first boundary line of any of `boundaries` begins at or after `from`: a line that
// starts with "--" and the boundary, followed by nothing but an optional "--" and white space.
// npos when there is none.
std::size_t FindBoundaryLine(std::string_view text, std::size_t from,
                             std::span<const std::string> boundaries);

// Where the content in front of the line that starts at `lineStart` ends: the CR LF or LF before
// it belongs to the boundary line (RFC 2046 5.1.1). Never before `floor`.
std::size_t ContentEndBefore(std::string_view text, std::size_t lineStart, std::size_t floor);

}  // namespace quillon
