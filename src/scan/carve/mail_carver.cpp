#include "scan/carve/mail_carver.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "scan/carve/record_building.h"
#include "scan/read/block_header.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

namespace {

constexpr std::string_view kReceived = "Received: ";

bool StartsWithAt(CarveBuffer buffer, std::size_t position, std::string_view text) {
  return position + text.size() <= buffer.size &&
         StartsWithNoCase(
             std::string_view(reinterpret_cast<const char*>(buffer.data + position), text.size()),
             text);
}

}  // namespace

MailCarver::MailCarver(std::string sourceName, MailSink& sink, int ansiCodePage,
                       std::uint64_t startByte)
    : sourceName_(std::move(sourceName)),
      ansiCodePage_(ansiCodePage),
      sink_(sink),
      position_(startByte) {}

void MailCarver::StartMail(std::uint64_t lineStart) {
  pending_.Empty();
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
  }
  // With no mail followed, this trace line repeats the last one's: the container stays.
}

void MailCarver::AcceptPending(CarveBuffer buffer, std::size_t lineStart) {
  pending_.accepted = true;
  MailRecordPtr record =
      BuildRecord(std::move(pending_), sourceName_, FoundBy::Trace, ansiCodePage_);

  const bool atEmptyLine = lineStart + 1 < buffer.size && buffer.data[lineStart] == '\r' &&
                           buffer.data[lineStart + 1] == '\n';
  followed_.emplace(record, atEmptyLine ? HeaderEnd::EmptyLine : HeaderEnd::BoundaryLine,
                    ansiCodePage_);
  if (nextMailStart_) {
    followed_->EndTextAtForeignLines();
    followedUntil_ = nextMailStart_(record->StartByte());
  }
  if (const MailRecordPtr container = container_.lock()) {
    record->container = container.get();
    followed_->SetContainerBoundaries(containerBoundaries_);
  }
  pending_.Empty();
  sink_.Accept(record);
}

void MailCarver::Walk(CarveBuffer buffer, std::uint64_t walkEnd,
                      const std::atomic<bool>& stopRequested, const LineBreakMap* lineBreaks) {
  if (walkEnd <= buffer.base) return;
  const std::size_t end = static_cast<std::size_t>(walkEnd - buffer.base);
  std::size_t b = position_ > buffer.base ? static_cast<std::size_t>(position_ - buffer.base) : 0;
  std::size_t skip = 0;
  std::size_t searchEnd = 0;  // where the search for the next CR stops and the map is asked again
  // Header blocks found since the last call may begin inside the followed mail's reach.
  if (followed_ && nextMailStart_)
    followedUntil_ = nextMailStart_(followed_->Record()->StartByte());

  while (b < end) {
    if (stopRequested.load(std::memory_order_relaxed)) break;
    if (followed_ && followed_->ResumeAt() != 0) {
      // The followed mail ran into sectors that could not be read; it goes on behind them.
      const std::uint64_t resume = followed_->ResumeAt();
      if (resume >= buffer.base + end) {
        b = end;
        break;
      }
      b = std::max(
          b, followed_->ResumeBody(buffer, static_cast<std::size_t>(
                                               std::max(resume, buffer.base + b) - buffer.base)));
      continue;
    }
    if (b >= searchEnd) {
      searchEnd = end;
      if (lineBreaks && buffer.base + b >= movedUntil_) {
        // Outside a mail only a trace line matters. (Inside a stretch the map was asked for, every
        // byte is looked at, whatever the walk finds there.)
        const bool traceLinesOnly = !InMail();
        b = static_cast<std::size_t>(
            lineBreaks->NextPossible(buffer.base + b, walkEnd, traceLinesOnly) - buffer.base);
        if (b >= end) break;
        searchEnd = static_cast<std::size_t>(
            lineBreaks->PossibleRunEnd(buffer.base + b, walkEnd, traceLinesOnly) - buffer.base);
      } else if (lineBreaks) {
        searchEnd = static_cast<std::size_t>(std::min(walkEnd, movedUntil_) - buffer.base);
      }
    }
    // Only a CR LF can start a line, so jump from CR to CR; every other byte is a plain step.
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
    const std::uint64_t lineStart = buffer.base + p;

    if (StartsWithAt(buffer, p, kReceived)) {
      StartMail(lineStart);
      b = p + kReceived.size();
      continue;
    }

    if (pending_.inMail) {
      if (SectorOf(lineStart) > pending_.startSector + kMaxHeaderGapSectors) pending_.Empty();
      if (pending_.inMail && !pending_.accepted) {
        StripBlockHeader(buffer.data, buffer.size, buffer.base, p);
        if (ParseHeaderLine(buffer, p, pending_, skip) == HeaderLineResult::Accept)
          AcceptPending(buffer, p);
        NoteBytesMayHaveMoved(buffer.base + p + skip);
        if (skip != 0) {
          b = p + skip + 1;
          skip = 0;
          continue;
        }
      }
    }

    // A header block inside an open multipart is most likely an attached message.
    if (FollowingBody() && lineStart >= followedUntil_ && !followed_->MultipartOpen())
      followed_->EndText();
    if (FollowingBody()) {
      StripBlockHeader(buffer.data, buffer.size, buffer.base, p);
      NoteBytesMayHaveMoved(buffer.base + p);
      if (followed_->AttachmentOpen() || !followed_->ParsePartHeader(buffer, p, skip))
        followed_->ParseBodyLine(buffer, p, skip);
    }
    b = p + skip + 1;
    skip = 0;
  }
  position_ = buffer.base + b;
}

bool MailCarver::FollowingBody() const {
  return followed_ &&
         (followed_->CollectingText() || followed_->TextEmpty() || followed_->AttachmentOpen());
}

bool MailCarver::InMail() const {
  return pending_.inMail || FollowingBody();
}

void MailCarver::NoteBytesMayHaveMoved(std::uint64_t lastLineStart) {
  // A block header is looked for a span behind a line's start, and removed with the bytes
  // before it moved over it.
  movedUntil_ = std::max(movedUntil_, lastLineStart + kHeaderSearchSpan + kBlockHeaderSize + 4);
}

void MailCarver::Finish() {
  if (followed_) {
    followed_->CloseMailBody();
    followed_.reset();
  }
  pending_.Empty();
}

}  // namespace quillon
