#include "scan/reread/own_header_values.h"

#include "scan/lines/mime_header.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

constexpr std::string_view kContentType = "content-type:";

// The value of the first Content-Type field, its folds joined (RFC 5322 2.2.3); empty when none.
std::string ContentTypeValue(std::string_view headerBlock) {
  std::string value;
  bool inField = false;
  for (std::size_t at = 0; at < headerBlock.size();) {
    std::size_t end = headerBlock.find('\n', at);
    if (end == std::string_view::npos) end = headerBlock.size();
    std::string_view line = headerBlock.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    const bool fold = !line.empty() && (line.front() == ' ' || line.front() == '\t');
    if (inField) {
      if (!fold) break;
      value += line;
      continue;
    }
    if (line.empty()) break;
    if (StartsWithNoCase(line, kContentType)) {
      inField = true;
      value = line.substr(kContentType.size());
    }
  }
  return value;
}

}  // namespace

std::string MultipartBoundaryOf(std::string_view headerBlock) {
  const MimeHeaderValue parsed = ParseMimeHeaderValue(ContentTypeValue(headerBlock));
  const MimeParameter* boundary = parsed.Find("boundary");
  return parsed.token.starts_with("multipart/") && boundary ? boundary->value : std::string();
}

bool DeclaresHtmlText(std::string_view headerBlock) {
  return ParseMimeHeaderValue(ContentTypeValue(headerBlock)).token == "text/html";
}

}  // namespace quillon::mail_reader
