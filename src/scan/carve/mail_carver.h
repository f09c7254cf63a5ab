// The mail carver: walks raw sector bytes, finds mails by their "Received: " trace line without
// any file-system or mail-store index, feeds their header lines to the header parser and the
// lines after the header block to the body steps of the mail being followed.
//
// The walk is a stream: its position, the pending header block and the followed mail carry over
// from one call to the next, so a mail is found exactly as if the source were one buffer, never
// lost or found twice at a chunk boundary.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "scan/body/body_steps.h"
#include "scan/carve/header_parser.h"
#include "scan/find/line_break_map.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/pending_mail.h"
#include "scan/lines/stepped_bytes.h"
#include "scan/mail_record.h"
#include "scan/read/block_header.h"

namespace quillon {

inline constexpr std::uint64_t kMaxHeaderGapSectors = 8;

// Receives each accepted mail, on the thread that walks.
class MailSink {
 public:
  virtual ~MailSink() = default;
  virtual void Accept(const MailRecordPtr& record) = 0;
};

class MailCarver {
 public:
  // `ansiCodePage`: the code page of the mails' 8-bit text without a charset.
  MailCarver(std::string sourceName, MailSink& sink, int ansiCodePage, std::uint64_t startByte = 0);

  // Walks from the carried position up to the absolute byte `walkEnd`. `buffer` holds the bytes
  // from absolute offset buffer.base on, and at least kCarveLookAhead readable bytes past
  // walkEnd (zero-padded at the end of the source); they are only read.
  // `lineBreaks`, where given, tells which sectors of the walk may hold a line break as the
  // source has them: the walk passes over the others (the mails it finds are the same).
  void Walk(CarveBuffer chunk, std::uint64_t walkEnd, const std::atomic<bool>& stopRequested,
            const LineBreakMap* lineBreaks = nullptr);

  // The source has ended or the scan stops: the followed mail's body is closed.
  void Finish();

  // Where the next header block begins behind an absolute byte (UINT64_MAX when none is known).
  using NextMailStart = std::function<std::uint64_t(std::uint64_t after)>;
  // Without --strict the shape scan knows, ahead of the walk, where header blocks begin: the text
  // of a followed mail ends at the next one (unless it lies in the mail's open multipart, as an
  // attached message does), and at bytes that are no text, as a mail found by its shape ends.
  void EndMailsAtNextBlocks(NextMailStart nextMailStart) {
    nextMailStart_ = std::move(nextMailStart);
  }

  std::uint64_t Position() const { return position_; }

  // Points between mails, where a walk begun anywhere may meet the walk begun at the source's
  // start (parallel/walk_ahead.h). `atTrace` is told the start of each trace line at which
  // nothing of the mails before it is carried on: no header block pending, no mail followed, no
  // multipart around it, no store block header being stepped over. From there on the walk
  // depends only on the bytes and on where header blocks are known to begin. When it returns
  // true, the walk ends there (behind the line's field name).
  using BetweenMails = std::function<bool(std::uint64_t traceLine)>;
  void WatchBetweenMails(BetweenMails atTrace) { betweenMails_ = std::move(atTrace); }
  // Goes on as `other`, a walk over the same bytes that met this one at a point between mails:
  // takes its position and everything it carries. `other` is left empty.
  void TakeWalkFrom(MailCarver& other);
  // Stands where `other` stands, carrying what it carries (the followed mail's steps copied:
  // both walks go on following the same record). For a walk that goes on from there apart.
  void CopyWalkFrom(const MailCarver& other);

  // Walks as Walk does, but stops at the line break before the first trace line it comes to:
  // returns true when it stopped there, where a later call goes on as if it had not stopped.
  // A walk that reads no header block then has found nothing: the mails it follows are still
  // open, and their bodies only carried on.
  bool WalkToTraceLine(CarveBuffer chunk, std::uint64_t walkEnd,
                       const std::atomic<bool>& stopRequested,
                       const LineBreakMap* lineBreaks = nullptr);
  // Whether the lines of a header block are being read: they go on in the next call.
  bool ReadingHeader() const { return pending_.inMail && !pending_.accepted; }

 private:
  void StartMail(std::uint64_t lineStart);
  void EmptyPending() {
    pending_.Empty();
    pendingEmpty_ = true;
  }
  void AcceptPending(CarveBuffer buffer, std::size_t lineStart);
  // Without --strict an empty line may also be CR CR LF (an export that wrote CR LF through a
  // layer that turns LF into CR LF): whether the line at `lineStart` is one, and what it tells
  // the header block being read.
  bool CrCrLfAt(CarveBuffer buffer, std::size_t lineStart) const {
    return IsCrCrLfAt(buffer, lineStart) && nextMailStart_ != nullptr;
  }
  HeaderLineResult CrCrLfEmptyLine() const;
  // Whether the followed mail's body still takes lines.
  bool FollowingBody() const;
  // Whether a header block is being read or a mail's body followed: then every line matters,
  // else only trace lines.
  bool InMail() const;
  // Whether nothing of the mails before the walk's position is carried on (see BetweenMails).
  bool CarriesNothing() const;
  // Steps over the block header the line at index `lineStart` runs into, if any; returns the
  // line's index in the walk's bytes.
  std::size_t StepOverBlockHeader(std::size_t lineStart);

  // Shared with every record the carver builds rather than copied into each.
  std::shared_ptr<const std::string> sourceName_;
  int ansiCodePage_;
  MailSink& sink_;
  std::uint64_t position_;
  // The chunk's bytes as the walk reads them, stepping over block headers.
  SteppedBytes bytes_;
  // Where the search for a block header a line runs into last saw no mark byte.
  MarkFreeBytes markFree_;
  PendingMail pending_;
  // No header value was gathered in pending_ since it was last emptied (where its block starts is
  // set anew by each trace line): the trace line behind a mail's body and the next trace line of
  // a block find it so, and emptying it anew costs as much as a record's strings.
  bool pendingEmpty_ = true;
  std::optional<BodySteps> followed_;
  NextMailStart nextMailStart_;
  std::uint64_t followedUntil_ = UINT64_MAX;  // where the next known mail begins
  // The walk ended the followed mail's text there: no later line adds to it.
  bool followedTextEnded_ = false;
  // The multipart mail whose part the walk is in, while its closing boundary has not been seen:
  // a mail found there is an attached message, part of that mail.
  std::weak_ptr<MailRecord> container_;
  std::vector<std::string> containerBoundaries_;
  BetweenMails betweenMails_;
  bool stopBeforeTraceLine_ = false;  // set for WalkToTraceLine
  bool stoppedBeforeTraceLine_ = false;
};

}  // namespace quillon
