#include "scan/body/body_steps.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "scan/find/base64_characters.h"
#include "scan/html_text.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/line_scan.h"
#include "scan/lines/mime_header.h"
#include "scan/lines/raw_part.h"
#include "scan/read/block_header.h"
#include "scan/read/unreadable_sectors.h"
#include "text/ascii.h"
#include "text/base64.h"
#include "text/quoted_printable.h"

namespace quillon {

namespace {

constexpr std::size_t kMaxPartHeaderLines = 64;
constexpr std::size_t kMaxPartHeaderLine = 2048;

struct BodyLine {
  std::string_view text;
  bool endsAtNul = false;
  // The line runs into sectors that could not be read, up to this absolute byte; 0 when not.
  std::uint64_t unreadableUntil = 0;
};

BodyLine ReadBodyLine(CarveBuffer buffer, std::size_t position) {
  BodyLine line;
  if (position >= buffer.size) return line;
  const std::size_t limit = std::min(buffer.size - position, kMaxBodyLine);
  const auto* begin = reinterpret_cast<const char*>(buffer.data + position);
  const std::size_t length = FindLineEndOrNul(buffer.data + position, limit);
  if (length < limit && begin[length] == '\0') {
    line.unreadableUntil = UnreadableUntil(buffer, position + length);
    // A NUL inside a mail-store block header that the line was too long to step over does not
    // end the mail.
    line.endsAtNul =
        line.unreadableUntil == 0 && !InsideBlockHeader(buffer.data, buffer.size, position + length,
                                                        buffer.PositionOf(position + length));
  }
  line.text = std::string_view(begin, length);
  return line;
}

// Bytes of the line end at `position` when the line there is empty: CR LF, or a bare LF in mail
// with Unix line ends, and where `crCrLf` CR CR LF too; 0 when the line is not empty.
std::size_t EmptyLineLength(CarveBuffer buffer, std::size_t position, bool crCrLf) {
  if (position < buffer.size && buffer.data[position] == '\n') return 1;
  if (IsCrLfAt(buffer, position)) return 2;
  return crCrLf && IsCrCrLfAt(buffer, position) ? 3 : 0;
}

}  // namespace

BodySteps::BodySteps(MailRecordPtr record, HeaderEnd headerEnd, int ansiCodePage)
    : record_(std::move(record)), ansiCodePage_(ansiCodePage) {
  if (!record_->boundary.empty()) {
    boundaries_.push_back(record_->boundary.String());
    part_.role = PartRole::Ignored;  // the preamble
  } else {
    // Only a mail of one part reads its type here: a multipart's parts tell their own.
    const MimeHeaderValue contentType = ParseMimeHeaderValue(record_->contentType);
    TextPart& text = contentType.token == "text/html" ? html_ : plain_;
    part_.role = &text == &html_ ? PartRole::Html : PartRole::Plain;
    text.present = true;
    if (const MimeParameter* charset = contentType.Find("charset")) text.charset = charset->value;
    text.transferEncoding = AsciiLowered(TrimWhiteSpace(record_->transferEncoding));
  }
  phase_ = headerEnd == HeaderEnd::EmptyLine ? Phase::HeaderEnd : Phase::PartHeaders;
}

std::vector<std::string> BodySteps::EnclosingBoundaries() const {
  std::vector<std::string> all = containerBoundaries_;
  if (phase_ != Phase::Finished) all.insert(all.end(), boundaries_.begin(), boundaries_.end());
  return all;
}

bool BodySteps::ParsePartHeader(CarveBuffer buffer, std::size_t position, std::size_t& skip) {
  if (phase_ == Phase::Finished) return true;
  bool take = phase_ == Phase::HeaderEnd || phase_ == Phase::PartHeaders;
  // Only a boundary line leads to part headers.
  if (!take) {
    take = position + 1 < buffer.size && buffer.data[position] == '-' &&
           buffer.data[position + 1] == '-';
  }
  if (!take) return false;
  const std::size_t resume = HandleLine(buffer, position, true);
  if (resume > position + 1) skip += resume - position - 1;
  return true;
}

std::size_t BodySteps::HandleLine(CarveBuffer buffer, std::size_t position, bool lookAhead) {
  const BodyLine line = ReadBodyLine(buffer, position);
  const std::size_t lineEnd = position + line.text.size();
  if (phase_ == Phase::Finished) return lineEnd;
  const std::size_t emptyLength =
      line.text.empty() ? EmptyLineLength(buffer, position, crCrLfLineEnds_) : 0;
  const bool empty = emptyLength > 0;
  if (endAtForeignText_ && !textEnded_ && ForeignLine(line.text)) EndText();
  followedEnd_ = std::max(followedEnd_, buffer.PositionOf(lineEnd));

  if (!containerBoundaries_.empty() && line.text.size() > 2 &&
      BoundaryLineOf(line.text, containerBoundaries_.front(), false) == BoundaryLine::Closing)
    containerClosed_ = true;
  switch (phase_) {
    case Phase::Finished:
      return lineEnd;
    case Phase::HeaderEnd:
      phase_ = Phase::Body;
      if (!empty) AppendBodyLine(line.text);
      break;
    case Phase::PartHeaders:
      if (empty) {
        BeginPartBody();
        if (part_.rawStart != 0) part_.rawStart = buffer.PositionOf(position + emptyLength);
      } else if (HandleBoundaryLine(line.text)) {
        // A part without headers or body: the next part starts at once.
      } else if (line.text.empty()) {
        // A line cut by a NUL or a bare LF: nothing to keep.
      } else {
        part_.headerLines.Take(line.text);
      }
      break;
    case Phase::Body:
      if (line.endsAtNul && part_.rawStart != 0) {
        // The part's bytes run on to its boundary line, which the walk reads next.
        if (const std::size_t rawEnd = RawPartEndIn(buffer, position);
            rawEnd != std::string_view::npos) {
          // All of the part's bytes, those of its lines too that the walk passed over, as a
          // CR not followed by a line feed ends a line there and the rest up to the next one
          // is read as no line.
          if (!textEnded_)
            part_.rawBytes =
                static_cast<std::int64_t>(buffer.PositionOf(rawEnd) - part_.rawStart) + 2;
          followedEnd_ = std::max(followedEnd_, buffer.PositionOf(rawEnd));
          previousEmpty_ = false;
          return rawEnd;
        }
      }
      if ((line.endsAtNul || line.unreadableUntil != 0) && line.text.empty()) break;
      // A raw part's size is told by where its lines stand: the walk reads only the lines behind
      // a CR LF, and its bytes may hold CRs and line feeds alone.
      if (part_.rawStart != 0 && !textEnded_)
        part_.rawBytes = static_cast<std::int64_t>(buffer.PositionOf(position) - part_.rawStart);
      if (!HandleBoundaryLine(line.text)) AppendBodyLine(line.text);
      break;
  }

  if (line.unreadableUntil != 0 && phase_ != Phase::Finished) {
    // Nothing is known of those bytes; the mail goes on behind them.
    resumeAt_ = line.unreadableUntil;
    followedEnd_ = std::max(followedEnd_, resumeAt_);
    return lineEnd;
  }
  if (line.endsAtNul) {
    // A NUL is where carved mail text stops: deleted mail is followed by zeroed slack.
    EndPart();
    if (phase_ != Phase::Finished) {
      ending_ = Ending::Nul;
      endIndex_ = lineEnd;
      endByte_ = buffer.PositionOf(endIndex_);
    }
    phase_ = Phase::Finished;
    return lineEnd;
  }
  if (phase_ == Phase::Finished && ending_ == Ending::Open) {
    ending_ = Ending::ClosingBoundary;
    endIndex_ = lineEnd;
    if (lineEnd < buffer.size && buffer.data[lineEnd] == '\r') ++endIndex_;
    if (crCrLfLineEnds_ && IsCrLfAt(buffer, endIndex_)) ++endIndex_;
    if (endIndex_ < buffer.size && buffer.data[endIndex_] == '\n') ++endIndex_;
    endByte_ = buffer.PositionOf(endIndex_);
  }
  previousEmpty_ = empty;
  // The walk never presents the line behind an empty line as a line start; read it here.
  if (empty && lookAhead && phase_ != Phase::Finished)
    return HandleLine(buffer, position + std::max<std::size_t>(emptyLength, 2), false);
  return lineEnd;
}

std::size_t BodySteps::RawPartEndIn(CarveBuffer buffer, std::size_t position) const {
  // A copy read over a stepped block header keeps no positions to measure the reach by.
  if (buffer.pieces || boundaries_.empty()) return std::string_view::npos;
  const std::uint64_t reachEnd = part_.rawStart + kRawPartReach;
  if (reachEnd <= buffer.base + position) return std::string_view::npos;
  const std::size_t until =
      static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size, reachEnd - buffer.base));
  const std::string_view bytes(reinterpret_cast<const char*>(buffer.data), until);
  return RawPartEnd(bytes, position, boundaries_.back());
}

