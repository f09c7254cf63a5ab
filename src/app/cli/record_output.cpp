#include "app/cli/record_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
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

// The code point at `index` of `text`, moving `index` past it; an unpaired surrogate reads as
// U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& index) {
  const char16_t unit = text[index++];
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && index < text.size() && text[index] >= 0xDC00 && text[index] <= 0xDFFF)
    return 0x10000 + ((unit - 0xD800) << 10) + (text[index++] - 0xDC00);
  return 0xFFFD;
}

// Appends `text` in UTF-8, with a space for each control character below U+0020 when `plain`.
void AppendUtf8(std::string& out, std::u16string_view text, bool plain = false) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] < 0x80) {
      // A run of ASCII goes in at once: most texts are nothing else.
      std::size_t run = i;
      while (run < text.size() && text[run] < 0x80) ++run;
      const std::size_t at = out.size();
      out.resize(at + (run - i));
      for (char* c = out.data() + at; i < run; ++i, ++c) {
        const char ascii = static_cast<char>(text[i]);
        *c = plain && ascii < 0x20 ? ' ' : ascii;
      }
      continue;
    }
    AppendUtf8(out, NextCodePoint(text, i));
  }
}

// Appends 8-bit text read as the characters U+0000 to U+00FF in UTF-8, with a space for each
// control character below U+0020 when `plain`, and for U+007F too when `blankDelete`: what
// AppendUtf8 and AppendColumn write for the text widened, without widening it.
// Whether any byte of `word` lies below `bound` (at most 0x80).
constexpr bool HasByteBelow(std::uint64_t word, std::uint64_t bound) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  return ((word - kOnes * bound) & ~word & (kOnes * 0x80)) != 0;
}

void AppendWidened(std::string& out, std::string_view text, bool plain, bool blankDelete) {
  // Room for every byte as two, given back behind the last one written.
  const std::size_t at = out.size();
  out.resize(at + 2 * text.size());
  char* c = out.data() + at;
  auto put = [&](const char each) {
    const auto byte = static_cast<unsigned char>(each);
    if (byte < 0x80) {
      *c++ = plain && (byte < 0x20 || (blankDelete && byte == 0x7F)) ? ' ' : each;
    } else {
      *c++ = static_cast<char>(0xC0 | (byte >> 6));
      *c++ = static_cast<char>(0x80 | (byte & 0x3F));
    }
  };
  // Eight bytes at a time: most values are printable ASCII alone, which goes in as it is.
  constexpr std::uint64_t kDelete = 0x7F7F7F7F7F7F7F7F;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const bool asIs =
        (word & 0x8080808080808080) == 0 &&
        !(plain && (HasByteBelow(word, 0x20) || (blankDelete && HasByteBelow(word ^ kDelete, 1))));
    if (asIs) {
      std::memcpy(c, &word, 8);
      c += 8;
    } else {
      for (std::size_t k = i; k < i + 8; ++k) put(text[k]);
    }
  }
  for (; i < text.size(); ++i) put(text[i]);
  out.resize(static_cast<std::size_t>(c - out.data()));
}

