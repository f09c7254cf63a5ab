#include "scan/reread/body_line_ends.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/find/base64_run.h"
#include "scan/reread/old_text_lines.h"
#include "scan/reread/own_header_values.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

// The body lines that show its line end: a boundary stands behind a short preamble.
constexpr std::size_t kPreambleLines = 20;
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
           return IsBase64Byte(static_cast<std::uint8_t>(c));
         });
}

// True when `line` begins as a header field does: a name of printable characters, then a colon.
bool LooksLikeField(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  return std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](char c) { return c > ' ' && c < 0x7f; });
}

// True when `line` holds bytes no line of text does: a control byte other than a tab, or 8-bit
// bytes with a shift code.
bool HoldsBinaryBytes(const BodyLine& line) {
  return NoTextOfAnyCharset(line.content) ||
         std::any_of(line.content.begin(), line.content.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
}

// True when the lines from `first` to `last` hold kFewestWordLines lines or more and each that
// is not blank reads as words: a blank between printable characters, and at most one 8-bit
// byte in four (half of random bytes have the high bit set).
bool ReadAsWords(std::vector<BodyLine>::const_iterator first,
                 std::vector<BodyLine>::const_iterator last) {
  constexpr std::ptrdiff_t kFewestWordLines = 2;
  if (std::count_if(first, last, [](const BodyLine& line) { return !line.content.empty(); }) <
      kFewestWordLines)
    return false;
  return std::all_of(first, last, [](const BodyLine& line) {
    std::string_view content = line.content;
    if (content.empty()) return true;
    const auto eightBit = std::count_if(content.begin(), content.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0x80;
    });
    const std::size_t start = content.find_first_not_of(" \t");
    if (start == std::string_view::npos) return true;
    content = content.substr(start, content.find_last_not_of(" \t") + 1 - start);
    return content.find(' ') != std::string_view::npos &&
           static_cast<std::size_t>(eightBit) * 4 <= line.content.size();
  });
}

// True when `lines`, the body's first (`first` its first non-empty one), read as text written to
// be read: at least two whole lines without control bytes (a CR inside a line is a line end of
// other bytes), not beginning as the tail of an old line, nor markup where plain text is declared
// (unless it opens its document there: a page or an XML record sent as plain text).
bool ReadsAsText(const std::vector<BodyLine>& lines, const BodyLine& first, bool plain) {
  constexpr std::size_t kFewestLines = 2;
  if (lines.size() < kFewestLines) return false;
  const bool controls = std::any_of(lines.begin(), lines.end(), [](const BodyLine& line) {
    return std::any_of(line.content.begin(), line.content.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
  });
  return !controls && !BeginsMidLine(first.content) &&
         !(plain && HoldsMarkup(first.content) && !OpensADocument(first.content));
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
  // Binary data behind a body cut short (written over, or ended at its cluster) holds line feeds
  // but seldom a CR LF: its lines run on among the body's. Where the body's lines in front of
  // them read as words, as random bytes' lines hardly ever do, those lines alone speak for it.
  if (const auto binary = std::find_if(lines.begin(), lines.end(), HoldsBinaryBytes);
      binary != lines.end() && ReadAsWords(lines.begin(), binary))
    lines.erase(binary, lines.end());
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
    return ReadsAsText(lines, *text, true);
  }
  // A mail carried whole begins with its own header block.
  if (DeclaresMessage(headerBlock)) return LooksLikeField(text->content);
  const std::string encoding = TransferEncodingOf(headerBlock);
  if (encoding == "base64") return IsBase64Data(text->content);
  if (encoding == "quoted-printable" &&
      std::any_of(lines.begin(), lines.end(),
                  [](const BodyLine& line) { return ReadsAsEncodedData(line.content); }))
    return true;
  // A multipart whose boundary was lost shows its preamble, text as a plain part's.
  if (!DeclaresPlainText(headerBlock) && !DeclaresHtmlText(headerBlock) &&
      !DeclaresMultipart(headerBlock))
    return false;
  // Text written to be read: whole lines, not the tail of an old one, nor a page of markup
  // behind a plain text.
  return ReadsAsText(lines, *text, !DeclaresHtmlText(headerBlock));
}

}  // namespace quillon::mail_reader
