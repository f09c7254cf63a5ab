#include "scan/mail_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "scan/read/block_header.h"
#include "scan/reread/mail_extent_reader.h"
#include "scan/reread/mail_reader_source.h"
#include "scan/reread/mail_reader_window.h"

namespace quillon {

namespace {

using mail_reader::BlockHeaderCompactor;

using mail_reader::kLeadSectors;
using mail_reader::kMaxRawBytes;
using mail_reader::kReadBytes;

// The first look for the mail's end: most mails are a few KiB long, and every byte read is also
// walked for block headers and copied, so the first try reads no more than a long mail needs.
constexpr std::uint64_t kFirstTryBytes = 16 * 1024;

bool StopRequested(const std::atomic<bool>* stopRequested) {
  return stopRequested && stopRequested->load(std::memory_order_relaxed);
}

// Reads the source from the window's first sector on, 64 KiB at a time, into the compactor.
class WindowReader {
 public:
  WindowReader(mail_reader::RescuedSource& source, std::uint64_t firstSector,
               BlockHeaderCompactor& compactor)
      : source_(source), sector_(firstSector), compactor_(compactor), buffer_(kReadBytes) {}

  // Reads `count` more bytes (a multiple of 512). A failed read is retried sector by sector;
  // what still cannot be read is noted by the source. Reading stops at the end of the source:
  // the zeros that would follow could not change the mail.
  void Read(std::uint64_t count, const std::atomic<bool>* stopRequested) {
    while (count > 0 && SourceHasMore() && !StopRequested(stopRequested)) {
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, kReadBytes));
      source_.Read(sector_ * kSectorSize, n, buffer_.data());
      compactor_.Append(buffer_.data(), n);
      sector_ += n / kSectorSize;
      done_ += n;
      count -= n;
    }
  }

  std::uint64_t Done() const { return done_; }
  bool SourceHasMore() const { return sector_ < source_.Source().TotalSectors(); }

 private:
  mail_reader::RescuedSource& source_;
  std::uint64_t sector_;
  BlockHeaderCompactor& compactor_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t done_ = 0;
};

// The raw stretches (window offsets) that the compacted bytes [start, start + length) were taken
// from: the raw bytes between the removed block headers.
std::vector<TextPiece> RawPieces(const BlockHeaderCompactor& compactor, std::uint64_t start,
                                 std::uint64_t length, std::uint64_t windowStart) {
  const std::vector<std::uint64_t>& headers = compactor.RemovedHeaders();
  constexpr std::uint64_t kHeader = kBlockHeaderSize;
  std::size_t next = 0;
  std::uint64_t raw = start;
  while (next < headers.size() && headers[next] <= raw) {
    raw += kHeader;
    ++next;
  }
  std::vector<TextPiece> pieces;
  for (std::uint64_t done = 0; done < length;) {
    const std::uint64_t room = next < headers.size() ? headers[next] - raw : length - done;
    const std::uint64_t take = std::min(room, length - done);
    if (take > 0) pieces.push_back({done, windowStart + raw, take});
    done += take;
    raw += take;
    while (next < headers.size() && headers[next] == raw) {
      raw += kHeader;
      ++next;
    }
  }
  return pieces;
}