// Terminal columns a character takes: East Asian wide and full-width characters take two.
std::size_t DisplayWidth(char32_t code) {
  if (code < 0x1100) return 1;
  const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                    (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                    (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                    (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
  return wide ? 2 : 1;
}

// Fits text into a column `width` terminal cells wide at the end of `out`, for the table.
void AppendColumn(std::string& out, std::u16string_view text, std::size_t width) {
  // Up to U+1100 a character takes one cell and one unit: most texts are that alone.
  std::size_t narrow = 0;
  while (narrow < text.size() && text[narrow] < 0x1100) ++narrow;
  // Whether the text fits: a character takes one or two cells and one or two units, so the
  // cells lie between half the units and twice them.
  bool fits = narrow == text.size() ? text.size() <= width : 2 * text.size() <= width;
  if (!fits && narrow < text.size() && (text.size() + 1) / 2 <= width) {
    std::size_t total = narrow;
    for (std::size_t i = narrow; i < text.size() && total <= width;)
      total += DisplayWidth(NextCodePoint(text, i));
    fits = total <= width;
  }
  // Leave one cell for the ellipsis when the text does not fit.
  const std::size_t room = fits ? width : width - 1;
  std::size_t ascii = 0;
  while (ascii < narrow && ascii < room && text[ascii] < 0x80) ++ascii;
  const std::size_t at = out.size();
  out.resize(at + ascii);
  for (std::size_t k = 0; k < ascii; ++k) {
    const char c = static_cast<char>(text[k]);
    out[at + k] = c < 0x20 || c == 0x7F ? ' ' : c;
  }
  std::size_t used = ascii;
  std::size_t i = ascii;
  while (i < text.size()) {
    char32_t code = NextCodePoint(text, i);
    if (code < 0x20 || code == 0x7F) code = ' ';
    const std::size_t cells = DisplayWidth(code);
    if (used + cells > room) break;
    AppendUtf8(out, code);
    used += cells;
  }
  if (!fits) {
    AppendUtf8(out, U'\u2026');
    ++used;
  }
  out.append(width > used ? width - used : 0, ' ');
}

// AppendColumn for 8-bit text read as the characters U+0000 to U+00FF, one cell each.
void AppendWidenedColumn(std::string& out, std::string_view text, std::size_t width) {
  const bool fits = text.size() <= width;
  const std::size_t shown = std::min(text.size(), fits ? width : width - 1);
  AppendWidened(out, text.substr(0, shown), true, true);
  std::size_t used = shown;
  if (!fits) {
    AppendUtf8(out, U'\u2026');
    ++used;
  }
  out.append(width > used ? width - used : 0, ' ');
}

// Whether `bytes` read as the same characters in every ANSI code page: the digits and separators
// a normalised date is written in.
bool ReadsAlikeInEveryCodePage(std::string_view bytes) {
  for (const char c : bytes) {
    if ((c < '0' || c > '9') && c != '-' && c != ':' && c != ' ') return false;
  }
  return true;
}

// AppendColumn for text of printable ASCII alone, one cell a byte.
void AppendAsciiColumn(std::string& out, std::string_view text, std::size_t width) {
  const bool fits = text.size() <= width;
  const std::size_t shown = std::min(text.size(), fits ? width : width - 1);
  out.append(text.data(), shown);
  std::size_t used = shown;
  if (!fits) {
    AppendUtf8(out, U'\u2026');
    ++used;
  }
  out.append(width > used ? width - used : 0, ' ');
}

// A number right-aligned in `width` columns at `at`, as printf's "%5u" writes it; returns the
// end of what it wrote (at most max(width, 20) characters).
char* PutRightAligned(char* at, std::uint64_t value, std::size_t width) {
  char digits[20];
  const std::size_t length =
      static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
  const std::size_t padding = width > length ? width - length : 0;
  std::memset(at, ' ', padding);
  std::memcpy(at + padding, digits, length);
  return at + padding + length;
}

void AppendRightAligned(std::string& out, std::uint64_t value, std::size_t width) {
  char text[24];
  out.append(text, static_cast<std::size_t>(PutRightAligned(text, value, width) - text));
}

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const char32_t code = NextCodePoint(text, i);
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

void AppendTableRow(std::string& out, const MailRecord& record, std::size_t index,
                    const RenderOptions& options) {
  // The numbers go in as one piece: "#", "Sector" and "Off", each behind its padding.
  char numbers[64];
  char* end = PutRightAligned(numbers, index, 5);
  *end++ = ' ';
  end = PutRightAligned(end, record.startSector, 11);
  end = std::copy_n("  ", 2, end);
  end = PutRightAligned(end, record.sectorOffset, 3);
  end = std::copy_n("  ", 2, end);
  out.append(numbers, static_cast<std::size_t>(end - numbers));
  // A date the scan normalised needs no conversion.
  if (ReadsAlikeInEveryCodePage(record.date.View()))
    AppendAsciiColumn(out, record.date.View(), 20);
  else
    AppendColumn(out, AnsiToUtf16(record.date, options.ansiCodePage), 20);
  const bool attached = !record.attachments.empty() ||
                        !record.ReadBody([](const BodyFacts& body) { return body.parts.empty(); });
  const char marks[] = {' ', (record.priority == 1 || record.priority == 2) ? '!' : ' ',
                        attached ? '&' : ' ', record.damaged ? 'D' : ' ', ' '};
  out.append(marks, sizeof marks);
  // Most senders and subjects are their raw bytes widened: those are written from the bytes.
  if (record.FromTextIsWidened())
    AppendWidenedColumn(out, record.from.View(), 30);
  else
    AppendColumn(out, record.FromText(), 30);
  out += ' ';
  if (record.SubjectTextIsWidened())
    AppendWidened(out, record.subject.View(), true, false);
  else
    AppendUtf8(out, record.SubjectText(), true);
  // Behind the subject, so that rows of mails without these marks read as they always did.
  if (record.duplicateOf >= 0) {
    out += "  = a copy of mail ";
    AppendRightAligned(out, static_cast<std::uint64_t>(record.duplicateOf + 1), 0);
  }
  if (record.partOf >= 0) {
    out += "  ^ found inside mail ";
    AppendRightAligned(out, static_cast<std::uint64_t>(record.partOf + 1), 0);
  }
  out += '\n';
}

std::string TableRow(const MailRecord& record, std::size_t index, const RenderOptions& options) {
  std::string row;
  row.reserve(160);
  AppendTableRow(row, record, index, options);
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
