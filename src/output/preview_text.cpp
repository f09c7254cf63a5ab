#include "output/preview_text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "output/mime_parts.h"
#include "text/ascii.h"
#include "text/body_preview.h"
#include "text/charset_table.h"
#include "text/code_page.h"
#include "text/encoded_words.h"

namespace quillon {

namespace {

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;
constexpr std::int64_t kGiB = 1024 * kMiB;
constexpr std::size_t kRuleLength = 60;

constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kCharsetParameter = "charset=";
// Markers that end the raw text behind the header when no text part is found: the next carved
// mail's "Return-Path" (its first letter either case), or, failing the mail's own boundary, a
// literal "--boundary" line.
constexpr std::string_view kNextMailMarker = "eturn-path";
constexpr std::string_view kBoundaryMarker = "--boundary";

std::u16string AsciiToUtf16(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

// Text put into the document as text: a mail must not be able to add markup of its own.
std::u16string EscapeHtml(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        escaped += u"&amp;";
        break;
      case u'<':
        escaped += u"&lt;";
        break;
      case u'>':
        escaped += u"&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::u16string AttachmentLines(const std::vector<PartEntry>& entries) {
  std::u16string lines;
  for (const PartEntry& entry : entries) {
    lines += u"Attachment: " + EscapeHtml(entry.nameText) + u", Size: " + FormatSize(entry.size) +
             u"\r\n";
  }
  return lines;
}

std::u16string AttachmentBlock(const MailRecord& record) {
  std::u16string block =
      AttachmentLines(record.attachments) +
      AttachmentLines(record.ReadBody([](const BodyFacts& body) { return body.parts; }));
  if (block.empty()) return block;
  return u"<pre>" + block + u"\r\n" + std::u16string(kRuleLength, u'-') + u"\r\n\r\n</pre>";
}

// The value of a "charset=" parameter at `at` (just behind the '='): quotes removed, up to the
// next separator.
std::string ParameterValue(std::string_view text, std::size_t at) {
  if (at < text.size() && (text[at] == '"' || text[at] == '\'')) ++at;
  std::size_t end = at;
  while (end < text.size() && text[end] != '"' && text[end] != '\'' && text[end] != ';' &&
         text[end] != ' ' && text[end] != '\t' && text[end] != '\r' && text[end] != '\n' &&
         text[end] != '>' && text[end] != '/')
    ++end;
  return std::string(text.substr(at, end - at));
}

// The charset parameter of the part header around `typeAt`: searched from the content type up
// to the empty line that ends the part's header.
std::string PartCharset(std::string_view lowered, std::size_t typeAt) {
  const std::size_t headerEnd = lowered.find(kBlankLine, typeAt);
  const std::string_view header = lowered.substr(
      typeAt, headerEnd == std::string_view::npos ? std::string_view::npos : headerEnd - typeAt);
  const std::size_t at = header.find(kCharsetParameter);
  if (at == std::string_view::npos) return {};
  return ParameterValue(header, at + kCharsetParameter.size());
}

// The charset an HTML text names in a <meta> tag, either form (charset="x" or
// content="text/html; charset=x").
std::string MetaCharset(std::string_view html) {
  const std::string lowered = AsciiLowered(html);
  for (std::size_t meta = lowered.find("<meta"); meta != std::string::npos;
       meta = lowered.find("<meta", meta + 5)) {
    const std::size_t tagEnd = lowered.find('>', meta);
    const std::string_view tag = std::string_view(lowered).substr(
        meta, tagEnd == std::string::npos ? std::string::npos : tagEnd - meta);
    if (const std::size_t at = tag.find(kCharsetParameter); at != std::string_view::npos)
      return ParameterValue(tag, at + kCharsetParameter.size());
  }
  return {};
}

std::string ContentTypeCharset(std::string_view contentType) {
  const std::string lowered = AsciiLowered(contentType);
  const std::size_t at = lowered.find(kCharsetParameter);
  if (at == std::string::npos) return {};
  return ParameterValue(lowered, at + kCharsetParameter.size());
}

std::u16string ConvertBody(std::string_view bytes, std::string_view charset, int ansiCodePage) {
  if (!charset.empty()) {
    if (const CharsetEntry* entry = FindCharsetForParameter(charset)) {
      std::u16string text = CodePageToUtf16(ResolveCodePage(entry->codePage, ansiCodePage), bytes);
      if (!text.empty() || bytes.empty()) return text;
    }
    if (std::u16string text; ConvertByCharsetName(charset, bytes, text)) return text;
  }
  return AnsiToUtf16(bytes, ansiCodePage);
}

std::u16string PreformattedText(std::u16string_view text) {
  return u"<pre>" + EscapeHtml(text) + u"</pre>";
}

}  // namespace

std::u16string FormatSize(std::int64_t size) {
  char text[64] = {};
  if (size > kGiB || size <= 0) return {};
  if (size > kMiB)
    std::snprintf(text, sizeof text, "%0.1f MB", static_cast<double>(size) / kMiB);
  else if (size > kKiB)
    std::snprintf(text, sizeof text, "%0.1f KB", static_cast<double>(size) / kKiB);
  else
    std::snprintf(text, sizeof text, "%d B", static_cast<int>(size));
  return AsciiToUtf16(text);
}

namespace {

std::vector<std::string> KnownBoundaries(const MailRecord& record) {
  std::vector<std::string> boundaries;
  for (const CompactText* boundary : {&record.boundary, &record.innerBoundary}) {
    if (!boundary->empty()) boundaries.push_back(boundary->String());
  }
  return boundaries;
}

// The text part: the first HTML part, else the first plain one. Parts that name a file count only
// when no other text is there, and parts marked as attachments never.
const MimeLeaf* FindTextLeaf(const std::vector<MimeLeaf>& leaves, bool& html) {
  for (const bool namedToo : {false, true}) {
    for (const bool wantHtml : {true, false}) {
      for (const MimeLeaf& leaf : leaves) {
        if (leaf.disposition == "attachment" || (!namedToo && !leaf.rawFileName.empty())) continue;
        const bool isHtml = leaf.contentType == "text/html";
        const bool isPlain = leaf.contentType == "text/plain";
        if (wantHtml ? isHtml : isPlain) {
          html = wantHtml;
          return &leaf;
        }
      }
    }
  }
  return nullptr;
}

// Where the decoder starts looking for the empty line that ends a part's header block: on the
// line break in front of it, so that a part without header lines still has its empty line.
std::size_t PartSearchStart(std::string_view text, const MimeLeaf& leaf) {
  if (!leaf.inMultipart) return 0;
  std::size_t start = leaf.headerBegin;
  if (start >= 1 && text[start - 1] == '\n') --start;
  if (start >= 1 && text[start - 1] == '\r') --start;
  return start;
}

std::u16string TextDocument(std::string_view body, std::string charset, bool html,
                            int ansiCodePage) {
  if (charset.empty() && html) charset = MetaCharset(body);
  const std::u16string text = ConvertBody(body, charset, ansiCodePage);
  return html ? text : PreformattedText(text);
}

// The part that a content type found by plain search introduces, ending at the mail's next
// boundary line; the decoder's own markers still apply inside it.
std::size_t SearchedPartEnd(std::string_view rawText, std::string_view lowered, std::size_t typeAt,
                            const std::vector<std::string>& boundaries) {
  const std::size_t headerEnd = lowered.find(kBlankLine, typeAt);
  if (headerEnd == std::string::npos) return rawText.size();
  const std::size_t contentBegin = headerEnd + kBlankLine.size();
  const std::size_t line = FindBoundaryLine(rawText, contentBegin, boundaries);
  if (line == std::string_view::npos) return rawText.size();
  return ContentEndBefore(rawText, line, contentBegin);
}

void AddHeaderRow(std::u16string& rows, std::u16string_view name, std::u16string_view value) {
  if (TrimWhiteSpace(value).empty()) return;
  rows += u"<tr><td><b>" + std::u16string(name) + u"</b>&nbsp;</td><td>" + EscapeHtml(value) +
          u"</td></tr>";
}

}  // namespace

std::u16string PreviewHeaderBlock(const MailRecord& record, const RenderOptions& options) {
  std::u16string rows;
  AddHeaderRow(rows, u"From:", record.FromText());
  AddHeaderRow(rows, u"To:", record.ToText());
  AddHeaderRow(rows, u"Cc:", DecodeAddressText(record.cc, options.ansiCodePage));
  AddHeaderRow(rows, u"Date:", AnsiToUtf16(record.date, options.ansiCodePage));
  AddHeaderRow(rows, u"Subject:", record.SubjectText());
  if (rows.empty()) return rows;
  return u"<table cellspacing=\"0\" cellpadding=\"1\">" + rows + u"</table><hr>";
}

std::u16string BuildPreviewDocument(const MailRecord& record, std::string_view rawText,
                                    const RenderOptions& options) {
  return PreviewHeaderBlock(record, options) + BuildPreviewText(record, rawText, options);
}

std::u16string BuildPreviewText(const MailRecord& record, std::string_view rawText,
                                const RenderOptions& options) {
  const int ansiCodePage = options.ansiCodePage;
  // A mail that could not be read back shows nothing, not even its attachments.
  if (rawText.empty()) return {};
  const std::u16string block = AttachmentBlock(record);
  const std::string lowered = AsciiLowered(rawText);
  std::vector<std::string> boundaries = KnownBoundaries(record);

  // The mail's own MIME structure first: its text part ends at its own boundary line.
  bool html = false;
  const MimeStructure structure = ReadMimeStructure(rawText, boundaries, ansiCodePage);
  if (const MimeLeaf* leaf = FindTextLeaf(structure.leaves, html)) {
    std::string body;
    const std::size_t end = leaf->contentEnd;
    if (!DecodeBodyForPreview(rawText.substr(0, end), std::string_view(lowered).substr(0, end),
                              static_cast<long long>(PartSearchStart(rawText, *leaf)), "</html>",
                              ansiCodePage, body))
      return {};
    return block + TextDocument(body, AsciiLowered(leaf->charset), html, ansiCodePage);
  }

  boundaries.insert(boundaries.end(), structure.boundaries.begin(), structure.boundaries.end());

  // No part says what it is: the first content type named anywhere, HTML winning over plain.
  html = true;
  std::size_t typeAt = lowered.find("text/html");
  if (typeAt == std::string::npos) {
    html = false;
    typeAt = lowered.find("text/plain");
  }

  if (typeAt != std::string::npos && typeAt > 0) {
    std::string body;
    const std::size_t end = SearchedPartEnd(rawText, lowered, typeAt, boundaries);
    if (!DecodeBodyForPreview(rawText.substr(0, end), std::string_view(lowered).substr(0, end),
                              static_cast<long long>(typeAt), "</html>", ansiCodePage, body))
      return {};
    return block + TextDocument(body, PartCharset(lowered, typeAt), html, ansiCodePage);
  }

  // No text part: the raw text behind the header, up to the next mail or the mail's own next
  // boundary line, whichever comes first, else a line that merely reads like a boundary.
  const std::size_t headerEnd = lowered.find(kBlankLine);
  if (headerEnd == std::string::npos || headerEnd == 0) return {};
  const std::size_t searchFrom = headerEnd + kBlankLine.size();
  std::size_t bodyEnd = std::min(lowered.find(kNextMailMarker, searchFrom),
                                 FindBoundaryLine(rawText, searchFrom, boundaries));
  if (bodyEnd == std::string::npos) bodyEnd = lowered.find(kBoundaryMarker, searchFrom);
  if (bodyEnd == std::string::npos) bodyEnd = lowered.size() - 1;
  if (bodyEnd <= headerEnd) return {};
  const std::string_view body = rawText.substr(headerEnd, bodyEnd - headerEnd);
  return block +
         PreformattedText(ConvertBody(body, ContentTypeCharset(record.contentType), ansiCodePage));
}

}  // namespace quillon
