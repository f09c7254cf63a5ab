#include "scan/merge/duplicate_marker.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace quillon {

namespace {

// Body bytes looked at per mail, and the steps they are compared in.
constexpr std::size_t kBodyBytes = 2048;
// Header blocks longer than this are taken as not ending in the bytes in hand.
constexpr std::size_t kLongestHeaderBlock = 64 * 1024;
constexpr std::size_t kBodyStep = 128;
constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ULL;

// FNV-1a over 8-byte words (and the bytes of a shorter tail): the same bytes give the same digest,
// at a word a step.
std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint64_t hash = kFnvStart) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    hash = (hash ^ word) * 0x100000001b3ULL;
  }
  for (; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ULL;
  return hash;
}

// Zeros or binary bytes behind a mail are no part of it, and differ from copy to copy.
bool IsTextByte(std::uint8_t c) {
  return c >= 0x20 || c == '\t' || c == '\r' || c == '\n';
}

// The index behind the empty line that ends the header block from `start` on (CR LF or LF
// lines); 0 when a NUL or the bytes' end comes first.
std::size_t HeaderEnd(CarveBuffer buffer, std::size_t start) {
  const std::size_t limit = std::min(buffer.size, start + kLongestHeaderBlock);
  std::size_t line = start;
  while (line < limit) {
    const auto* lineFeed =
        static_cast<const std::uint8_t*>(std::memchr(buffer.data + line, '\n', limit - line));
    if (!lineFeed) return 0;
    const std::size_t end = static_cast<std::size_t>(lineFeed - buffer.data);
    if (std::memchr(buffer.data + line, 0, end - line)) return 0;
    // An empty line: nothing, or a CR alone, between two line feeds.
    if (line > start && (end == line || (end == line + 1 && buffer.data[line] == '\r')))
      return end + 1;
    line = end + 1;
  }
  return 0;
}

// The start of the header block's From line; `start` when it has none.
std::size_t FromLine(CarveBuffer buffer, std::size_t start, std::size_t headerEnd) {
  for (std::size_t line = start; line + 5 <= headerEnd;) {
    const std::string_view text(reinterpret_cast<const char*>(buffer.data + line), 5);
    if ((text[0] | 0x20) == 'f' && (text[1] | 0x20) == 'r' && (text[2] | 0x20) == 'o' &&
        (text[3] | 0x20) == 'm' && text[4] == ':')
      return line;
    const void* lineFeed = std::memchr(buffer.data + line, '\n', headerEnd - line);
    if (!lineFeed) break;
    line = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineFeed) - buffer.data) + 1;
  }
  return start;
}

}  // namespace

ContentPrint PrintOf(CarveBuffer buffer, std::size_t start) {
  ContentPrint print;
  if (start >= buffer.size) return print;
  const std::size_t headerEnd = HeaderEnd(buffer, start);
  if (headerEnd == 0) return print;
  print.known = true;
  // From the From line on: a copy found at its trace line and one found at its first line are
  // read from different lines of the same bytes.
  const std::size_t from = FromLine(buffer, start, headerEnd);
  print.headerDigest = Fnv1a(buffer.data + from, headerEnd - from);
  const std::size_t prefix = std::min<std::size_t>(buffer.size - headerEnd, kBodyStep);
  const std::size_t reach = std::min(buffer.size - headerEnd, kBodyBytes);
  const std::uint8_t* body = buffer.data + headerEnd;
  std::size_t length = 0;
  while (length < reach && IsTextByte(body[length])) ++length;
  print.bodyLength = length;
  print.bodyStart.assign(reinterpret_cast<const char*>(body), std::min(length, prefix));
  std::uint64_t digest = kFnvStart;
  for (std::size_t step = 0; step + kBodyStep <= length; step += kBodyStep) {
    digest = Fnv1a(body + step, kBodyStep, digest);
    print.bodySteps.push_back(digest);
  }
  print.bodyDigest = Fnv1a(body, length);
  return print;
}

bool SameContent(const ContentPrint& a, const ContentPrint& b) {
  if (!a.known || !b.known) return true;
  if (a.headerDigest != b.headerDigest) return false;
  if (a.bodyLength == b.bodyLength) return a.bodyDigest == b.bodyDigest;
  const std::size_t common = std::min(a.bodyStart.size(), b.bodyStart.size());
  if (a.bodyStart.compare(0, common, b.bodyStart, 0, common) != 0) return false;
  // One reaches further: the other must be its prefix, as far as whole steps of both tell.
  const std::size_t steps = std::min(a.bodySteps.size(), b.bodySteps.size());
  return steps == 0 || a.bodySteps[steps - 1] == b.bodySteps[steps - 1];
}

void DuplicateMarker::Mark(MailRecord& record, std::size_t index, CarveBuffer buffer) {
  const MailExtent extent = record.Extent();
  const std::uint64_t start = extent.TextStartOr(record.StartByte());
  ContentPrint print;
  // A store's mail lies in its block chain, not in the bytes from its start on.
  if (!extent.inStore && start >= buffer.base && start < buffer.base + buffer.size)
    print = PrintOf(buffer, static_cast<std::size_t>(start - buffer.base));

  // A copy found by its trace line may have been read without the Message-ID above that line:
  // values alone then match it with a copy that has one, unless both have one and they differ.
  std::string values = record.from.String() + '\n' + record.to.String() + '\n' +
                       record.date.String() + '\n' + record.subject.String();
  const bool hasId = !record.messageId.empty();
  std::optional<std::size_t> kept;  // where `print` went in prints_, once it is kept
  if (hasId) {
    std::vector<Copy>& copies = firstById_[record.messageId.String()];
    const auto first = std::find_if(copies.begin(), copies.end(), [&](const Copy& copy) {
      return SameContent(prints_[copy.print], print);
    });
    if (first != copies.end()) {
      record.duplicateOf = static_cast<std::int64_t>(first->index);
      return;
    }
    kept = prints_.size();
    prints_.push_back(std::move(print));
    copies.push_back({index, hasId, *kept});
  }
  const ContentPrint& ours = kept ? prints_[*kept] : print;
  std::vector<Copy>& copies = firstByValues_[std::move(values)];
  const auto first = std::find_if(copies.begin(), copies.end(), [&](const Copy& copy) {
    return (!hasId || !copy.hasId) && SameContent(prints_[copy.print], ours);
  });
  if (first != copies.end()) {
    record.duplicateOf = static_cast<std::int64_t>(first->index);
    return;
  }
  if (!kept) {
    kept = prints_.size();
    prints_.push_back(std::move(print));
  }
  copies.push_back({index, hasId, *kept});
}

}  // namespace quillon
