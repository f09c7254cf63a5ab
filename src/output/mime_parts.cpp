#include "output/mime_parts.h"

#include <algorithm>

#include "scan/lines/mime_header.h"
#include "text/ascii.h"

namespace quillon {

namespace {

constexpr int kMaxNesting = 16;

// The three fields of a part header block that say what the part holds, unfolded
// (RFC 5322 2.2.3); only the first occurrence of each counts.
struct PartHeader {
  std::string contentType;
  std::string transferEncoding;
  std::string disposition;
  bool contentTypeSeen = false;
  bool transferEncodingSeen = false;
  bool dispositionSeen = false;
  std::size_t contentBegin = 0;
};

std::size_t LineEnd(std::string_view text, std::size_t from, std::size_t end) {
  const std::size_t lineFeed = text.substr(0, end).find('\n', from);
  return lineFeed == std::string_view::npos ? end : lineFeed;
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// RFC 5322 2.2: a field name is printable ASCII without blanks, ended by a colon.
bool IsHeaderField(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  for (char c : line.substr(0, colon)) {
    if (c <= ' ' || c >= 0x7F) return false;
  }
  return true;
}

// `lenient`: a line that is no header field starts the content, as when a part's writer left out
// the empty line. The mail's own header block is read whole, whatever it holds.
PartHeader ReadPartHeader(std::string_view text, std::size_t begin, std::size_t end, bool lenient) {
  PartHeader header;
  std::string* open = nullptr;  // the field a continuation line adds to
  std::size_t at = begin;
  while (at < end) {
    const std::size_t lineEnd = LineEnd(text, at, end);
    const std::string_view line = WithoutCarriageReturn(text.substr(at, lineEnd - at));
    const std::size_t next = lineEnd < end ? lineEnd + 1 : end;
    if (line.empty()) {
      header.contentBegin = next;
      return header;
    }
    const bool continuation = line.front() == ' ' || line.front() == '\t';
    if (lenient && !continuation && !IsHeaderField(line)) {
      header.contentBegin = at;
      return header;
    }
    if (continuation) {
      if (open) *open += " " + std::string(TrimWhiteSpace(line));
    } else {
      open = nullptr;
      const std::size_t colon = line.find(':');
      const std::string_view name = TrimWhiteSpace(line.substr(0, colon));
      const std::string_view value = colon == std::string_view::npos
                                         ? std::string_view()
                                         : TrimWhiteSpace(line.substr(colon + 1));
      auto take = [&](std::string_view field, std::string& into, bool& seen) {
        if (seen || name.size() != field.size() || !StartsWithNoCase(name, field)) return;
        seen = true;
        into = std::string(value);
        open = &into;
      };
      take("content-type", header.contentType, header.contentTypeSeen);
      take("content-transfer-encoding", header.transferEncoding, header.transferEncodingSeen);
      take("content-disposition", header.disposition, header.dispositionSeen);
    }
    at = next;
  }
  // No empty line: the block runs to the end and the part holds no content.
  header.contentBegin = end;
  return header;
}

bool IsBoundaryLineAt(std::string_view text, std::size_t at, const std::string& boundary) {
  if (at != 0 && text[at - 1] != '\n') return false;
  if (text.compare(at, 2, "--") != 0 || text.compare(at + 2, boundary.size(), boundary) != 0)
    return false;
  std::size_t rest = at + 2 + boundary.size();
  if (text.compare(rest, 2, "--") == 0) rest += 2;
  // A longer boundary that merely starts alike is not this one.
  for (; rest < text.size() && text[rest] != '\n'; ++rest) {
    if (text[rest] != ' ' && text[rest] != '\t' && text[rest] != '\r') return false;
  }
  return true;
}

bool IsClosingLineAt(std::string_view text, std::size_t at, const std::string& boundary) {
  return text.compare(at + 2 + boundary.size(), 2, "--") == 0;
}

class LeafCollector {
 public:
  LeafCollector(std::string_view mail, std::span<const std::string> knownBoundaries,
                int ansiCodePage)
      : mail_(mail), known_(knownBoundaries), ansiCodePage_(ansiCodePage) {}

  MimeStructure Collect() {
    const PartHeader header = ReadPartHeader(mail_, 0, mail_.size(), false);
    const MimeHeaderValue type = ParseMimeHeaderValue(header.contentType);
    std::string boundary = BoundaryOf(type);
    // The scan saw the mail's boundary where the header read back here does not name it.
    const bool untyped = !header.contentTypeSeen;
    if (boundary.empty() && (untyped || type.token.starts_with("multipart/")) && !known_.empty())
      boundary = known_.front();
    if (!boundary.empty() && (untyped || type.token.starts_with("multipart/"))) {
      SplitMultipart(header.contentBegin, mail_.size(), boundary, DefaultPartType(type), 1);
      if (!structure_.leaves.empty()) return std::move(structure_);
    }
    AddLeaf(header, 0, mail_.size(), false, false);
    return std::move(structure_);
  }

 private:
  static std::string BoundaryOf(const MimeHeaderValue& type) {
    const MimeParameter* boundary = type.Find("boundary");
    return boundary ? boundary->value : std::string();
  }

  // RFC 2046 5.1.5: the parts of a digest are messages unless they say otherwise; elsewhere
  // they are plain text (5.1).
  static std::string_view DefaultPartType(const MimeHeaderValue& multipart) {
    return multipart.token == "multipart/digest" ? "message/rfc822" : "text/plain";
  }

  void SplitMultipart(std::size_t begin, std::size_t end, const std::string& boundary,
                      std::string_view defaultType, int depth) {
    const std::string_view range = mail_.substr(0, end);
    const std::span<const std::string> one(&boundary, 1);
    std::size_t line = FindBoundaryLine(range, begin, one);
    if (line != std::string_view::npos) structure_.boundaries.push_back(boundary);
    // The preamble in front of the first boundary line is no part (RFC 2046 5.1.1).
    while (line != std::string_view::npos && !IsClosingLineAt(range, line, boundary)) {
      const std::size_t partBegin = LineEnd(range, line, end) + 1;
      if (partBegin >= end) return;
      const std::size_t next = FindBoundaryLine(range, partBegin, one);
      const bool delimited = next != std::string_view::npos;
      const std::size_t partEnd = delimited ? ContentEndBefore(range, next, partBegin) : end;
      AddPart(partBegin, partEnd, delimited, defaultType, depth);
      line = next;
    }
  }

  void AddPart(std::size_t begin, std::size_t end, bool delimited, std::string_view defaultType,
               int depth) {
    const PartHeader header = ReadPartHeader(mail_, begin, end, true);
    const MimeHeaderValue type = ParseMimeHeaderValue(header.contentType);
    const std::string boundary = BoundaryOf(type);
    if (type.token.starts_with("multipart/") && !boundary.empty() && depth < kMaxNesting) {
      const std::size_t before = structure_.leaves.size();
      SplitMultipart(header.contentBegin, end, boundary, DefaultPartType(type), depth + 1);
      if (structure_.leaves.size() > before) return;
    }
    AddLeaf(header, begin, end, true, delimited);
    if (structure_.leaves.back().contentType.empty())
      structure_.leaves.back().contentType = std::string(defaultType);
  }

  void AddLeaf(const PartHeader& header, std::size_t begin, std::size_t end, bool inMultipart,
               bool delimited) {
    MimeLeaf leaf;
    leaf.headerBegin = begin;
    leaf.contentBegin = std::min(header.contentBegin, end);
    leaf.contentEnd = end;
    const MimeHeaderValue type = ParseMimeHeaderValue(header.contentType);
    const MimeHeaderValue disposition = ParseMimeHeaderValue(header.disposition);
    leaf.contentType = type.token;
    if (const MimeParameter* charset = type.Find("charset")) leaf.charset = charset->value;
    leaf.transferEncoding = AsciiLowered(TrimWhiteSpace(header.transferEncoding));
    leaf.disposition = disposition.token;
    (void)PartFileName(disposition, type, ansiCodePage_, leaf.rawFileName, leaf.fileName);
    leaf.inMultipart = inMultipart;
    leaf.delimited = delimited;
    structure_.leaves.push_back(std::move(leaf));
  }

  std::string_view mail_;
  std::span<const std::string> known_;
  int ansiCodePage_;
  MimeStructure structure_;
};

}  // namespace

std::size_t FindBoundaryLine(std::string_view text, std::size_t from,
                             std::span<const std::string> boundaries) {
  std::size_t best = std::string_view::npos;
  for (const std::string& boundary : boundaries) {
    if (boundary.empty()) continue;
    const std::string marker = "--" + boundary;
    for (std::size_t at = text.find(marker, from); at != std::string_view::npos && at < best;
         at = text.find(marker, at + 1)) {
      if (IsBoundaryLineAt(text, at, boundary)) {
        best = at;
        break;
      }
    }
  }
  return best;
}

std::size_t ContentEndBefore(std::string_view text, std::size_t lineStart, std::size_t floor) {
  std::size_t end = lineStart;
  if (end > floor && text[end - 1] == '\n') --end;
  if (end > floor && text[end - 1] == '\r') --end;
  return end;
}

MimeStructure ReadMimeStructure(std::string_view mail, std::span<const std::string> knownBoundaries,
                                int ansiCodePage) {
  if (mail.empty()) return {};
  return LeafCollector(mail, knownBoundaries, ansiCodePage).Collect();
}

}  // namespace quillon
