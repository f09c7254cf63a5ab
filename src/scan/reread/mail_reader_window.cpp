#include "scan/reread/mail_reader_window.h"

#include <algorithm>
#include <array>

#include "scan/lines/header_block_reader.h"
#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/line_scan.h"
#include "scan/lines/raw_part.h"
#include "scan/read/block_header.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

// Raw bytes a header decision looks at behind its offset k: k + 5 .. k + 15.
constexpr std::uint64_t kDecisionSpan = kBlockHeaderSize;
// The overwrite rule can blank this many compacted bytes in front of a header.
constexpr std::size_t kStrayBytes = 4;
// Raw bytes before the next offset the overwrite rule reads.
constexpr std::uint64_t kLookBehind = 4;
// Consumed raw bytes are dropped in steps of this size, not after every piece.
constexpr std::size_t kDropStep = 64 * 1024;

// Whether the block header at `k` leaves stray bytes in front of it (see the class comment).
template <typename ByteAt>
bool LeavesStrayBytes(std::uint64_t k, ByteAt byteAt) {
  return k > 4 && byteAt(k - 2) == byteAt(k + 14) && byteAt(k - 1) == byteAt(k + 15) &&
         byteAt(k - 4) != byteAt(k + 12);
}

template <typename ByteAt>
bool HasMarkAt(std::uint64_t k, ByteAt byteAt) {
  return byteAt(k + kBlockHeaderMarkOffset) == 0x02 &&
         byteAt(k + kBlockHeaderMarkOffset + 1) == 0 && byteAt(k + kBlockHeaderMarkOffset + 2) == 0;
}

void BlankStrayBytes(std::string& compacted) {
  const std::size_t count = std::min(kStrayBytes, compacted.size());
  std::memset(compacted.data() + compacted.size() - count, ' ', count);
}

bool IsStartLine(const HeaderLine& line) {
  return line.field && std::find(kMailStartFields.begin(), kMailStartFields.end(), *line.field) !=
                           kMailStartFields.end();
}

// The header values of the start being held, compared as the scan took them: the first
// non-empty value of each header counts, and a "Received: " line starts the comparison over,
// because the scan restarts its header block at every trace line.
struct HeldStart {
  void Take(std::size_t line) {
    held = true;
    ended = false;
    start = line;
    ForgetValues();
  }
  void ForgetValues() { fromSeen = toSeen = dateSeen = false; }

  bool held = false;
  bool ended = false;  // the start's header block has ended
  std::size_t start = 0;
  bool fromSeen = false;
  bool toSeen = false;
  bool dateSeen = false;
};

// False when the header line `line` carries a From, To or Date value that differs from the
// record's.
bool LineAgreesWithRecord(HeaderBlockReader& reader, const HeaderLine& line,
                          const MailRecord& record, HeldStart& held) {
  auto compare = [](std::string_view value, std::string_view expected, bool& seen) {
    if (seen || value.empty()) return true;  // the scan would still take a later line
    seen = true;
    return value == expected;
  };
  if (line.kind != HeaderLineKind::Field || !line.field) return true;
  std::size_t lineStart = line.line.begin;
  switch (*line.field) {
    case HeaderField::From:
      return compare(reader.ReadValue(lineStart, line).text, record.from, held.fromSeen);
    case HeaderField::To:
      return compare(reader.ReadValue(lineStart, line).text, record.to, held.toSeen);
    case HeaderField::Date: {
      std::string date = reader.ReadValue(lineStart, line).text;
      NormaliseDate(date);
      return compare(date, record.date, held.dateSeen);
    }
    default:
      return true;
  }
}

