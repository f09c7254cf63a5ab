#include "scan/reread/body_line_ends.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "scan/reread/old_text_lines.h"
#include "scan/reread/own_header_values.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

// The body lines that show its line end: a boundary stands behind a short preamble, and text
// shows what it is in a few lines.
constexpr std::size_t kPreambleLines = 20;
constexpr std::size_t kTextLines = 3;
// A base64 line shorter than this could be a word of text.
constexpr std::size_t kShortestDataLine = 16;

struct BodyLine {
  std::string_view content;
  bool lineFeedOnly = false;
};

// The complete lines at the start of `body`, at most `count`.
std::vector<BodyLine> FirstLines(std::string_view body, std::size_t count) {
  std::vector<BodyLine> lines;
  for (std::size_t at = 0; at < body.size() && lines.size() < count;) {
    const std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) break;
    BodyLine line{body.substr(at, end - at), true};
    if (line.content.ends_with('\r')) {
      line.content.remove_suffix(1);
      line.lineFeedOnly = false;
    }
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

bool IsBase64Data(std::string_view line) {
  while (!line.empty() && line.back() == '=') line.remove_suffix(1);
  return line.size() >= kShortestDataLine && std::all_of(line.begin(), line.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '+' || c == '/';
         });
}

}  // namespace

bool BodyTakesOwnLineEnds(std::string_view headerBlock, std::string_view body,
                          std::string_view boundary, bool headerLineFeedOnly) {
  std::vector<BodyLine> lines = FirstLines(body, kPreambleLines);
  // Only the lines up to the first that ends the header block's way speak for the body.
  const auto ownEnd = std::find_if(lines.begin(), lines.end(), [&](const BodyLine& line) {
    return line.lineFeedOnly == headerLineFeedOnly;
  });
  lines.erase(ownEnd, lines.end());
  // Empty lines ending otherwise are where old bytes begin, behind a CR their LF was cut from,
  // unless the body's text follows them; bytes no text holds are no mail's body.
  const auto text = std::find_if(lines.begin(), lines.end(),
                                 [](const BodyLine& line) { return !line.content.empty(); });
  if (text == lines.end()) return false;
  if (std::any_of(lines.begin(), lines.end(),
                  [](const BodyLine& line) { return NoTextOfAnyCharset(line.content); }))
    return false;
  const std::string named = boundary.empty() ? MultipartBoundaryOf(headerBlock) : std::string();
  if (!boundary.empty() || !named.empty()) {
    const std::string opening = "--" + std::string(boundary.empty() ? named : boundary);
    if (std::any_of(lines.begin(), lines.end(),
                    [&](const BodyLine& line) { return line.content.starts_with(opening); }))
      return true;
    // No part begins soon: what there is reads as a preamble, text written to be read.
    return lines.size() >= kTextLines && !BeginsMidLine(text->content) &&
           !HoldsMarkup(text->content);
  }
  const std::string encoding = TransferEncodingOf(headerBlock);
  if (encoding == "base64") return IsBase64Data(text->content);
  if (!DeclaresPlainText(headerBlock) && !DeclaresHtmlText(headerBlock)) return false;
  if (encoding == "quoted-printable" &&
      std::any_of(lines.begin(), lines.end(),
                  [](const BodyLine& line) { return ReadsAsEncodedData(line.content); }))
    return true;
  // Text written to be read: whole lines, not the tail of an old one, nor a page of markup
  // behind a plain text.
  if (lines.size() < std::min(kTextLines, FirstLines(body, kTextLines).size())) return false;
  const std::string_view first = text->content;
  return !BeginsMidLine(first) && (DeclaresHtmlText(headerBlock) || !HoldsMarkup(first));
}

}  // namespace quillon::mail_reader