void ReadFromSource(const MailRecord& record, DataSource& source, std::string& output,
                    const std::atomic<bool>* stopRequested, bool zerosForUnreadable,
                    TextOrigin* origin) {
  const std::uint64_t first =
      record.startSector >= kLeadSectors ? record.startSector - kLeadSectors : 0;
  const std::uint64_t window = mail_reader::WindowLength(record);
  BlockHeaderCompactor compactor(stopRequested);
  mail_reader::RescuedSource rescued(source, stopRequested);
  WindowReader reader(rescued, first, compactor);
  // The mail text of [start, end) of the compacted bytes, with zeros where the source could not
  // be read (the save variant) or blanks (the preview).
  auto handOut = [&](std::string_view data, std::size_t start, std::size_t end) {
    output = mail_reader::CleanMailText(data.substr(start, end - start));
    if (!zerosForUnreadable) return;
    mail_reader::ByteSpans spans;
    const std::uint64_t windowStart = first * kSectorSize;
    for (const auto& [from, to] : rescued.Unreadable()) {
      const std::uint64_t compactedFrom = compactor.CompactedOffset(from - windowStart);
      const std::uint64_t compactedTo = compactor.CompactedOffset(to - windowStart);
      if (compactedTo <= start || compactedFrom >= end) continue;
      spans.emplace_back(std::max<std::uint64_t>(compactedFrom, start) - start,
                         std::min<std::uint64_t>(compactedTo, end) - start);
    }
    mail_reader::ZeroSpans(output, spans);
    if (!origin) return;
    origin->pieces = RawPieces(compactor, start, output.size(), first * kSectorSize);
    origin->unreadable.assign(spans.begin(), spans.end());
  };
  const std::uint64_t recordRaw = (record.startSector - first) * kSectorSize + record.sectorOffset;
  // The record's line in the compacted bytes; it lies in the first read. A mail found by the
  // shape of its header block starts there.
  auto recordPlace = [&] {
    mail_reader::RecordPlace place;
    const std::uint64_t position = compactor.CompactedOffset(recordRaw);
    if (position < compactor.Settled().size()) place.position = static_cast<std::size_t>(position);
    place.mailStartsThere = record.foundBy == FoundBy::Shape;
    return place;
  };

  // Most mails end in the first reads of the window: the matched search is tried on what has
  // arrived, at doubling sizes, and the window is read to its end only when it is needed. A mail
  // found and ended within the bytes read is the one the whole window would give.
  for (std::uint64_t tryAt = kFirstTryBytes;
       reader.Done() < window && reader.SourceHasMore() && !StopRequested(stopRequested);
       tryAt *= 2) {
    reader.Read(std::min(tryAt, window) - reader.Done(), stopRequested);
    if (reader.Done() >= window) break;
    const std::string_view settled = compactor.Settled();
    const mail_reader::TextSpan early =
        mail_reader::FindMatchedMail(settled, record, recordPlace());
    if (mail_reader::ExtentComplete(settled, early)) {
      handOut(settled, early.start, early.end);
      return;
    }
  }

  // A mail that runs to the end of what was read may go on: read on, each time as much again,
  // until it ends, the source ends or the cap is reached.
  for (;;) {
    const bool more = !StopRequested(stopRequested) && reader.SourceHasMore() &&
                      compactor.RawSize() < kMaxRawBytes;
    if (!more) compactor.Finish();
    const std::string_view data = compactor.Settled();
    const mail_reader::WindowSearch search = mail_reader::SearchWindow(data, record, recordPlace());
    if (!more || !search.runsToEnd) {
      if (search.chosen.found) {
        handOut(data, search.chosen.start, std::min(search.chosen.end, data.size()));
      }
      return;
    }
    const std::uint64_t step = std::min(std::max<std::uint64_t>(reader.Done(), kReadBytes),
                                        kMaxRawBytes - compactor.RawSize());
    reader.Read(step, stopRequested);
  }
}

bool ReadMail(const MailRecord& record, DataSource* source, std::string& output,
              const std::atomic<bool>* stopRequested, bool zerosForUnreadable,
              TextOrigin* origin = nullptr) {
  output.clear();
  if (origin) *origin = {};
  DataSource own;
  if (!source) {
    if (!own.Open(record.SourceName())) return false;
    source = &own;
  }
  try {
    // A mail the scan found without --strict knows where its text lies, from its first line on.
    if (mail_reader::HasKnownExtent(record))
      mail_reader::ReadKnownExtent(record, *source, output, stopRequested, zerosForUnreadable,
                                   origin);
    else
      ReadFromSource(record, *source, output, stopRequested, zerosForUnreadable, origin);
  } catch (const std::bad_alloc&) {
    // The buffers of a long mail could not be had: as if the mail could not be read.
    output.clear();
    output.shrink_to_fit();
    if (origin) *origin = {};
    return false;
  }
  return true;
}

}  // namespace

bool ReadMailText(const MailRecord& record, DataSource* source, std::string& output,
                  const std::atomic<bool>* stopRequested) {
  return ReadMail(record, source, output, stopRequested, true);
}

bool ReadMailText(const MailRecord& record, DataSource* source, std::string& output,
                  const std::atomic<bool>* stopRequested, TextOrigin& origin) {
  return ReadMail(record, source, output, stopRequested, true, &origin);
}

bool ReadMailTextForPreview(const MailRecord& record, std::string& output) {
  // What could not be read shows as blanks, so that the text behind it is shown too.
  return ReadMail(record, nullptr, output, nullptr, false);
}

}  // namespace quillon
