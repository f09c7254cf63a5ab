#include "scan/reread/mail_extent_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/read/store_chain.h"
#include "scan/reread/mail_reader_source.h"
#include "scan/reread/mail_reader_window.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

constexpr std::size_t kStep = 64 * 1024;
constexpr std::uint64_t kEpilogueLook = 4096;

bool StartsWithTraceName(std::string_view line) {
  for (const HeaderField field : kMailStartFields)
    if (StartsWithNoCase(line, LinePrefix(field))) return true;
  return false;
}

// The blank line and the mailbox separator that stand between a mail and the next one found.
std::size_t TrimSeparatorBeforeNextMail(std::string_view text) {
  std::size_t end = text.size();
  const std::size_t lastLine = text.rfind('\n', end >= 2 ? end - 2 : 0);
  const std::size_t separator = lastLine == std::string_view::npos ? 0 : lastLine + 1;
  if (IsMboxSeparator(text.substr(separator), MboxSeparatorRule::Prefix)) end = separator;
  // The blank line between two mails belongs to neither.
  if (end >= 4 && text.substr(end - 4, 4) == "\r\n\r\n") return end - 2;
  if (end >= 2 && text.substr(end - 2, 2) == "\n\n") return end - 1;
  return end;
}

// How much of `rest`, behind a multipart's closing boundary, is its epilogue: empty lines, and
// text lines up to a NUL, binary bytes, a mailbox separator or the next mail (`reachesNext`).
// Text that runs on to the end of what was read is not taken beyond the empty lines.
std::size_t EpilogueLength(std::string_view rest, bool reachesNext) {
  std::size_t emptyLines = 0;
  while (emptyLines < rest.size()) {
    if (rest.substr(emptyLines, 2) == "\r\n")
      emptyLines += 2;
    else if (rest[emptyLines] == '\n')
      emptyLines += 1;
    else
      break;
  }
  std::size_t line = emptyLines;
  bool previousEmpty = true;
  while (line < rest.size()) {
    const std::size_t next = rest.find('\n', line);
    if (next == std::string_view::npos) break;
    std::string_view content = rest.substr(line, next - line);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    const bool stops = std::any_of(content.begin(), content.end(), [](char c) {
      return c == '\0' || !IsTextByte(static_cast<std::uint8_t>(c));
    });
    if (stops) return line;
    // A mailbox separator begins the next mail; the blank line before it belongs to neither.
    if (previousEmpty && IsMboxSeparator(content, MboxSeparatorRule::Prefix))
      return line >= 2 && rest.substr(line - 2, 2) == "\r\n" ? line - 2 : line > 0 ? line - 1 : 0;
    previousEmpty = content.empty();
    line = next + 1;
  }
  if (line < rest.size() && rest[line] == '\0') return line;
  return reachesNext ? TrimSeparatorBeforeNextMail(rest) : emptyLines;
}

// True when `content` holds a byte that is no text byte. Eight bytes at a time are passed over
// when none is below 0x20 (a byte b < 0x20 borrows into its top bit in b - 0x20 while its own top
// bit is clear) and none is 0x7F: every other byte is text.
bool HoldsNonTextByte(std::string_view content) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kTops = 0x8080808080808080;
  auto anyNonText = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (!IsTextByte(static_cast<std::uint8_t>(content[i]))) return true;
    return false;
  };
  std::size_t at = 0;
  for (; at + 8 <= content.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, content.data() + at, 8);
    const std::uint64_t deletes = word ^ (0x7F * kOnes);
    const bool maybe = (((word - 0x20 * kOnes) & ~word) | ((deletes - kOnes) & ~deletes)) & kTops;
    if (maybe && anyNonText(at, at + 8)) return true;
  }
  return anyNonText(at, content.size());
}

}  // namespace

bool HasKnownExtent(const MailRecord& record) {
  const MailExtent extent = record.Extent();
  return extent.inStore || extent.textStartKnown || record.foundBy == FoundBy::Shape;
}

std::size_t FindTextEnd(std::string_view text, std::string_view boundary, bool endAtTraceLines) {
  const std::size_t nul = text.find('\0');
  const std::string_view data = text.substr(0, nul);
  // The header block ends at the first empty line; nothing in it ends the mail.
  std::size_t body = data.find("\n\r\n");
  const std::size_t lineFeedBody = data.find("\n\n");
  body = std::min(body == std::string_view::npos ? data.size() : body + 3,
                  lineFeedBody == std::string_view::npos ? data.size() : lineFeedBody + 2);
  if (!boundary.empty()) {
    if (const ClosingBoundaryLine closing =
            FindClosingBoundaryLine(data, boundary, body > 0 ? body - 1 : 0);
        closing.found) {
      const std::size_t end = data.find('\n', closing.behind);
      // What follows (an epilogue, empty lines) is for the caller to weigh.
      return end == std::string_view::npos ? data.size() : end + 1;
    }
    // No closing boundary: the mail was cut short; the line rules below tell where.
  }
  bool previousEmpty = false;
  std::size_t previousLine = body;
  for (std::size_t line = body; line < data.size();) {
    std::size_t next = data.find('\n', line);
    const std::size_t lineEnd = next == std::string_view::npos ? data.size() : next;
    std::string_view content = data.substr(line, lineEnd - line);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (HoldsNonTextByte(content)) return line;
    // A mailbox separator, and the blank line before it, begin the next mail.
    // Quoted mailbox text is common in bodies; a separator ends the mail only when the next
    // mail's start is not known (where it is, the separator in front of it is trimmed).
    if (endAtTraceLines && previousEmpty && content.size() > 5 &&
        IsMboxSeparator(content, MboxSeparatorRule::Prefix))
      return previousLine;
    // Without knowing where the next mail begins, its trace line is the best sign of it; the
    // mail ends at the line break before it.
    if (endAtTraceLines && line > body && StartsWithTraceName(content))
      return line >= 2 && data.substr(line - 2, 2) == "\r\n" ? line - 2 : line - 1;
    previousEmpty = content.empty();
    previousLine = line;
    if (next == std::string_view::npos) break;
    line = next + 1;
  }
  return nul;
}

