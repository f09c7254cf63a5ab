#include "scan/merge/mail_print.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/find/text_bytes.h"
#include "scan/lines/line_reader.h"
#include "scan/merge/mail_print_digest.h"
#include "scan/merge/mail_print_header.h"
#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"

namespace quillon {

namespace {

constexpr std::uint8_t kEscape = 0x1B;

// The store block header that the byte at `at`, no text, belongs to: one at a 4-aligned source
// position no more than 5 bytes before it (its bytes 5..7 are 02 00 00, so its first byte that is
// no text is one of its first six), not before `from`, whose 16 bytes lie before `limit`.
std::size_t BlockHeaderAt(CarveBuffer buffer, std::size_t at, std::size_t from, std::size_t limit) {
  const std::size_t first =
      at >= from + kBlockHeaderMarkOffset ? at - kBlockHeaderMarkOffset : from;
  for (std::size_t header = first; header <= at; ++header) {
    const std::uint64_t position = buffer.PositionOf(header);
    if (position % 4 != 0 || header + kBlockHeaderSize > limit) continue;
    StoreBlockHeader fields;
    if (ReadStoreBlockHeader(buffer.data + header, position, fields)) return header;
  }
  return kNoBlockHeader;
}

// Where the line that holds the byte at `at` (no text) ends, behind its line feed, when that line
// lies whole before `limit` and is a field line whose bytes that are no text are a stray one or
// two (IsFieldLineWithStrayBytes); 0 when it is not.
std::size_t BehindFieldLineWithStrayBytes(CarveBuffer buffer, std::size_t at, std::size_t limit) {
  const std::size_t reach = std::min(limit, at + kMaxHeaderLine);
  const void* lineFeed = std::memchr(buffer.data + at, '\n', reach - at);
  if (!lineFeed) return 0;
  const auto end =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data);
  const std::size_t content = end > at && buffer.data[end - 1] == '\r' ? end - 1 : end;
  return IsFieldLineWithStrayBytes(buffer, content) ? end + 1 : 0;
}

}  // namespace

MailText TextFrom(CarveBuffer buffer, std::size_t start, std::size_t limit, std::string& stepped,
                  std::size_t textUpTo) {
  limit = std::min(limit, buffer.size);
  if (start >= limit) return {};
  stepped.clear();
  bool stepping = false;
  std::size_t piece = start;  // where the text's current piece began
  // An escape in front of `textUpTo` would only be stepped over one byte on.
  std::size_t at = std::clamp(textUpTo, start, limit);
  for (;;) {
    at = FindNonTextByte(buffer.data, at, limit);
    if (at >= limit) break;
    // The escape that switches the character set of 7-bit Japanese text is the text's own: two
    // such mails alike up to their first one may differ behind it.
    if (buffer.data[at] == kEscape) {
      ++at;
      continue;
    }
    const std::size_t header = BlockHeaderAt(buffer, at, piece, limit);
    // A stray control byte or two in a field line are the mail's own, as the header reader
    // takes them: a print cut there holds too little of the mail to tell it from another with
    // the same values.
    if (header == kNoBlockHeader && buffer.data[at] != 0) {
      if (const std::size_t next = BehindFieldLineWithStrayBytes(buffer, at, limit)) {
        at = next;
        continue;
      }
    }
    if (header == kNoBlockHeader) {
      // Other bytes than zeros end a mail only at a line's end: the few that look like text in
      // front of them (random bytes, mostly) are not its, and differ from copy to copy.
      const void* lineFeed =
          buffer.data[at] != 0 ? memrchr(buffer.data + piece, '\n', at - piece) : nullptr;
      if (lineFeed)
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data) + 1;
      break;
    }
    stepped.append(reinterpret_cast<const char*>(buffer.data + piece), header - piece);
    stepping = true;
    piece = at = header + kBlockHeaderSize;
  }
  if (!stepping) return {buffer.data + start, at - start};
  stepped.append(reinterpret_cast<const char*>(buffer.data + piece), at - piece);
  return {reinterpret_cast<const std::uint8_t*>(stepped.data()), stepped.size()};
}

MailPrint PrintOf(MailText text) {
  MailPrint print;
  // A print's lengths are 32 bits: a longer text tells apart only as far as they reach.
  text.size = std::min<std::size_t>(text.size, UINT32_MAX);
  const HeaderLines lines = FindHeaderLines(text.data, text.size);
  if (lines.end == 0) return print;
  print.known = true;
  // No From line: the text is printed from its first line.
  const std::size_t from = lines.fromLine;
  print.aboveLength = static_cast<std::uint32_t>(from);
  print.aboveDigest = DigestOf(text.data, from);
  print.headerLength = static_cast<std::uint32_t>(lines.end - from);
  print.length = static_cast<std::uint32_t>(text.size - from);
  // The whole text's digest goes on from the state the header block's whole blocks left: the
  // header is digested once, and both finish from there.
  TextDigest shared;
  const std::size_t sharedBytes = shared.TakeBlocks(text.data + from, print.headerLength);
  print.headerDigest =
      shared.Finish(text.data + from + sharedBytes, print.headerLength - sharedBytes);
  print.digest = shared.Finish(text.data + from + sharedBytes, print.length - sharedBytes);
  return print;
}

