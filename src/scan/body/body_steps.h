// The body steps: what the scan learns from the lines of a mail after its header block, while it
// follows that mail. They collect the mail's text part (text/plain preferred, text/html when
// there is none), follow its MIME structure across chunks, list its attachments with their
// sizes, and at the close decode the text and publish it to the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/mail_record.h"
#include "scan/read/block_header.h"
#include "scan/source_bytes.h"

namespace quillon {

// How the header block of the followed mail was completed.
enum class HeaderEnd { EmptyLine, BoundaryLine };

// Body lines longer than this are cut (the rest of the line is not text the walk sees).
inline constexpr std::size_t kMaxBodyLine = 32 * 1024;

class BodySteps {
 public:
  // `ansiCodePage`: the code page of 8-bit text without a charset.
  BodySteps(MailRecordPtr record, HeaderEnd headerEnd, int ansiCodePage);

  const MailRecordPtr& Record() const { return record_; }

  // The three states the walk asks about before it hands a line over.
  bool CollectingText() const { return phase_ != Phase::Finished; }
  bool TextEmpty() const { return plain_.text.empty() && html_.text.empty(); }
  bool AttachmentOpen() const {
    return phase_ == Phase::Body && part_.role == PartRole::Attachment;
  }

  // A boundary line or a line of part headers. True when the line was taken; then ParseBodyLine
  // is not called for it. Adds the bytes consumed less one to `skip`.
  bool ParsePartHeader(CarveBuffer buffer, std::size_t position, std::size_t& skip);
  // Any other line of the body.
  void ParseBodyLine(CarveBuffer buffer, std::size_t position, std::size_t& skip) {
    if (phase_ == Phase::Finished) return;
    const std::size_t resume = HandleLine(buffer, position, true);
    if (resume > position + 1) skip += resume - position - 1;
  }
  // While a base64 attachment is open: the lines from `position` (a line start) that hold
  // base64 characters only, ended before `limit`, taken in one step as ParseBodyLine would take
  // them one by one. Returns the start of the first line not taken (`position` when none was),
  // which goes to the steps as usual. Not for bytes the walk reads with block headers stepped
  // over. `markFree`, where the caller keeps one for these bytes, tells which bytes earlier
  // searches saw free of a block header's mark byte, and learns what this one sees.
  std::size_t TakeAttachmentLines(CarveBuffer buffer, std::size_t position, std::size_t limit,
                                  MarkFreeBytes* markFree = nullptr);
  // The same for the walk, which also hands over runs of plain lines of the body's text (none
  // that starts with "-", "R" or "r": a boundary or a trace line the walk must see itself), as
  // one append each, and those of an attachment that is not base64. A caller that looks for no
  // trace lines (the shape scan's following) passes `traceLinesMatter` false: then only a "-"
  // stops a run at its first byte.
  std::size_t TakeLineRun(CarveBuffer buffer, std::size_t position, std::size_t limit,
                          bool traceLinesMatter = true, MarkFreeBytes* markFree = nullptr);

  // The mail's text is complete: decode it by its transfer encoding, convert it by its charset
  // and publish the body to the record. Further calls do nothing.
  void CloseMailBody();
  // The same without publishing: the closed body, for a caller that hands it on itself.
  MailBody TakeClosedBody();

  // The text also ends, as the shape scan's following ends it, before a line with bytes that
  // are no text and before a mailbox separator behind an empty line (not inside a multipart or
  // an attachment): the bytes that follow a carved mail are seldom more of it.
  void EndTextAtForeignLines() { endAtForeignText_ = true; }
  // A line may also end in CR CR LF, as an export that wrote CR LF through a layer that turns LF
  // into CR LF leaves every line: a part's header block ends at such an empty line, not at the
  // next boundary, and the closing boundary line ends behind its LF.
  void TakeCrCrLfLineEnds() { crCrLfLineEnds_ = true; }
  // A part of a multipart sent as raw bytes ("Content-Transfer-Encoding: binary") runs on over
  // its NULs to its boundary line, where that comes within kRawPartReach (raw_part.h).
  void RunRawPartsToBoundary() { rawPartsToBoundary_ = true; }
  // The mail's text ends before the line at hand (the next mail begins there). Later lines are
  // still followed, so that a NUL still tells where the carved bytes end (the re-reader reads up
  // to there and weighs the rest itself), but they add nothing to the text.
  void EndText();

  // A line ran into sectors that could not be read: their zeros do not end the mail, which goes
  // on behind them, at this absolute byte. 0 when nothing is pending.
  std::uint64_t ResumeAt() const { return resumeAt_; }
  // Goes on at buffer index `position`, which is ResumeAt(): the rest of a line whose start was
  // not read, a line break, or a NUL that ends the mail. Returns the index where the walk goes on
  // looking for line breaks.
  std::size_t ResumeBody(CarveBuffer buffer, std::size_t position);

