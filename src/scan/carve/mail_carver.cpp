#include "scan/carve/mail_carver.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "scan/carve/record_building.h"
#include "scan/find/read_ahead.h"
#include "scan/lines/header_fields.h"
#include "scan/read/block_header.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

namespace {

constexpr std::string_view kReceived = LinePrefix(HeaderField::Received);

bool StartsWithAt(const CarveBuffer& buffer, std::size_t position, std::string_view text) {
  // The first byte tells for nearly every line the walk meets.
  return position + text.size() <= buffer.size &&
         AsciiLower(buffer.data[position]) == AsciiLower(static_cast<unsigned char>(text[0])) &&
         StartsWithNoCase(
             std::string_view(reinterpret_cast<const char*>(buffer.data + position), text.size()),
             text);
}

}  // namespace

MailCarver::MailCarver(std::string sourceName, MailSink& sink, int ansiCodePage,
                       std::uint64_t startByte)
    : sourceName_(std::make_shared<const std::string>(std::move(sourceName))),
      ansiCodePage_(ansiCodePage),
      sink_(sink),
      position_(startByte) {}

void MailCarver::StartMail(std::uint64_t lineStart) {
  if (!pendingEmpty_) EmptyPending();
  pending_.inMail = true;
  const SectorPosition start = SectorPositionOf(lineStart);
  pending_.startSector = start.sector;
  pending_.sectorOffset = start.offset;
  if (followed_) {
    // Only the multipart being followed is known to be open here; whether an earlier container
    // still is, nothing tells.
    if (followed_->MultipartOpen()) {
      container_ = followed_->Record();
      containerBoundaries_ = followed_->EnclosingBoundaries();
    } else {
      container_.reset();
      containerBoundaries_.clear();
    }
    followed_->CloseMailBody();
    followed_.reset();
    followedTextEnded_ = false;
  }
  // With no mail followed, this trace line repeats the last one's: the container stays.
}

void MailCarver::AcceptPending(CarveBuffer buffer, std::size_t lineStart) {
  pending_.accepted = true;
  MailRecordPtr record =
      BuildRecord(std::move(pending_), sourceName_, FoundBy::Trace, ansiCodePage_);

  const bool atEmptyLine = IsCrLfAt(buffer, lineStart) || CrCrLfAt(buffer, lineStart);
  followed_.emplace(record, atEmptyLine ? HeaderEnd::EmptyLine : HeaderEnd::BoundaryLine,
                    ansiCodePage_);
  followedTextEnded_ = false;
  if (nextMailStart_) {
    followed_->TakeCrCrLfLineEnds();
    followed_->EndTextAtForeignLines();
    followed_->RunRawPartsToBoundary();
    followedUntil_ = nextMailStart_(record->StartByte());
  }
  if (const MailRecordPtr container = container_.lock()) {
    record->container = container.get();
    followed_->SetContainerBoundaries(containerBoundaries_);
  }
  EmptyPending();
  sink_.Accept(record);
}

std::size_t MailCarver::StepOverBlockHeader(std::size_t lineStart) {
  const CarveBuffer buffer = bytes_.Bytes();
  // What the last line's search saw free of the mark byte holds for the chunk's own bytes; a
  // copy read over a stepped header may lie in the same memory another time with other bytes.
  const bool ownBytes = !bytes_.Stepping() && buffer.pieces == nullptr;
  const std::size_t header =
      ownBytes
          ? FindBlockHeaderAhead(buffer.data, buffer.size, lineStart, buffer.PositionOf(lineStart),
                                 markFree_)
          : FindBlockHeaderAhead(buffer.data, buffer.size, lineStart, buffer.PositionOf(lineStart));
  return header == kNoBlockHeader ? lineStart : bytes_.StepOver(lineStart, header);
}

