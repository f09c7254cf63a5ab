#include "scan/merge/mail_print.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/find/text_bytes.h"
#include "scan/lines/line_reader.h"
#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"

namespace quillon {

namespace {

constexpr std::uint8_t kEscape = 0x1B;

constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ULL;
// FNV-1a over 8-byte words (and the bytes of a shorter tail): the same bytes give the same digest,
// at a word a step.
std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint64_t hash = kFnvStart) {
  constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::size_t i = 0;
  // Four words a turn: the same steps in the same order, with a quarter of the loop's own work.
  for (; i + 32 <= size; i += 32) {
    std::uint64_t first, second, third, fourth;  // each read straight into the step it feeds
    std::memcpy(&first, data + i, 8);
    std::memcpy(&second, data + i + 8, 8);
    std::memcpy(&third, data + i + 16, 8);
    std::memcpy(&fourth, data + i + 24, 8);
    hash = (hash ^ first) * kPrime;
    hash = (hash ^ second) * kPrime;
    hash = (hash ^ third) * kPrime;
    hash = (hash ^ fourth) * kPrime;
  }
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    hash = (hash ^ word) * 0x100000001b3ULL;
  }
  for (; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
  return hash;
}

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

// The index behind the empty line that ends the header block of `text`; 0 when it has none.
std::size_t HeaderEnd(MailText text) {
  std::size_t line = 0;
  while (line < text.size) {
    const auto* lineFeed =
        static_cast<const std::uint8_t*>(std::memchr(text.data + line, '\n', text.size - line));
    if (!lineFeed) return 0;
    const std::size_t end = static_cast<std::size_t>(lineFeed - text.data);
    // An empty line: nothing, or a CR alone, between two line feeds.
    if (line > 0 && (end == line || (end == line + 1 && text.data[line] == '\r'))) return end + 1;
    line = end + 1;
  }
  return 0;
}

bool IsFromLine(const std::uint8_t* line) {
  return (line[0] | 0x20) == 'f' && (line[1] | 0x20) == 'r' && (line[2] | 0x20) == 'o' &&
         (line[3] | 0x20) == 'm' && line[4] == ':';
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
  const std::size_t headerEnd = HeaderEnd(text);
  if (headerEnd == 0) return print;
  print.known = true;
  std::size_t from = 0;  // no From line: the text is printed from its first line
  for (std::size_t line = 0; line + 5 <= headerEnd;) {
    if (IsFromLine(text.data + line)) {
      from = line;
      break;
    }
    const void* lineFeed = std::memchr(text.data + line, '\n', headerEnd - line);
    if (!lineFeed) break;
    line = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - text.data) + 1;
  }
  print.aboveLength = static_cast<std::uint32_t>(from);
  print.aboveDigest = Fnv1a(text.data, from);
  print.headerLength = static_cast<std::uint32_t>(headerEnd - from);
  print.length = static_cast<std::uint32_t>(text.size - from);
  // The whole text's digest begins as the header block's does, up to the header's last whole
  // word: the header is digested once, and both go on from there.
  const std::size_t sharedWords = print.headerLength / 8 * 8;
  const std::uint64_t shared = Fnv1a(text.data + from, sharedWords);
  print.headerDigest =
      Fnv1a(text.data + from + sharedWords, print.headerLength - sharedWords, shared);
  print.digest = Fnv1a(text.data + from + sharedWords, print.length - sharedWords, shared);
  return print;
}

bool SameHeader(const MailPrint& a, const MailPrint& b) {
  return a.headerLength == b.headerLength && a.headerDigest == b.headerDigest;
}

bool EndsWithLinesAbove(MailText text, const MailPrint& print, const MailPrint& fewer) {
  if (fewer.aboveLength > print.aboveLength || text.size < print.aboveLength) return false;
  const std::size_t at = print.aboveLength - fewer.aboveLength;
  return (at == 0 || text.data[at - 1] == '\n') &&
         Fnv1a(text.data + at, fewer.aboveLength) == fewer.aboveDigest;
}

bool BeginsWith(MailText text, const MailPrint& print, const MailPrint& shorter) {
  return text.size >= print.aboveLength + shorter.length &&
         Fnv1a(text.data + print.aboveLength, shorter.length) == shorter.digest;
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
  return static_cast<std::size_t>(std::mismatch(first, first + length, second).first - first);
}

}  // namespace quillon