  // How the body came to an end, once CollectingText() is false: the outermost multipart's
  // closing boundary line, or a NUL. `EndIndex()` is the buffer index behind the closing line's
  // line end, or of the NUL.
  enum class Ending { Open, ClosingBoundary, Nul };

  // The mail being followed is itself a part of another (an attached message): the boundaries
  // open in that container, outermost first. The steps note when the container closes.
  void SetContainerBoundaries(std::vector<std::string> boundaries) {
    containerBoundaries_ = std::move(boundaries);
  }
  bool ContainerClosed() const { return containerClosed_; }
  // The boundaries a part of this mail would see open around it, outermost first.
  std::vector<std::string> EnclosingBoundaries() const;
  bool MultipartOpen() const { return !boundaries_.empty() && phase_ != Phase::Finished; }
  Ending HowEnded() const { return ending_; }
  std::size_t EndIndex() const { return endIndex_; }

 private:
  enum class Phase { HeaderEnd, Body, PartHeaders, Finished };
  enum class PartRole { Container, Plain, Html, Attachment, Ignored };

  struct TextPart {
    bool present = false;
    std::string text;
    std::string charset;
    std::string transferEncoding;
  };

  // Of a part's header lines only three fields tell the steps anything: those lines are kept
  // whole (name and all, unfolded), the others only counted, as the count caps what is read.
  struct PartHeaderLines {
    enum Kept { Type, Disposition, Encoding, None };
    std::string kept[None];
    std::size_t count = 0;
    Kept last = None;  // the line a folded line continues
    void Take(std::string_view line);
    void Clear() { *this = PartHeaderLines(); }
  };

  struct Part {
    PartHeaderLines headerLines;
    PartRole role = PartRole::Ignored;
    PartEntry entry;
    std::int64_t rawBytes = 0;
    std::int64_t base64Characters = 0;
    bool base64 = false;
    bool listed = false;
    // Absolute byte the body of a part of raw bytes begins at; 0 for any other part.
    std::uint64_t rawStart = 0;
  };

  // Handles one line; `lookAhead` allows reading the line behind an empty line, which the walk
  // never presents as a line start. Returns the index where the walk should resume.
  std::size_t HandleLine(CarveBuffer buffer, std::size_t position, bool lookAhead);
  // Most lines begin with no "--" or stand in no multipart: they are told without a call.
  bool HandleBoundaryLine(std::string_view line) {
    if (boundaries_.empty() || line.size() < 3 || line[0] != '-' || line[1] != '-') return false;
    return TakeBoundaryLine(line);
  }
  bool TakeBoundaryLine(std::string_view line);
  // Where the raw part at hand ends, for a line from `position` that ran into a NUL: the index of
  // the line break in front of its boundary line; npos when it is no raw part or that line does
  // not come within the reach.
  std::size_t RawPartEndIn(CarveBuffer buffer, std::size_t position) const;
  void BeginPartBody();
  void AppendBodyLine(std::string_view line);
  // Room for `more` bytes behind the text: it grows line by line, and a few kilobytes at first
  // spare it the smallest of its reallocations.
  static void MakeRoom(std::string& text, std::size_t more);
  void EndPart();
  TextPart* TextTarget();
  // Whether a line of text ends the mail's text. Inside a multipart the closing boundary tells,
  // and in an attachment any byte may stand: those lines are told without a call.
  bool ForeignLine(std::string_view text) const {
    if ((phase_ != Phase::Body && phase_ != Phase::HeaderEnd) || !boundaries_.empty() ||
        part_.role == PartRole::Attachment)
      return false;
    return ForeignTextLine(text);
  }
  bool ForeignTextLine(std::string_view text) const;
  // The text has ended and no line can open or close a part: a line adds nothing but its reach,
  // and only a NUL or unread bytes (no byte of a run) would end the mail.
  bool TextOver() const {
    return textEnded_ && phase_ == Phase::Body && boundaries_.empty() &&
           containerBoundaries_.empty() && part_.role != PartRole::Attachment;
  }

  MailRecordPtr record_;
  int ansiCodePage_;
  Phase phase_;
  std::vector<std::string> boundaries_;  // innermost last
  Part part_;
  TextPart plain_;
  TextPart html_;
  std::vector<PartEntry> parts_;
  bool closed_ = false;
  Ending ending_ = Ending::Open;
  std::size_t endIndex_ = 0;
  std::uint64_t endByte_ = 0;  // absolute position of endIndex_
  std::uint64_t resumeAt_ = 0;
  bool endAtForeignText_ = false;
  bool crCrLfLineEnds_ = false;
  bool rawPartsToBoundary_ = false;
  bool textEnded_ = false;
  bool previousEmpty_ = true;
  std::uint64_t followedEnd_ = 0;  // absolute byte behind the last line taken
  std::vector<std::string> containerBoundaries_;
  bool containerClosed_ = false;
};

}  // namespace quillon