// One walk over the data, line by line: a mail's lines begin behind a CR LF. With a record, the
// start's header values must agree with it and its header block may also end at the record's
// boundary line.
TextSpan Search(std::string_view data, const MailRecord* record, RecordPlace place) {
  TextSpan extent;
  HeldStart held;
  const std::size_t size = data.size();
  const CarveBuffer buffer = BufferOf(data);
  HeaderBlockReader reader(buffer, kPlainWalkHeaderRules, size);
  const std::string_view boundary = record ? std::string_view(record->boundary) : "";
  std::size_t at = 0;
  const bool startsAtRecord = place.mailStartsThere && place.position < size;
  if (startsAtRecord) {
    held.Take(place.position);
    at = place.position;
  }
  while (at < size) {
    const Line previous = ReadLine(buffer, at, kLineEndRules);
    if (!previous.complete) break;
    at = previous.next;
    if (previous.lineFeedOnly || at >= size) continue;
    const HeaderLine line = reader.Look(at, boundary);
    if (!held.held) {
      if (IsStartLine(line)) held.Take(at);
      continue;
    }
    if (!held.ended) {
      bool agrees = true;
      if (record) {
        if (line.field == HeaderField::Received) held.ForgetValues();
        agrees = LineAgreesWithRecord(reader, line, *record, held);
      }
      if (agrees && (line.kind == HeaderLineKind::Empty || line.kind == HeaderLineKind::Boundary)) {
        held.ended = true;
        // A header block that lacks one of the three values is not the record's mail either:
        // the scan accepts a mail only once it has all three. Nor is one that ends before the
        // record's line.
        agrees = !record || ((held.fromSeen && held.toSeen && held.dateSeen) &&
                             (place.position == kUnknownPosition || at >= place.position));
      }
      if (!agrees) {
        if (startsAtRecord) return extent;
        held.held = false;
      }
      continue;
    }
    if (IsStartLine(line)) {
      extent.found = true;
      extent.endedByNextMail = true;
      extent.start = held.start;
      extent.end = previous.end;
      return extent;
    }
  }
  if (held.held && held.ended) {
    extent.found = true;
    extent.start = held.start;
    extent.end = size;
  } else {
    extent.startPending = held.held;
  }
  return extent;
}

}  // namespace

std::uint64_t WindowLength(const MailRecord& record) {
  std::uint64_t attachmentBytes = 0;
  for (const PartEntry& attachment : record.attachments) {
    if (attachment.size > 0)
      attachmentBytes = std::min<std::uint64_t>(
          attachmentBytes + static_cast<std::uint64_t>(attachment.size), kMaxRawBytes);
  }
  const std::uint64_t length = WholeSectors(2 * attachmentBytes + kBaseWindow);
  return std::min(length, WholeSectors(kMaxRawBytes));
}

void BlockHeaderCompactor::Append(const std::uint8_t* data, std::size_t size) {
  if (finished_ || size == 0) return;
  raw_.insert(raw_.end(), data, data + size);
  received_ += size;
  Walk(false);
}

void BlockHeaderCompactor::Finish() {
  if (finished_) return;
  Walk(true);
  finished_ = true;
  raw_.clear();
  raw_.shrink_to_fit();
}

std::string_view BlockHeaderCompactor::Settled() const {
  if (finished_) return compacted_;
  // A header still to come may blank the last few compacted bytes.
  return std::string_view(compacted_)
      .substr(0, compacted_.size() > kStrayBytes ? compacted_.size() - kStrayBytes : 0);
}

std::uint64_t BlockHeaderCompactor::CompactedOffset(std::uint64_t rawOffset) const {
  std::uint64_t offset = rawOffset;
  for (auto header = removed_.begin(); header != removed_.end() && *header < rawOffset; ++header)
    offset -= std::min<std::uint64_t>(kBlockHeaderSize, rawOffset - *header);
  return offset;
}

std::uint8_t BlockHeaderCompactor::RawAt(std::uint64_t offset) const {
  if (offset >= received_ || offset < rawBase_) return 0;
  return raw_[static_cast<std::size_t>(offset - rawBase_)];
}

void BlockHeaderCompactor::CopyRaw(std::uint64_t from, std::uint64_t to) {
  to = std::min(to, received_);
  if (from >= to) return;
  const auto* begin = raw_.data() + (from - rawBase_);
  compacted_.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(to - from));
}