void ReadKnownExtent(const MailRecord& record, DataSource& source, std::string& output,
                     const std::atomic<bool>* stopRequested, bool zerosForUnreadable,
                     TextOrigin* origin) {
  const MailExtent extent = record.Extent();
  RescuedSource rescued(source, stopRequested);
  if (extent.inStore) {
    const std::uint64_t sourceEnd = source.SizeBytes();
    const SourceBytesReader reader = [&](std::uint64_t offset, std::size_t count,
                                         std::uint8_t* out) {
      if ((stopRequested && stopRequested->load()) || offset + count > sourceEnd) return false;
      rescued.Read(offset, count, out);
      return true;
    };
    const StoreChainText chain = ReadStoreChain(reader, extent.storeBlock, kMaxMailBytes);
    output = CleanMailText(chain.text);
    if (!zerosForUnreadable) return;
    // The chain's text is its pieces one after the other.
    std::uint64_t at = 0;
    for (const auto& [piece, length] : chain.pieces) {
      if (origin && at < output.size())
        origin->pieces.push_back({at, piece, std::min<std::uint64_t>(length, output.size() - at)});
      for (const auto& [from, to] : SpansWithin(rescued.Unreadable(), piece, length)) {
        ZeroSpans(output, {{at + from, at + to}});
        if (origin && at + from < output.size())
          origin->unreadable.emplace_back(at + from,
                                          std::min<std::uint64_t>(at + to, output.size()));
      }
      at += length;
    }
    return;
  }
  const std::uint64_t start = extent.TextStartOr(record.StartByte());
  std::uint64_t end = record.Body().textEnd;
  if (extent.multipartEnd > start && (end <= start || extent.multipartEnd < end))
    end = extent.multipartEnd;
  // The next mail's first line ends this one, at the line break before it when a blank line
  // separates them; what the rules find earlier ends it earlier.
  std::uint64_t limit = extent.nextMailStart > start ? extent.nextMailStart : 0;
  if (limit > start && end > limit) end = limit;  // no mail runs into the next one
  // Behind a closing boundary an epilogue (empty lines, a list footer) may follow: look a little
  // further.
  const std::uint64_t knownEnd = end;
  if (end > start) end += kEpilogueLook;
  if (end > start && limit > start && end > limit) end = std::max(limit, knownEnd);
  const std::uint64_t sourceEnd = source.TotalSectors() * kSectorSize;
  std::string text;
  std::uint64_t position = start;
  while (position < sourceEnd && text.size() < kMaxMailBytes &&
         !(stopRequested && stopRequested->load())) {
    const std::uint64_t stop = end > start ? end : limit;
    if (stop > start && position >= stop) break;
    const std::uint64_t wanted = stop > start ? stop - position : kStep;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(
        {wanted, sourceEnd - position, kMaxMailBytes - text.size(), 16 * kStep}));
    if (count == 0) break;
    const std::size_t at = text.size();
    text.resize(at + count, '\0');
    rescued.Read(position, count, reinterpret_cast<std::uint8_t*>(text.data() + at));
    position += count;
    if (end > start) {
      if (position >= end) break;
      continue;
    }
    if (stop <= start &&
        FindTextEnd(text, record.boundary, limit <= start) != std::string_view::npos)
      break;
  }
  if (knownEnd > start) {
    const std::size_t known =
        static_cast<std::size_t>(std::min<std::uint64_t>(knownEnd - start, text.size()));
    text.resize(known + EpilogueLength(std::string_view(text).substr(known),
                                       limit > start && start + text.size() >= limit));
  } else {
    const std::size_t textEnd = FindTextEnd(text, record.boundary, limit <= start);
    if (textEnd != std::string_view::npos) {
      const std::size_t epilogue =
          record.boundary.empty() ? 0
                                  : EpilogueLength(std::string_view(text).substr(textEnd),
                                                   limit > start && start + text.size() >= limit);
      text.resize(textEnd + epilogue);
    } else if (limit > start && start + text.size() >= limit) {
      text.resize(TrimSeparatorBeforeNextMail(text));
    }
  }
  output = CleanMailText(text);
  if (!zerosForUnreadable) return;
  const ByteSpans unreadable = SpansWithin(rescued.Unreadable(), start, output.size());
  ZeroSpans(output, unreadable);
  if (origin && !output.empty()) {
    origin->pieces.push_back({0, start, output.size()});
    origin->unreadable.assign(unreadable.begin(), unreadable.end());
  }
}

}  // namespace quillon::mail_reader
