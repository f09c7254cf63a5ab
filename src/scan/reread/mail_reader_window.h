// The parts of reading a mail back that work on bytes already in memory: removing the mail-store
// block headers from the raw window, and finding the mail in what is left. Private to the
// re-reader; the tests and the fuzz target call them without a data source.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/lines/header_text.h"
#include "scan/mail_record.h"
#include "scan/source_position.h"

namespace quillon::mail_reader {

// The longest mail read back.
inline constexpr std::uint64_t kMaxMailBytes = 64ULL * 1024 * 1024;

inline constexpr std::uint32_t kReadBytes = 0x10000;
inline constexpr std::uint64_t kBaseWindow = 0x80000;
// The window starts this many sectors before the mail's start, so that the lines in front of
// its first trace line (a Return-Path, a Delivered-To) are read too.
inline constexpr std::uint64_t kLeadSectors = 2;
// Raw bytes read for one mail at most: the longest mail kept plus the lead-in.
inline constexpr std::uint64_t kMaxRawBytes = kMaxMailBytes + kLeadSectors * kSectorSize;

// The bytes read first: ((2 * A + 512 KiB) / 512) * 512 with A the sum of the attachment sizes
// the header block states. Attachments are sent base64-encoded, a third larger than their
// sizes, after the header and the text, so one pass covers the whole mail; at most kMaxRawBytes.
std::uint64_t WindowLength(const MailRecord& record);

// Removes the 16-byte block headers (mark 02 00 00 at offset 5) found at even offsets of the raw
// window, the bytes arriving in pieces as they are read. The result is the same however the
// input is split: a decision waits until the 16 bytes of a possible header have arrived.
//
// When the two bytes before a header equal its last two bytes and the fourth byte before it
// differs from its byte 12, the header interrupted a line in a way that leaves 4 stray bytes in
// front of it; those are overwritten with blanks.
class BlockHeaderCompactor {
 public:
  // Once `stopRequested` is set no further header is removed; the rest is kept as it came.
  explicit BlockHeaderCompactor(const std::atomic<bool>* stopRequested = nullptr)
      : stopRequested_(stopRequested) {}

  void Append(const std::uint8_t* data, std::size_t size);
  // No more raw bytes: the undecided tail is decided as if zeros followed.
  void Finish();

  // The compacted bytes that no later input can change (all of them once finished).
  std::string_view Settled() const;
  bool Finished() const { return finished_; }
  // Where the raw byte at `rawOffset` (one that has arrived) lies in the compacted bytes; an
  // offset inside a removed header, where the header was.
  std::uint64_t CompactedOffset(std::uint64_t rawOffset) const;
  std::uint64_t RawSize() const { return received_; }
  // Raw offsets of the headers removed so far, ascending; each took kBlockHeaderSize bytes.
  const std::vector<std::uint64_t>& RemovedHeaders() const { return removed_; }

 private:
  void Walk(bool final);
  std::uint8_t RawAt(std::uint64_t offset) const;
  void CopyRaw(std::uint64_t from, std::uint64_t to);
  void DropConsumedRaw();

  const std::atomic<bool>* stopRequested_;
  std::vector<std::uint8_t> raw_;  // raw bytes from rawBase_ on
  std::uint64_t rawBase_ = 0;
  std::uint64_t received_ = 0;
  std::uint64_t next_ = 0;      // next even offset to test
  std::uint64_t copyFrom_ = 0;  // first raw byte not yet copied
  std::string compacted_;
  std::vector<std::uint64_t> removed_;  // raw offsets of the removed headers, ascending
  bool removing_ = true;
  bool finished_ = false;
};

// The same compaction over a whole window in one pass, as a plain reference for the streaming
// form (tests and fuzzing compare the two).
std::string CompactWindowOnce(std::string_view raw);

// Where a search found a mail in the compacted window: the text from `start` up to `end`.
struct TextSpan {
  bool found = false;            // a start was held and its header block ended
  bool startPending = false;     // not found: a start was held whose headers had not ended
  bool endedByNextMail = false;  // `end` is the CR LF before the next mail's first line
  std::size_t start = 0;
  std::size_t end = 0;  // the data's size when the mail runs to the end of the data
};

inline constexpr std::size_t kUnknownPosition = static_cast<std::size_t>(-1);

// Where the record lies in the data, when known: its recorded line, and whether that line is the
// mail's first line (a mail found by the shape of its header block, whose first line need not
// be a start line nor follow a CR LF).
struct RecordPlace {
  std::size_t position = kUnknownPosition;
  bool mailStartsThere = false;
};

// The matched search: a start line ("Received: ", "Delivered-To: ", "Return-Path: " after a
// CR LF) whose header block carries the record's From, To and Date values and, when the
// record's position is known, reaches that line: a mail with the same values that ends before
// it is another copy or another mail of the same sender. A mail that starts at the record's
// position is taken from there or not at all.
TextSpan FindMatchedMail(std::string_view data, const MailRecord& record, RecordPlace place = {});
// The plain search: the first mail that begins in the data (or at the record's position),
// whatever its values.
TextSpan FindFirstMail(std::string_view data, RecordPlace place = {});

// Both searches over one window: the matched result when there is one, else the plain one.
struct WindowSearch {
  TextSpan chosen;
  // The chosen mail runs to the end of the data without a NUL: more data may continue it.
  bool runsToEnd = false;
};
WindowSearch SearchWindow(std::string_view data, const MailRecord& record, RecordPlace place = {});

// True when `extent` is found and its text is complete within `data`: it ended at the next
// mail's first line, or a NUL byte cuts it before its end.
bool ExtentComplete(std::string_view data, const TextSpan& extent);

// The mail's text as handed out: cut at its first NUL byte, bytes 0x01 to 0x07 as blanks.
std::string CleanMailText(std::string_view text);
// The text of a mail whose extent the scan knew, as handed out: as CleanMailText, but a stray
// NUL inside a line of the mail's text (IsStrayNul: a raw byte a mail program let into a field
// or a body line) stays, as do the NULs of a part of raw bytes (raw_part.h), and the text is cut
// at the first NUL that is none, from `from` on (behind NULs told to be a damaged spot).
std::string CleanKnownMailText(std::string_view text, std::size_t from = 0);

}  // namespace quillon::mail_reader
