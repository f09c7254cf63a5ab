#include "scan/reread/own_header_values.h"

#include "scan/lines/mime_header.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

// The value of the first field named `name` (with its colon, lower case), its folds joined
// (RFC 5322 2.2.3); empty when none.
std::string FieldValue(std::string_view headerBlock, std::string_view name) {
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
    if (StartsWithNoCase(line, name)) {
      inField = true;
      value = line.substr(name.size());
    }
  }
  return value;
}

std::string ContentTypeValue(std::string_view headerBlock) {
  return FieldValue(headerBlock, "content-type:");
}

// The message identifier a Message-ID value holds ("<id@host>", RFC 5322 3.6.4); empty when
// it holds none.
std::string_view MessageIdIn(std::string_view value) {
  const std::size_t open = value.find('<');
  const std::size_t close = value.find('>', open == std::string_view::npos ? 0 : open);
  if (open == std::string_view::npos || close == std::string_view::npos || close - open < 4)
    return {};
  const std::string_view id = value.substr(open, close - open + 1);
  return id.find('@') == std::string_view::npos ? std::string_view() : id;
}

}  // namespace

std::string MultipartBoundaryOf(std::string_view headerBlock) {
  const MimeHeaderValue parsed = ParseMimeHeaderValue(ContentTypeValue(headerBlock));
  const MimeParameter* boundary = parsed.Find("boundary");
  return parsed.token.starts_with("multipart/") && boundary ? boundary->value : std::string();
}

bool NamesSinglePart(std::string_view contentType) {
  const std::string type = ParseMimeHeaderValue(contentType).token;
  return !type.empty() && !type.starts_with("multipart/");
}

bool DeclaresHtmlText(std::string_view headerBlock) {
  return ParseMimeHeaderValue(ContentTypeValue(headerBlock)).token == "text/html";
}

bool DeclaresMultipart(std::string_view headerBlock) {
  return ParseMimeHeaderValue(ContentTypeValue(headerBlock)).token.starts_with("multipart/");
}

bool DeclaresMessage(std::string_view headerBlock) {
  const std::string type = ParseMimeHeaderValue(ContentTypeValue(headerBlock)).token;
  return type == "message/rfc822" || type == "message/global";
}

bool DeclaresPlainText(std::string_view headerBlock) {
  const std::string value = ContentTypeValue(headerBlock);
  return value.find_first_not_of(" \t") == std::string::npos ||
         ParseMimeHeaderValue(value).token == "text/plain";
}

std::string TransferEncodingOf(std::string_view headerBlock) {
  return AsciiLowered(TrimWhiteSpace(FieldValue(headerBlock, "content-transfer-encoding:")));
}

bool AnswersMail(std::string_view headerBlock, std::string_view otherHeaderBlock) {
  const std::string otherId = FieldValue(otherHeaderBlock, "message-id:");
  const std::string_view id = MessageIdIn(otherId);
  if (id.empty()) return false;
  return FieldValue(headerBlock, "in-reply-to:").find(id) != std::string::npos ||
         FieldValue(headerBlock, "references:").find(id) != std::string::npos;
}

bool QuotesAMail(std::string_view separator, std::string_view ownHeader,
                 std::string_view quotedHeader) {
  return separator.find("Mon Sep 17 00:00:00 2001") != std::string_view::npos ||
         AnswersMail(ownHeader, quotedHeader);
}

bool IntroducesQuotedMail(std::string_view line) {
  // Longer lines are text that talks about a forward, not the line above one.
  constexpr std::size_t kIntroductionLine = 80;
  if (line.size() > kIntroductionLine) return false;
  std::string lower(line);
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower.find("forwarded message") != std::string::npos ||
         lower.find("original message") != std::string::npos;
}

bool EndsIntroducingQuotedMail(std::string_view before) {
  if (!before.ends_with('\n')) return false;
  before.remove_suffix(1);
  if (before.ends_with('\r')) before.remove_suffix(1);
  // An empty line between the introduction and the header block.
  if (before.ends_with('\n')) {
    before.remove_suffix(1);
    if (before.ends_with('\r')) before.remove_suffix(1);
  }
  const std::size_t lineStart = before.rfind('\n');
  if (lineStart == std::string_view::npos) return false;
  return IntroducesQuotedMail(before.substr(lineStart + 1));
}

}  // namespace quillon::mail_reader
