// The runs of lines the body steps take at once (see TakeLineRun in body_steps.h).
#include <algorithm>

#include "scan/body/body_steps.h"
#include "scan/find/line_runs.h"
#include "scan/read/block_header.h"

namespace quillon {

namespace {

// A line start within this reach of a block header is one the walk steps over the header at.
constexpr std::size_t kBlockHeaderReach = kHeaderSearchSpan + kBlockHeaderSize;

}  // namespace

std::size_t BodySteps::TakeLineRun(CarveBuffer buffer, std::size_t position, std::size_t limit) {
  if (AttachmentOpen()) return TakeAttachmentLines(buffer, position, limit);
  // Behind an empty line a mailbox separator may end the text: the steps read that line.
  if (phase_ != Phase::Body || previousEmpty_) return position;
  const LineRun run = TakeTextLines(buffer.data, std::min(limit, buffer.size), position,
                                    kMaxBodyLine, kBlockHeaderReach, "-Rr");
  if (run.lines == 0) return position;
  if (!textEnded_) {
    // As AppendBodyLine line by line: the lines joined by their CR LF, behind a CR LF unless
    // they are the part's first.
    const bool first = part_.rawBytes == 0;
    part_.rawBytes += static_cast<std::int64_t>(run.end - position);
    if (TextPart* text = TextTarget(); text && text->text.size() < kMaxBodyText) {
      if (!first) text->text += "\r\n";
      const std::size_t room = kMaxBodyText - std::min(kMaxBodyText, text->text.size());
      text->text.append(reinterpret_cast<const char*>(buffer.data + position),
                        std::min(run.end - 2 - position, room));
      if (text->text.size() > kMaxBodyText) text->text.resize(kMaxBodyText);
    }
  }
  followedEnd_ = std::max(followedEnd_, buffer.PositionOf(run.end - 2));
  return run.end;
}

std::size_t BodySteps::TakeAttachmentLines(CarveBuffer buffer, std::size_t position,
                                           std::size_t limit) {
  if (!AttachmentOpen() || !part_.base64) return position;
  const LineRun run = TakeBase64Lines(buffer.data, std::min(limit, buffer.size), position,
                                      kMaxBodyLine, kBlockHeaderReach);
  if (run.lines == 0) return position;
  if (!textEnded_) {
    const auto bytes = static_cast<std::int64_t>(run.end - position);
    part_.rawBytes += bytes;  // each line with its CR LF, as AppendBodyLine counts it
    part_.base64Characters += bytes - 2 * static_cast<std::int64_t>(run.lines);
  }
  followedEnd_ = std::max(followedEnd_, buffer.PositionOf(run.end - 2));
  previousEmpty_ = false;
  return run.end;
}

}  // namespace quillon