void MailCarver::Walk(CarveBuffer chunk, std::uint64_t walkEnd,
                      const std::atomic<bool>& stopRequested, const LineBreakMap* lineBreaks) {
  if (walkEnd <= chunk.base) return;
  bytes_.Attach(chunk, std::max(position_, chunk.base));
  markFree_ = {};  // another chunk's bytes may have lain where this one's lie
  CarveBuffer buffer;
  std::size_t end = 0;
  std::size_t searchEnd = 0;  // where the search for the next CR stops and the map is asked again
  // After the walk steps over a block header it reads a copy of the bytes, whose indices are not
  // the chunk's: the end is taken anew, and the line break map, made for the chunk, rests.
  auto takeBytes = [&](bool changed) {
    changed = changed || buffer.pieces != nullptr || bytes_.Stepping();
    buffer = bytes_.Bytes();
    if (!changed) return;
    // A copy ends where reads from it end; the byte behind a CR is always one of its own.
    end = bytes_.Stepping() ? std::min(bytes_.IndexOf(walkEnd), buffer.size - 1)
                            : static_cast<std::size_t>(walkEnd - buffer.base);
    searchEnd = 0;
  };
  takeBytes(true);
  std::size_t b = bytes_.IndexOf(position_);
  std::size_t skip = 0;
  // Header blocks found since the last call may begin inside the followed mail's reach.
  if (followed_ && nextMailStart_)
    followedUntil_ = nextMailStart_(followed_->Record()->StartByte());

  while (true) {
    if (bytes_.Stepping()) {
      // Behind the last header stepped over, the chunk's bytes serve again.
      b = bytes_.Seek(buffer.PositionOf(b));
      if (!bytes_.Stepping()) takeBytes(true);
    }
    if (b >= end) break;
    if (stopRequested.load(std::memory_order_relaxed)) break;
    if (followed_ && followed_->ResumeAt() != 0) {
      // The followed mail ran into sectors that could not be read; it goes on behind them.
      const std::uint64_t resume = followed_->ResumeAt();
      if (resume >= walkEnd) {
        b = end;
        break;
      }
      b = bytes_.Seek(std::max(resume, buffer.PositionOf(b)));
      takeBytes(false);
      b = std::max(b, followed_->ResumeBody(buffer, b));
      continue;
    }
    if (b >= searchEnd) {
      searchEnd = end;
      if (lineBreaks && !bytes_.Stepping()) {
        // Outside a mail only a trace line matters. (Inside a stretch the map was asked for, every
        // byte is looked at, whatever the walk finds there.)
        const bool traceLinesOnly = !InMail();
        b = static_cast<std::size_t>(
            lineBreaks->NextPossible(buffer.base + b, walkEnd, traceLinesOnly) - buffer.base);
        if (b >= end) break;
        searchEnd = static_cast<std::size_t>(
            lineBreaks->PossibleRunEnd(buffer.base + b, walkEnd, traceLinesOnly) - buffer.base);
      }
    }
    // Only a CR LF can start a line, so jump from CR to CR; every other byte is a plain step.
    // The walk goes on through the bytes ahead: ask for them while these are looked at.
    __builtin_prefetch(buffer.data + b + kReadAheadBytes);
    const void* cr = std::memchr(buffer.data + b, '\r', searchEnd - b);
    if (!cr) {
      b = searchEnd;
      continue;
    }
    b = static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - buffer.data);
    if (buffer.data[b + 1] != '\n') {
      ++b;
      continue;
    }
    std::size_t p = b + 2;
    if (FollowingBody() && !bytes_.Stepping() && !buffer.pieces) {
      // Runs of lines that only add to the body go in one step (none across where the text ends
      // at the next header block, whose line the walk must see; behind it the runs only carry the
      // body's reach on); the walk goes on at the first line the steps did not take, as at any
      // other.
      std::size_t limit = end;
      if (!followed_->MultipartOpen() && !followedTextEnded_)
        limit = static_cast<std::size_t>(
            std::clamp<std::uint64_t>(followedUntil_, buffer.base, buffer.base + end) -
            buffer.base);
      const std::size_t taken = followed_->TakeLineRun(buffer, p, limit, true, &markFree_);
      if (taken != p) {
        b = taken - 2;
        continue;
      }
    }
    const std::uint64_t lineStart = buffer.PositionOf(p);

    if (StartsWithAt(buffer, p, kReceived)) {
      if (stopBeforeTraceLine_) {
        // Over the bytes as the chunk has them, the next call finds this line break again.
        stoppedBeforeTraceLine_ = !bytes_.Stepping() && buffer.pieces == nullptr;
        break;
      }
      StartMail(lineStart);
      b = p + kReceived.size();
      if (betweenMails_ && CarriesNothing() && betweenMails_(lineStart)) break;
      continue;
    }

    if (pending_.inMail) {
      if (SectorOf(lineStart) > pending_.startSector + kMaxHeaderGapSectors) EmptyPending();
      if (pending_.inMail && !pending_.accepted) {
        p = StepOverBlockHeader(p);
        HeaderLineResult read = ParseHeaderLine(bytes_, p, pending_, skip);
        takeBytes(false);
        if (read == HeaderLineResult::Nothing && buffer.data[p] == '\r' && CrCrLfAt(buffer, p))
          read = CrCrLfEmptyLine();
        // An attachment line gathers a value and tells nothing.
        if (read != HeaderLineResult::Nothing || !pending_.attachments.empty())
          pendingEmpty_ = false;
        if (read == HeaderLineResult::Accept) AcceptPending(buffer, p);
        if (skip != 0) {
          b = p + skip + 1;
          skip = 0;
          continue;
        }
      }
    }

    // A header block inside an open multipart is most likely an attached message.
    if (FollowingBody() && lineStart >= followedUntil_ && !followed_->MultipartOpen()) {
      followed_->EndText();
      followedTextEnded_ = true;
    }
    if (FollowingBody()) {
      p = StepOverBlockHeader(p);
      takeBytes(false);
      if (followed_->AttachmentOpen() || !followed_->ParsePartHeader(buffer, p, skip))
        followed_->ParseBodyLine(buffer, p, skip);
    }
    b = p + skip + 1;
    skip = 0;
  }
  position_ = buffer.PositionOf(b);
}

