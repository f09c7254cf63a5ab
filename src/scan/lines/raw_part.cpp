#include "scan/lines/raw_part.h"

#include <algorithm>
#include <cstring>

#include "scan/lines/line_reader.h"
#include "text/ascii.h"

namespace quillon {

namespace {

constexpr std::string_view kEncodingField = "content-transfer-encoding:";
// A part's header block is a few lines; more is no part header.
constexpr std::size_t kMostPartHeaderLines = 64;

// The line from `at` up to its line feed (npos when none), without its CRs.
std::string_view LineAt(std::string_view text, std::size_t at, std::size_t& next) {
  const std::size_t lineFeed = text.find('\n', at);
  next = lineFeed == std::string_view::npos ? lineFeed : lineFeed + 1;
  std::string_view line = text.substr(at, lineFeed == std::string_view::npos ? 0 : lineFeed - at);
  while (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// Where the body of the part whose header lines begin at `at` starts, when those lines name raw
// bytes; npos otherwise.
std::size_t RawBodyStart(std::string_view text, std::size_t at) {
  bool raw = false;
  for (std::size_t count = 0; count < kMostPartHeaderLines && at < text.size(); ++count) {
    std::size_t next = 0;
    const std::string_view line = LineAt(text, at, next);
    if (next == std::string_view::npos) return std::string_view::npos;
    if (line.empty()) return raw ? next : std::string_view::npos;
    if (StartsWithNoCase(line, kEncodingField))
      raw = NamesRawBytes(line.substr(kEncodingField.size()));
    at = next;
  }
  return std::string_view::npos;
}

}  // namespace

bool NamesRawBytes(std::string_view transferEncoding) {
  const std::string_view value = TrimWhiteSpace(transferEncoding);
  return value.size() == 6 && StartsWithNoCase(value, "binary");
}

std::size_t RawPartEnd(std::string_view text, std::size_t from, std::string_view boundary) {
  if (boundary.empty() || from >= text.size()) return std::string_view::npos;
  const std::string delimiter = "\n--" + std::string(boundary);
  for (std::size_t at = from; at < text.size();) {
    const void* found =
        memmem(text.data() + at, text.size() - at, delimiter.data(), delimiter.size());
    if (!found) return std::string_view::npos;
    const auto lineFeed = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    std::size_t next = 0;
    // Only the whole line counts: a longer boundary that merely begins alike is none.
    if (BoundaryLineOf(LineAt(text, lineFeed + 1, next), boundary, true) != BoundaryLine::None)
      return std::max(from, LineBreakStart(text, lineFeed + 1));
    at = lineFeed + 1;
  }
  return std::string_view::npos;
}

RawPart FindRawPart(std::string_view text, std::size_t from) {
  for (std::size_t dashes = text.find("\n--"); dashes != std::string_view::npos;
       dashes = text.find("\n--", dashes + 1)) {
    std::size_t headerStart = 0;
    const std::string_view line = LineAt(text, dashes + 1, headerStart);
    if (headerStart == std::string_view::npos) break;  // the last line, cut off
    std::string_view token = line.substr(2);
    while (token.ends_with(' ') || token.ends_with('\t')) token.remove_suffix(1);
    // A closing line opens no part; a signature's "-- " has no boundary.
    if (token.empty() || token.ends_with("--")) continue;
    const std::size_t body = RawBodyStart(text, headerStart);
    if (body == std::string_view::npos) continue;
    const std::size_t end =
        RawPartEnd(text.substr(0, std::min(text.size(), body + kRawPartReach)), body, token);
    if (end == std::string_view::npos) continue;
    if (end > from) return {body, end};
    dashes = end;
  }
  return {};
}

std::size_t PastRawPart(std::string_view text, std::size_t at, RawPart& part) {
  while (part.Found() && at >= part.begin) {
    if (at < part.end) {
      at = part.end;
      while (at < text.size() && text[at] == '\r') ++at;
      at += at < text.size() && text[at] == '\n';
    }
    part = FindRawPart(text, at);
  }
  return at;
}

std::size_t MailEndingNul(std::string_view text) {
  std::size_t nul = TextEndingNul(text);
  // Raw parts are rare: most mails with a NUL ask no further than their first.
  for (RawPart part; nul != std::string_view::npos; nul = TextEndingNul(text, part.end)) {
    part = FindRawPart(text.substr(0, std::min(text.size(), nul + kRawPartReach)), nul);
    if (!part.Found() || part.begin > nul) return nul;
  }
  return nul;
}

}  // namespace quillon
