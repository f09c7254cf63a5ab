// Structured MIME header values (RFC 2045 5.1 Content-Type, RFC 2183 Content-Disposition):
// a token followed by ";"-separated parameters, with RFC 2231 continuations and charsets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct MimeParameter {
  std::string name;       // lower-cased, without "*" or continuation number
  std::string value;      // quotes removed; continuations joined in order
  bool extended = false;  // written as name*= (charset'language'percent-encoded)
};

struct MimeHeaderValue {
  std::string token;  // lower-cased: "text/plain", "attachment"
  std::vector<MimeParameter> parameters;

  const MimeParameter* Find(std::string_view name) const;
};

MimeHeaderValue ParseMimeHeaderValue(std::string_view value);

// The file name a part carries: filename (disposition) before name (content type); RFC 2231 and
// RFC 2047 forms are decoded into `decoded` (8-bit text without a charset in `ansiCodePage`).
// False when the part has no name.
bool PartFileName(const MimeHeaderValue& disposition, const MimeHeaderValue& contentType,
                  int ansiCodePage, std::string& raw, std::u16string& decoded);

// A readable file name for an attachment that names none, from its lower-cased media type and
// its number among the mail's attachments: "attachment-2.pdf", "message-3.eml" for an attached
// message (RFC 2046 5.2.1), "attachment-4.bin" for a type without a known file extension.
std::string NameForUnnamedPart(std::string_view mediaType, std::size_t number);

}  // namespace quillon