void BlockHeaderCompactor::Walk(bool final) {
  auto byteAt = [this](std::uint64_t offset) { return RawAt(offset); };
  while (next_ < received_) {
    if (!final && next_ + kDecisionSpan > received_) break;
    if (removing_ && stopRequested_ && stopRequested_->load(std::memory_order_relaxed))
      removing_ = false;
    if (!removing_) {
      next_ = received_;
      break;
    }
    const std::uint64_t k = next_;
    if (!HasMarkAt(k, byteAt)) {
      next_ += 2;
      continue;
    }
    CopyRaw(copyFrom_, k);
    if (LeavesStrayBytes(k, byteAt)) BlankStrayBytes(compacted_);
    removed_.push_back(k);
    copyFrom_ = k + kBlockHeaderSize;
    // The offset right behind a header is not tested: the walk resumes two bytes later.
    next_ = k + kBlockHeaderSize + 2;
  }
  // Everything before the next offset to test is decided and can be handed on.
  const std::uint64_t decided = final ? received_ : std::min(next_, received_);
  if (copyFrom_ < decided) {
    CopyRaw(copyFrom_, decided);
    copyFrom_ = decided;
  }
  DropConsumedRaw();
}

void BlockHeaderCompactor::DropConsumedRaw() {
  const std::uint64_t needed = std::min(copyFrom_, next_ > kLookBehind ? next_ - kLookBehind : 0);
  if (needed <= rawBase_ || needed - rawBase_ < kDropStep) return;
  const std::uint64_t drop = std::min<std::uint64_t>(needed - rawBase_, raw_.size());
  raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(drop));
  rawBase_ += drop;
}

std::string CompactWindowOnce(std::string_view raw) {
  // The window is followed by zeros, as the read buffer is.
  std::vector<std::uint8_t> window(raw.begin(), raw.end());
  window.resize(raw.size() + kBlockHeaderSize, 0);
  auto byteAt = [&window](std::uint64_t offset) {
    return offset < window.size() ? window[static_cast<std::size_t>(offset)] : std::uint8_t{0};
  };
  std::string compacted;
  std::size_t copyFrom = 0;
  std::size_t k = 0;
  while (k < raw.size()) {
    if (!HasMarkAt(k, byteAt)) {
      k += 2;
      continue;
    }
    compacted.append(raw.substr(copyFrom, k - copyFrom));
    if (LeavesStrayBytes(k, byteAt)) BlankStrayBytes(compacted);
    copyFrom = k + kBlockHeaderSize;
    k += kBlockHeaderSize + 2;
  }
  if (copyFrom < raw.size()) compacted.append(raw.substr(copyFrom));
  return compacted;
}

TextSpan FindMatchedMail(std::string_view data, const MailRecord& record, RecordPlace place) {
  return Search(data, &record, place);
}

TextSpan FindFirstMail(std::string_view data, RecordPlace place) {
  // Only a mail that starts at the record's position is bound to it.
  if (!place.mailStartsThere) place = {};
  return Search(data, nullptr, place);
}

bool ExtentComplete(std::string_view data, const TextSpan& extent) {
  if (!extent.found) return false;
  if (extent.endedByNextMail) return true;
  const std::size_t start = std::min(extent.start, data.size());
  const std::size_t end = std::min(extent.end, data.size());
  return std::memchr(data.data() + start, '\0', end - start) != nullptr;
}

WindowSearch SearchWindow(std::string_view data, const MailRecord& record, RecordPlace place) {
  WindowSearch search;
  search.chosen = FindMatchedMail(data, record, place);
  if (!search.chosen.found) search.chosen = FindFirstMail(data, place);
  search.runsToEnd = search.chosen.found && !ExtentComplete(data, search.chosen);
  return search;
}

namespace {

// Bytes 0x01 to 0x07 as blanks.
std::string WithControlBytesBlanked(std::string_view text) {
  std::string clean(text);
  // Control bytes are rare in mail: eight bytes at a time are passed over when none is below 8.
  auto blank = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (static_cast<std::uint8_t>(clean[i]) < 8 && clean[i] != '\0') clean[i] = ' ';
  };
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(clean.data());
  std::size_t at = 0;
  for (; at + 8 <= clean.size(); at += 8)
    if (line_scan::HasByteBelow(line_scan::Load8(bytes + at), 8) != 0) blank(at, at + 8);
  blank(at, clean.size());
  return clean;
}

}  // namespace

std::string CleanMailText(std::string_view text) {
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
    text = text.substr(0, nul);
  return WithControlBytesBlanked(text);
}

std::string CleanKnownMailText(std::string_view text, std::size_t from) {
  from = std::min(from, text.size());
  const std::size_t nul = MailEndingNul(text.substr(from));
  return WithControlBytesBlanked(text.substr(0, nul == std::string_view::npos ? nul : from + nul));
}

}  // namespace quillon::mail_reader
