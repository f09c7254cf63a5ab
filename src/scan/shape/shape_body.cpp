#include "scan/shape/shape_body.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "scan/body/body_steps.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/line_scan.h"
#include "scan/lines/raw_part.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/block_context.h"

namespace quillon {

namespace {

// Zeros behind an assembled store message (see PadForReading).
constexpr std::size_t kCarveLookAheadForStore = 4096;
// A mail's text is not followed further than this while the scan looks for its end.
constexpr std::size_t kMaxFollowedText = kShapeLookAhead - 4096;

// The buffer index where the raw part around the NUL at `nul` ends (raw_part.h), in the body
// from `bodyStart`; npos when the NUL stands in no raw part.
std::size_t RawPartAround(CarveBuffer buffer, std::size_t bodyStart, std::size_t nul) {
  // Most NULs behind a multipart stand behind text, the zeros behind a mail cut short: a raw
  // part's NUL stands behind bytes no text holds, or right behind its header block.
  constexpr std::size_t kLookBehind = 64;
  const std::size_t look = std::min(nul - bodyStart, kLookBehind);
  const std::string_view before(reinterpret_cast<const char*>(buffer.data) + nul - look, look);
  if (!before.ends_with("\n\n") && !before.ends_with("\n\r\n") &&
      !HoldsNonTextByte(buffer.data + nul - look, look))
    return std::string_view::npos;
  // The part's first line lies within the reach in front of its NUL; from the line feed in front
  // of the body on, which the first boundary line may stand behind.
  constexpr std::size_t kPartHeaderBlock = 4096;
  const std::size_t from =
      std::max(bodyStart > 0 ? bodyStart - 1 : 0,
               nul > kRawPartReach + kPartHeaderBlock ? nul - kRawPartReach - kPartHeaderBlock : 0);
  const std::size_t until = std::min(buffer.size, nul + kRawPartReach);
  const std::string_view body(reinterpret_cast<const char*>(buffer.data) + from, until - from);
  const RawPart part = FindRawPart(body, nul - from);
  return part.Found() && part.begin <= nul - from ? from + part.end : std::string_view::npos;
}

}  // namespace

std::uint64_t MultipartEnd(CarveBuffer buffer, std::size_t bodyStart, const std::string& boundary,
                           MultipartEndSearch& search) {
  if (boundary.empty() || bodyStart >= buffer.size) return 0;
  const std::string_view body(reinterpret_cast<const char*>(buffer.data + bodyStart),
                              buffer.size - bodyStart);
  std::size_t readNul = search.nuls.From(buffer, bodyStart);
  std::optional<std::size_t> closing =
      search.closings.Find(buffer, bodyStart, std::min(readNul, buffer.size), boundary);
  // A NUL in a part of raw bytes ends nothing: the mail goes on behind that part. (Only where
  // the look ahead the buffer holds for every chunk covers the part's reach, so that where the
  // chunks begin changes nothing.)
  while (!closing && readNul < buffer.size &&
         readNul - bodyStart + kRawPartReach < kShapeLookAhead) {
    const std::size_t partEnd = RawPartAround(buffer, bodyStart, readNul);
    if (partEnd == std::string_view::npos) break;
    readNul = search.nuls.From(buffer, partEnd);
    closing = search.closings.Find(buffer, bodyStart, std::min(readNul, buffer.size), boundary);
  }
  // A nested multipart that reused the boundary closed there: the same boundary goes on behind
  // its closing line, and the mail's own closing line comes later.
  constexpr std::size_t kLookBehindClosing = 512;
  while (closing) {
    const std::size_t behind = *closing - bodyStart + boundary.size() + 5;
    const std::size_t next = BoundaryLineBehindClosing(
        body.substr(0, std::min(body.size(), behind + kLookBehindClosing)), boundary, behind);
    if (next == std::string_view::npos) break;
    const std::optional<std::size_t> later =
        search.closings.Find(buffer, bodyStart + next, std::min(readNul, buffer.size), boundary);
    if (!later) break;
    closing = later;
  }
  const std::size_t nul = readNul < buffer.size ? readNul - bodyStart : std::string_view::npos;
  // Cut short: a NUL close behind ends it (zeroed slack); otherwise no end is known.
  if (!closing)
    return nul != std::string_view::npos && nul < kShapeLookAhead ? buffer.base + bodyStart + nul
                                                                  : 0;
  const std::size_t at = *closing - bodyStart + boundary.size() + 5;  // behind "\n--boundary--"
  const std::size_t lineEnd = body.find('\n', at);
  return buffer.base + bodyStart + (lineEnd == std::string_view::npos ? at : lineEnd + 1);
}

// Follows the mail's body from the end of its header block: collects its text and parts, and
// finds where it ends (a NUL, the closing boundary, binary bytes, an mbox separator, `limit`).
void FollowBody(CarveBuffer buffer, ShapeCandidate& candidate, std::size_t headerEnd,
                bool endsWithoutEmptyLine, std::size_t limit, int ansiCodePage) {
  auto record = std::make_shared<MailRecord>();
  record->contentType = candidate.headers.contentType;
  record->boundary = candidate.headers.boundary;
  record->transferEncoding = candidate.headers.transferEncoding;
  BodySteps steps(record, HeaderEnd::EmptyLine, ansiCodePage);
  // A line the loop below lets through because a NUL cuts it may still be binary bytes.
  steps.EndTextAtForeignLines();
  // An export that wrote CR LF through a layer that turns LF into CR LF leaves every line ending
  // in CR CR LF; the shape scan never runs with --strict, whose line ends stay exact.
  steps.TakeCrCrLfLineEnds();
  steps.RunRawPartsToBoundary();
  // A block whose last line was cut where its text stopped has no body: old bytes follow.
  if (!endsWithoutEmptyLine && headerEnd > 0 && headerEnd <= buffer.size &&
      buffer.data[headerEnd - 1] != '\n') {
    candidate.body = steps.TakeClosedBody();
    candidate.body.textEnd = buffer.base + headerEnd;
    return;
  }
  const std::size_t emptyLine =
      endsWithoutEmptyLine ? headerEnd : headerEnd - (candidate.lineFeedOnly ? 1 : 2);
  limit = std::min({limit, buffer.size, headerEnd + kMaxFollowedText});

  // Only a NUL, binary bytes or the closing boundary tell where the mail ends; the next mail's
  // start, and a mailbox separator (which may be quoted text), are for the re-reader to weigh.
  std::size_t position = emptyLine;
  std::size_t end = 0;
  bool previousEmpty = true;
  while (position < limit) {
    // Runs of lines that only add to the body go to the steps in one step: base64 lines of an
    // attachment, and plain lines of text (no boundary, no binary byte, none empty; a trace line
    // tells this following nothing). Behind an empty line the next line is read here, as it may
    // be a mailbox separator.
    if (position != emptyLine && (steps.AttachmentOpen() || !previousEmpty)) {
      const std::size_t next = steps.TakeLineRun(buffer, position, limit, false);
      if (next != position) {
        position = next;
        previousEmpty = false;
        if (position >= limit) break;
      }
    }
    const Line line = ReadLine(buffer, position);
    const std::string_view text = TextOf(buffer, line);
    if (position != emptyLine) {
      if (line.binary && steps.CollectingText() && !text.empty() &&
          std::memchr(text.data(), '\0', text.size()) == nullptr && !steps.AttachmentOpen() &&
          candidate.headers.boundary.empty()) {
        end = position;  // binary bytes: the text has stopped
        break;
      }
      if (previousEmpty && IsMboxSeparator(text) && line.complete && !steps.MultipartOpen()) break;
    }
    // The body steps read the line behind an empty line along with it, so a mailbox separator
    // there is looked for before they do.
    if (text.empty() && line.complete && position != emptyLine && !steps.MultipartOpen()) {
      const Line after = ReadLine(buffer, line.next);
      if (after.complete && IsMboxSeparator(TextOf(buffer, after))) break;
    }
    if (!steps.CollectingText()) break;  // behind the closing boundary: the re-reader's part
    std::size_t skip = 0;
    if (steps.AttachmentOpen() || !steps.ParsePartHeader(buffer, position, skip))
      steps.ParseBodyLine(buffer, position, skip);
    if (steps.HowEnded() != BodySteps::Ending::Open) {
      end = steps.EndIndex();
      break;
    }
    std::size_t resume = position + skip + 1;
    while (steps.ResumeAt() != 0) {
      // The line ran into sectors that could not be read: the mail goes on behind them.
      if (steps.ResumeAt() >= buffer.base + limit) break;
      resume = steps.ResumeBody(buffer, static_cast<std::size_t>(steps.ResumeAt() - buffer.base));
      resume = std::max<std::size_t>(resume, 1);
    }
    if (steps.ResumeAt() != 0) break;
    if (steps.HowEnded() != BodySteps::Ending::Open) {
      end = steps.EndIndex();
      break;
    }
    previousEmpty = text.empty();
    // Resume on the next line start at or behind where the steps stopped.
    const void* lf = resume <= limit && resume > 0
                         ? std::memchr(buffer.data + resume - 1, '\n', limit - resume + 1)
                         : nullptr;
    if (!lf) break;
    position = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - buffer.data) + 1;
  }
  candidate.body = steps.TakeClosedBody();
  candidate.body.textEnd = end > 0 ? buffer.base + end : 0;
}