bool BodySteps::ForeignTextLine(std::string_view text) const {
  if (previousEmpty_ && IsMboxSeparator(text)) return true;
  return HoldsNonTextByte(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void BodySteps::EndText() {
  textEnded_ = true;
}

std::size_t BodySteps::ResumeBody(CarveBuffer buffer, std::size_t position) {
  resumeAt_ = 0;
  if (phase_ == Phase::Finished || position >= buffer.size) return position;
  if (buffer.data[position] == '\r' || buffer.data[position] == '\n') {
    // The unread bytes ended a line: the walk reads the next one as usual.
    return position;
  }
  return HandleLine(buffer, position, true);
}

bool BodySteps::TakeBoundaryLine(std::string_view line) {
  for (std::size_t i = boundaries_.size(); i-- > 0;) {
    const BoundaryLine kind = BoundaryLineOf(line, boundaries_[i], true);
    if (kind == BoundaryLine::None) continue;
    const bool closing = kind == BoundaryLine::Closing;
    EndPart();
    if (closing) {
      boundaries_.resize(i);
      phase_ = boundaries_.empty() ? Phase::Finished : Phase::Body;
      part_.role = PartRole::Ignored;  // epilogue of the closed multipart
    } else {
      boundaries_.resize(i + 1);
      phase_ = Phase::PartHeaders;
    }
    return true;
  }
  return false;
}

void BodySteps::PartHeaderLines::Take(std::string_view line) {
  if ((line.front() == ' ' || line.front() == '\t') && count > 0) {
    if (last == None) return;
    std::string& folded = kept[last];
    if (folded.size() < kMaxPartHeaderLine) {
      folded += ' ';
      folded += TrimWhiteSpace(line);
    }
    return;
  }
  if (count == kMaxPartHeaderLines) return;  // a fold behind still continues the last kept
  ++count;
  // Every field kept begins alike: most other lines part from them at the first byte.
  constexpr std::string_view kContent = "content-";
  const std::string_view name = line.substr(std::min(line.size(), kContent.size()));
  last = !StartsWithNoCase(line, kContent)              ? None
         : StartsWithNoCase(name, "type:")              ? Type
         : StartsWithNoCase(name, "disposition:")       ? Disposition
         : StartsWithNoCase(name, "transfer-encoding:") ? Encoding
                                                        : None;
  if (last != None) kept[last].assign(line.substr(0, kMaxPartHeaderLine));
}

void BodySteps::BeginPartBody() {
  // The value behind the field's colon, of the last line that named the field.
  const auto valueOf = [this](PartHeaderLines::Kept field) {
    const std::string_view line = part_.headerLines.kept[field];
    return TrimWhiteSpace(line.substr(line.find(':') + 1));
  };
  MimeHeaderValue contentType;
  MimeHeaderValue disposition;
  std::string transferEncoding;
  if (!part_.headerLines.kept[PartHeaderLines::Type].empty())
    contentType = ParseMimeHeaderValue(valueOf(PartHeaderLines::Type));
  if (!part_.headerLines.kept[PartHeaderLines::Disposition].empty())
    disposition = ParseMimeHeaderValue(valueOf(PartHeaderLines::Disposition));
  if (!part_.headerLines.kept[PartHeaderLines::Encoding].empty())
    transferEncoding = AsciiLowered(valueOf(PartHeaderLines::Encoding));
  phase_ = Phase::Body;
  part_.headerLines.Clear();

  if (contentType.token.rfind("multipart/", 0) == 0) {
    // A container of the mail's own parts, never an attachment, even when its boundary cannot
    // be read.
    const MimeParameter* boundary = contentType.Find("boundary");
    if (boundary && !boundary->value.empty()) boundaries_.push_back(boundary->value);
    part_.role = PartRole::Container;
    return;
  }
  // Marked here; HandleLine, which knows where the body begins, sets the position.
  if (rawPartsToBoundary_ && NamesRawBytes(transferEncoding)) part_.rawStart = 1;
  std::string rawName;
  std::u16string decodedName;
  const bool named = PartFileName(disposition, contentType, ansiCodePage_, rawName, decodedName);
  // A part shown inline is the mail's text when it is the first of its kind, file name or not.
  const bool attached =
      disposition.token == "attachment" || (named && disposition.token != "inline");
  const std::string& type = contentType.token;
  const bool plain = type.empty() || type == "text/plain";
  if (!attached && plain && !plain_.present) {
    part_.role = PartRole::Plain;
  } else if (!attached && type == "text/html" && !html_.present) {
    part_.role = PartRole::Html;
  } else if (attached || named || (type.rfind("text/", 0) != 0 && !type.empty())) {
    part_.role = PartRole::Attachment;
    part_.entry.name = rawName;
    part_.entry.nameText = decodedName;
    part_.entry.contentType = type;
    part_.entry.transferEncoding = transferEncoding;
    part_.base64 = transferEncoding.find("base64") != std::string::npos;
    return;
  } else {
    part_.role = PartRole::Ignored;
    return;
  }
  TextPart& text = *TextTarget();
  text.present = true;
  if (const MimeParameter* charset = contentType.Find("charset")) text.charset = charset->value;
  text.transferEncoding = transferEncoding;
}

BodySteps::TextPart* BodySteps::TextTarget() {
  if (part_.role == PartRole::Plain) return &plain_;
  if (part_.role == PartRole::Html) return &html_;
  return nullptr;
}

void BodySteps::MakeRoom(std::string& text, std::size_t more) {
  constexpr std::size_t kFirstRoom = 4096;
  if (text.capacity() - text.size() >= more) return;
  const std::size_t wanted = std::max({text.size() + more, 2 * text.capacity(), kFirstRoom});
  // The text stops at kMaxBodyText, and a CR LF may stand behind that before it is cut.
  text.reserve(std::min(wanted, kMaxBodyText + 2));
}

void BodySteps::AppendBodyLine(std::string_view line) {
  if (textEnded_) return;
  part_.rawBytes += static_cast<std::int64_t>(line.size()) + 2;
  if (part_.role == PartRole::Attachment) {
    if (part_.base64) part_.base64Characters += CountBase64Characters(line);
    return;
  }
  TextPart* text = TextTarget();
  if (!text || text->text.size() >= kMaxBodyText) return;
  MakeRoom(text->text, line.size() + 2);
  // Lines are joined with CR LF between them; the first line of a part adds none.
  if (part_.rawBytes > static_cast<std::int64_t>(line.size()) + 2) text->text += "\r\n";
  text->text.append(line.substr(0, kMaxBodyText - std::min(kMaxBodyText, text->text.size())));
  if (text->text.size() > kMaxBodyText) text->text.resize(kMaxBodyText);
}

void BodySteps::EndPart() {
  if (part_.role == PartRole::Attachment && !part_.listed) {
    // The CR LF before a boundary belongs to the boundary (RFC 2046 5.1.1).
    part_.entry.size = part_.base64 ? part_.base64Characters * 3 / 4
                                    : std::max<std::int64_t>(0, part_.rawBytes - 2);
    part_.listed = true;
    if (part_.entry.nameText.empty()) {
      // Numbered by its place among the mail's attachments, the X-Attachment ones first.
      const std::size_t number = record_->attachments.size() + parts_.size() + 1;
      part_.entry.name = NameForUnnamedPart(part_.entry.contentType, number);
      part_.entry.nameText = std::u16string(part_.entry.name.begin(), part_.entry.name.end());
    }
    parts_.push_back(part_.entry);
  }
  part_ = Part();
}

void BodySteps::CloseMailBody() {
  if (closed_) return;
  record_->PublishBody(TakeClosedBody());
}

MailBody BodySteps::TakeClosedBody() {
  closed_ = true;
  EndPart();
  phase_ = Phase::Finished;

  MailBody body;
  const bool useHtml = !plain_.present || (plain_.text.empty() && !html_.text.empty());
  TextPart& chosen = useHtml && html_.present ? html_ : plain_;
  body.bodyText = std::move(chosen.text);
  if (chosen.transferEncoding.find("base64") != std::string::npos)
    Base64DecodeInPlace(body.bodyText);
  else if (chosen.transferEncoding.find("quoted-printable") != std::string::npos)
    QuotedPrintableDecodeInPlace(body.bodyText);
  body.textIsHtml = &chosen == &html_;
  body.textCharset = chosen.charset;
  if (body.textIsHtml && body.textCharset.empty())
    body.textCharset = CharsetFromHtml(body.bodyText);
  // Converted when read: most mails are listed and never searched or shown.
  body.contentFromBodyText = true;
  body.ansiCodePage = ansiCodePage_;
  body.parts = std::move(parts_);
  body.closed = true;
  body.textEnd = endByte_;
  body.followedEnd = std::max(followedEnd_, endByte_);
  return body;
}

}  // namespace quillon
