#include "app/cli/record_output.h"

#include <cstdio>
#include <vector>

#include "text/code_page.h"

namespace quillon {

namespace {

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes UTF-16 into code points, replacing unpaired surrogates.
std::vector<char32_t> CodePoints(std::u16string_view text) {
  std::vector<char32_t> points;
  points.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      points.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      points.push_back(0xFFFD);
    } else {
      points.push_back(unit);
    }
  }
  return points;
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (char32_t code : CodePoints(text)) AppendUtf8(out, code);
  return out;
}

// Terminal columns a character takes: East Asian wide and full-width characters take two.
std::size_t DisplayWidth(char32_t code) {
  const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                    (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                    (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                    (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
  return wide ? 2 : 1;
}

// Fits text into a column `width` terminal cells wide, for the table.
std::string Column(std::u16string_view text, std::size_t width) {
  std::string out;
  std::size_t used = 0;
  const std::vector<char32_t> points = CodePoints(text);
  std::size_t total = 0;
  for (char32_t code : points) total += DisplayWidth(code);
  for (char32_t code : points) {
    if (code < 0x20 || code == 0x7F) code = ' ';
    const std::size_t cells = DisplayWidth(code);
    // Leave one cell for the ellipsis when the text does not fit.
    if (used + cells > (total > width ? width - 1 : width)) break;
    AppendUtf8(out, code);
    used += cells;
  }
  if (total > width) {
    AppendUtf8(out, U'\u2026');
    ++used;
  }
  out.append(width > used ? width - used : 0, ' ');
  return out;
}

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (char32_t code : CodePoints(text)) {
    switch (code) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (code < 0x20 || code == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
          out += escaped;
        } else {
          AppendUtf8(out, code);
        }
    }
  }
  out += '"';
  return out;
}

std::string RecordJson(const MailRecord& record, std::size_t index, const RenderOptions& options) {
  std::string json = "{\"index\": " + std::to_string(index);
  json += ", \"sector\": " + std::to_string(record.startSector);
  json += ", \"offset\": " + std::to_string(record.sectorOffset);
  json += ", \"from\": " + JsonString(record.FromText());
  json += ", \"to\": " + JsonString(record.ToText());
  json += ", \"subject\": " + JsonString(record.SubjectText());
  json += ", \"date\": " + JsonString(AnsiToUtf16(record.date, options.ansiCodePage));
  json += ", \"priority\": " + std::to_string(record.priority);
  json += ", \"attachments\": [";
  bool first = true;
  auto addEntry = [&](const PartEntry& entry) {
    if (!first) json += ", ";
    first = false;
    json += "{\"name\": " + JsonString(entry.nameText) +
            ", \"size\": " + std::to_string(entry.size) + "}";
  };
  for (const PartEntry& entry : record.attachments) addEntry(entry);
  for (const PartEntry& entry : record.ReadBody([](const BodyFacts& body) { return body.parts; }))
    addEntry(entry);
  json += "]";
  json += ", \"duplicate_of\": ";
  json += record.duplicateOf >= 0 ? std::to_string(record.duplicateOf + 1) : "null";
  json += ", \"part_of\": ";
  json += record.partOf >= 0 ? std::to_string(record.partOf + 1) : "null";
  json += ", \"found_by\": ";
  json += record.foundBy == FoundBy::Trace ? "\"trace\"" : "\"shape\"";
  json += ", \"damaged\": ";
  json += record.damaged ? "true" : "false";
  json += "}";
  return json;
}

std::string TableHeading() {
  return "    #      Sector  Off  Date                 !&D Sender                         "
         "Subject\n";
}

std::string TableRow(const MailRecord& record, std::size_t index, const RenderOptions& options) {
  char head[64];
  std::snprintf(head, sizeof head, "%5zu %11llu  %3u  ", index,
                static_cast<unsigned long long>(record.startSector),
                static_cast<unsigned>(record.sectorOffset));
  std::string row = head;
  row += Column(AnsiToUtf16(record.date, options.ansiCodePage), 20) + " ";
  const bool attached = !record.attachments.empty() ||
                        !record.ReadBody([](const BodyFacts& body) { return body.parts.empty(); });
  row += (record.priority == 1 || record.priority == 2) ? '!' : ' ';
  row += attached ? '&' : ' ';
  row += record.damaged ? 'D' : ' ';
  row += ' ';
  row += Column(record.FromText(), 30) + " ";
  row += Utf8(record.SubjectText());
  for (char& c : row)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  // Behind the subject, so that rows of mails without these marks read as they always did.
  if (record.duplicateOf >= 0)
    row += "  = a copy of mail " + std::to_string(record.duplicateOf + 1);
  if (record.partOf >= 0) row += "  ^ found inside mail " + std::to_string(record.partOf + 1);
  row += '\n';
  return row;
}

std::string UnreadableSummary(const std::vector<SectorRange>& unreadable,
                              std::size_t damagedMails) {
  const std::uint64_t sectors = SectorCount(unreadable);
  if (sectors == 0) return {};
  std::string text = "quillon: " + std::to_string(sectors) +
                     (sectors == 1 ? " sector could not be read and counts"
                                   : " sectors could not be read and count") +
                     " as zeros: " + SectorRangesText(unreadable) + "\n";
  text += "quillon: " + std::to_string(damagedMails) +
          (damagedMails == 1 ? " mail holds" : " mails hold") + " unreadable sectors and " +
          (damagedMails == 1 ? "is" : "are") + " marked damaged\n";
  return text;
}

}  // namespace quillon