std::size_t PadForReading(std::string& text) {
  const std::size_t length = text.size();
  text.append(kCarveLookAheadForStore, '\0');
  return length;
}

CarveBuffer TextBuffer(std::string& text) {
  return CarveBuffer{reinterpret_cast<std::uint8_t*>(text.data()), text.size(), 0};
}

void FollowStoreBody(const SourceBytesReader& read, ShapeCandidate& candidate, int ansiCodePage) {
  if (!candidate.bodyAwaited) return;
  candidate.bodyAwaited = false;
  StoreChainText chain =
      ReadStoreChain(read, candidate.storeBlock, kMaxShapeHeaderBlock + kShapeLookAhead / 2);
  const std::size_t textLength = PadForReading(chain.text);
  if (candidate.bodyStartInChain > textLength) return;  // the chain reads shorter now
  FollowBody(TextBuffer(chain.text), candidate, candidate.bodyStartInChain,
             candidate.endsWithoutEmptyLine, textLength, ansiCodePage);
  candidate.body.textEnd = 0;
}

std::uint64_t FollowReach(std::uint64_t headerEnd, std::uint64_t limit) {
  // The text is followed no further than kMaxFollowedText; a line read there runs on by at most
  // kMaxBodyLine, and the line behind an empty one by kMaxHeaderLine.
  static_assert(kMaxBodyLine + kMaxHeaderLine < kShapeLookAhead);
  // A raw part's boundary line is looked for up to kRawPartReach behind its first byte.
  static_assert(kMaxBodyLine + kRawPartReach < kShapeLookAhead);
  const std::uint64_t followed = headerEnd > UINT64_MAX - kMaxFollowedText
                                     ? limit
                                     : std::min(limit, headerEnd + kMaxFollowedText);
  return followed > UINT64_MAX - kShapeLookAhead ? UINT64_MAX : followed + kShapeLookAhead;
}

void FollowShapeBody(CarveBuffer buffer, ShapeCandidate& candidate, std::uint64_t limit,
                     int ansiCodePage) {
  if (candidate.start < buffer.base || candidate.headerEnd > buffer.base + buffer.size) return;
  const auto headerEnd = static_cast<std::size_t>(candidate.headerEnd - buffer.base);
  const std::size_t end =
      limit > buffer.base
          ? static_cast<std::size_t>(std::min<std::uint64_t>(limit - buffer.base, buffer.size))
          : buffer.size;
  FollowBody(buffer, candidate, headerEnd, candidate.endsWithoutEmptyLine, end, ansiCodePage);
}

}  // namespace quillon
