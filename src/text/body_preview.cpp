#include "text/body_preview.h"

#include <initializer_list>

#include "text/ascii.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "text/quoted_printable.h"

namespace quillon {

namespace {

constexpr std::string_view kEncodingField = "content-transfer-encoding: ";
constexpr std::string_view kBlankLine = "\r\n\r\n";
// Markers that end a part when nothing closer does: the next literal "--boundary" line, or the
// "Return-Path" of the next carved mail (its first letter may be either case).
constexpr std::string_view kBoundaryMarker = "--boundary";
constexpr std::string_view kNextMailMarker = "eturn-path";
// The end search starts a little into the body so that a marker right at its start does not
// end the part before it began.
constexpr std::size_t kEndSearchDelay = 10;

}  // namespace

bool DecodeBodyForPreview(std::string_view mail, std::string_view lowered, long long startOffset,
                          std::string_view endMarker, int ansiCodePage, std::string& body) {
  body.clear();
  if (lowered.size() != mail.size()) return false;
  if (startOffset < 0 || static_cast<unsigned long long>(startOffset) > lowered.size()) {
    return false;
  }
  const auto start = static_cast<std::size_t>(startOffset);

  // The part's transfer encoding; a part that names none is read as quoted-printable, which
  // leaves plain text unchanged.
  std::string_view encoding = "quoted";
  if (const auto field = lowered.find(kEncodingField, start); field != std::string_view::npos) {
    const std::size_t tokenBegin = field + kEncodingField.size();
    const auto lineEnd = lowered.find("\r\n", tokenBegin);
    if (lineEnd == std::string_view::npos) return false;
    encoding = TrimWhiteSpace(lowered.substr(tokenBegin, lineEnd - tokenBegin));
    if (encoding.empty()) return false;
  }

  // RFC 2045 3 / RFC 5322 2.1: the part's content follows the first empty line.
  const auto blankLine = lowered.find(kBlankLine, start);
  if (blankLine == std::string_view::npos) return false;
  const std::size_t bodyBegin = blankLine + kBlankLine.size();
  const std::size_t searchFrom = blankLine + kEndSearchDelay;
  auto findFromBody = [&](std::string_view needle) {
    if (needle.empty() || searchFrom > lowered.size()) return std::string_view::npos;
    return lowered.find(needle, searchFrom);
  };
  auto firstFound = [&](std::initializer_list<std::string_view> needles) {
    for (std::string_view needle : needles) {
      if (const auto found = findFromBody(needle); found != std::string_view::npos) return found;
    }
    return std::string_view::npos;
  };

  if (encoding == "base64") {
    // Base64 text has no empty lines of its own, so the first one ends it.
    // A part that nothing ends runs to the end of the mail: the re-reader cut the mail already.
    auto bodyEnd = firstFound({kBlankLine, kBoundaryMarker, kNextMailMarker});
    if (bodyEnd == std::string_view::npos) bodyEnd = mail.size();
    if (bodyEnd > bodyBegin) body.assign(mail.substr(bodyBegin, bodyEnd - bodyBegin));
    Base64DecodeInPlace(body);
    return true;
  }

  const bool quotedPrintable = encoding.find("quoted") != std::string_view::npos;
  // A part that nothing ends runs to the end of the mail, whatever its encoding: a plain 7bit
  // text mail has no end marker, and showing nothing for it would be wrong.
  auto bodyEnd = firstFound({endMarker, kBoundaryMarker, kNextMailMarker});
  if (bodyEnd == std::string_view::npos) bodyEnd = mail.size();
  if (bodyEnd > bodyBegin) body.assign(mail.substr(bodyBegin, bodyEnd - bodyBegin));
  if (encoding.find("utf-8") != std::string_view::npos) {
    Utf8ToAnsi(body, ansiCodePage);
  } else if (quotedPrintable) {
    QuotedPrintableDecodeInPlace(body);
  }
  return true;
}

}  // namespace quillon