bool SameHeader(const MailPrint& a, const MailPrint& b) {
  return a.headerLength == b.headerLength && a.headerDigest == b.headerDigest;
}

bool EndsWithLinesAbove(MailText text, const MailPrint& print, const MailPrint& fewer) {
  if (fewer.aboveLength > print.aboveLength || text.size < print.aboveLength) return false;
  const std::size_t at = print.aboveLength - fewer.aboveLength;
  return (at == 0 || text.data[at - 1] == '\n') &&
         DigestOf(text.data + at, fewer.aboveLength) == fewer.aboveDigest;
}

bool BeginsWith(MailText text, const MailPrint& print, const MailPrint& shorter) {
  return text.size >= print.aboveLength + shorter.length &&
         DigestOf(text.data + print.aboveLength, shorter.length) == shorter.digest;
}

std::size_t LineStartBefore(MailText text, std::size_t from, std::size_t at) {
  for (std::size_t index = at; index > from; --index) {
    if (text.data[index - 1] == '\n') return index;
  }
  return from;
}

namespace {

// The length of the field name of a header line at `at` ("Name:"); 0 when none begins there.
std::size_t FieldNameLength(MailText text, std::size_t at) {
  std::size_t index = at;
  const auto isNameByte = [](std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  };
  while (index < text.size && index - at < 80 && isNameByte(text.data[index])) ++index;
  return index - at >= 2 && index < text.size && text.data[index] == ':' ? index - at : 0;
}

bool IsMailField(MailText text, std::size_t at, std::size_t length) {
  std::string name(reinterpret_cast<const char*>(text.data + at), length);
  for (char& c : name) c = static_cast<char>(c | 0x20);
  return name == "from" || name == "date" || name == "received" || name == "return-path" ||
         name == "message-id" || name == "delivered-to";
}

}  // namespace

bool BeginsMailHeader(MailText text, std::size_t at) {
  constexpr std::size_t kLines = 200;
  bool mailField = false;
  std::size_t line = at;
  for (std::size_t lines = 0; lines < kLines && line < text.size; ++lines) {
    const std::uint8_t first = text.data[line];
    if (first == '\r' || first == '\n') return mailField;  // the block's empty line
    if (first != ' ' && first != '\t') {
      const std::size_t name = FieldNameLength(text, line);
      if (name == 0) return false;
      mailField = mailField || IsMailField(text, line, name);
    } else if (line == at) {
      return false;
    }
    const void* lineFeed = std::memchr(text.data + line, '\n', text.size - line);
    if (!lineFeed) break;
    line = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - text.data) + 1;
  }
  return mailField;
}

bool BeginsMailboxSeparator(MailText text, std::size_t at) {
  if (at >= text.size) return false;
  const std::size_t rest = text.size - at;
  const void* lineFeed = std::memchr(text.data + at, '\n', rest);
  const std::size_t length =
      lineFeed
          ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - text.data) - at
          : rest;
  return IsMboxSeparator({reinterpret_cast<const char*>(text.data + at), length});
}

std::size_t FindMailboxSeparator(MailText text, std::size_t from, std::size_t to) {
  constexpr std::string_view kFrom = "From ";
  to = std::min(to, text.size);
  for (std::size_t at = std::max<std::size_t>(from, 2); at + kFrom.size() <= to; ++at) {
    const auto* found = static_cast<const std::uint8_t*>(
        memmem(text.data + at, to - at, kFrom.data(), kFrom.size()));
    if (!found) break;
    at = static_cast<std::size_t>(found - text.data);
    // Behind an empty line: a line feed, and a CR or nothing, in front of the line's own.
    const bool behindEmptyLine =
        at >= 2 && text.data[at - 1] == '\n' &&
        (text.data[at - 2] == '\n' ||
         (at >= 3 && text.data[at - 2] == '\r' && text.data[at - 3] == '\n'));
    if (behindEmptyLine && BeginsMailboxSeparator(text, at)) return at;
  }
  return text.size;
}

std::size_t CommonLength(MailText a, std::size_t aFrom, MailText b, std::size_t bFrom) {
  const std::size_t length =
      std::min(a.size - std::min(a.size, aFrom), b.size - std::min(b.size, bFrom));
  const auto* first = a.data + aFrom;
  const auto* second = b.data + bFrom;
  // Texts compared run alike for kilobytes, often the whole way: a block at a time, then the
  // differing block eight bytes at a time, and the differing word byte by byte.
  constexpr std::size_t kBlock = 256;
  std::size_t at = 0;
  while (at + kBlock <= length && std::memcmp(first + at, second + at, kBlock) == 0) at += kBlock;
  for (; at + sizeof(std::uint64_t) <= length; at += sizeof(std::uint64_t)) {
    std::uint64_t one = 0;
    std::uint64_t other = 0;
    std::memcpy(&one, first + at, sizeof one);
    std::memcpy(&other, second + at, sizeof other);
    if (one != other) break;
  }
  while (at < length && first[at] == second[at]) ++at;
  return at;
}

}  // namespace quillon