HeaderLineResult MailCarver::CrCrLfEmptyLine() const {
  return pending_.HasRequiredHeaders() ? HeaderLineResult::Accept : HeaderLineResult::Nothing;
}

bool MailCarver::FollowingBody() const {
  return followed_ &&
         (followed_->CollectingText() || followed_->TextEmpty() || followed_->AttachmentOpen());
}

bool MailCarver::InMail() const {
  return pending_.inMail || FollowingBody();
}

bool MailCarver::CarriesNothing() const {
  return !followed_ && !pending_.accepted && container_.expired() && !bytes_.Stepping();
}

void MailCarver::TakeWalkFrom(MailCarver& other) {
  position_ = other.position_;
  bytes_ = std::move(other.bytes_);
  pending_ = std::move(other.pending_);
  pendingEmpty_ = other.pendingEmpty_;
  followed_ = std::move(other.followed_);
  followedUntil_ = other.followedUntil_;
  followedTextEnded_ = other.followedTextEnded_;
  container_ = std::move(other.container_);
  containerBoundaries_ = std::move(other.containerBoundaries_);
  other.bytes_ = SteppedBytes();
  other.EmptyPending();
  other.followed_.reset();
  other.container_.reset();
  other.containerBoundaries_.clear();
}

void MailCarver::CopyWalkFrom(const MailCarver& other) {
  position_ = other.position_;
  bytes_ = other.bytes_;
  pending_ = other.pending_;
  pendingEmpty_ = other.pendingEmpty_;
  followed_ = other.followed_;
  followedUntil_ = other.followedUntil_;
  followedTextEnded_ = other.followedTextEnded_;
  container_ = other.container_;
  containerBoundaries_ = other.containerBoundaries_;
}

bool MailCarver::WalkToTraceLine(CarveBuffer chunk, std::uint64_t walkEnd,
                                 const std::atomic<bool>& stopRequested,
                                 const LineBreakMap* lineBreaks) {
  stopBeforeTraceLine_ = true;
  stoppedBeforeTraceLine_ = false;
  Walk(chunk, walkEnd, stopRequested, lineBreaks);
  stopBeforeTraceLine_ = false;
  return stoppedBeforeTraceLine_;
}

void MailCarver::Finish() {
  if (followed_) {
    followed_->CloseMailBody();
    followed_.reset();
    followedTextEnded_ = false;
  }
  EmptyPending();
}

}  // namespace quillon
