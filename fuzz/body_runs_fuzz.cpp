// Holds the runs of lines the body steps take at once against the same body handed over a line at
// a time, over arbitrary bytes: a mail followed as the walk follows it (a "Received:" line at a
// line start ends it) and as the shape scan's following does, plain or multipart, with the text
// ended at foreign lines or not. Text, parts, sizes and the ending must come out the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "scan/body/body_steps.h"
#include "scan/compact_text.h"
#include "scan/mail_record.h"
#include "scan/source_bytes.h"

namespace {

using quillon::BodySteps;
using quillon::CarveBuffer;

constexpr std::string_view kBoundary = "cut";
constexpr std::string_view kTypes[] = {"text/plain", "text/html", "multipart/mixed", ""};

bool StartsATraceLine(CarveBuffer buffer, std::size_t at) {
  constexpr std::string_view kReceived = "received:";
  if (at + kReceived.size() > buffer.size) return false;
  for (std::size_t i = 0; i < kReceived.size(); ++i)
    if ((buffer.data[at + i] | 0x20) != kReceived[i]) return false;
  return true;
}

// Follows the body from `start` as the walk does, jumping from CR LF to CR LF; with `runs` it
// offers each line start to TakeLineRun first.
quillon::MailBody Follow(CarveBuffer buffer, std::size_t start, std::uint8_t setup, bool runs) {
  auto record = std::make_shared<quillon::MailRecord>();
  const std::string_view type = kTypes[setup & 3];
  record->contentType = quillon::CompactText(type);
  if (type == "multipart/mixed") record->boundary = quillon::CompactText(kBoundary);
  const bool walk = (setup & 4) != 0;
  BodySteps steps(record, quillon::HeaderEnd::EmptyLine, 1252);
  if ((setup & 8) != 0) steps.EndTextAtForeignLines();
  std::size_t b = start;  // a CR LF: the header block's empty line starts behind it
  std::size_t p = start;
  bool first = true;
  while (true) {
    if (!first) {
      const void* cr =
          b < buffer.size ? std::memchr(buffer.data + b, '\r', buffer.size - b) : nullptr;
      if (!cr) break;
      b = static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - buffer.data);
      if (b + 1 >= buffer.size) break;
      if (buffer.data[b + 1] != '\n') {
        ++b;
        continue;
      }
      p = b + 2;
    }
    first = false;
    if (!(steps.CollectingText() || steps.TextEmpty() || steps.AttachmentOpen())) break;
    if (runs) {
      const std::size_t taken = steps.TakeLineRun(buffer, p, buffer.size, walk);
      if (taken != p) {
        b = taken - 2;
        continue;
      }
    }
    if (walk && StartsATraceLine(buffer, p)) break;
    std::size_t skip = 0;
    if (steps.AttachmentOpen() || !steps.ParsePartHeader(buffer, p, skip))
      steps.ParseBodyLine(buffer, p, skip);
    if (steps.ResumeAt() != 0) break;
    b = p + skip + 1;
  }
  return steps.TakeClosedBody();
}

bool SameParts(const std::vector<quillon::PartEntry>& a, const std::vector<quillon::PartEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].size != b[i].size || a[i].name.View() != b[i].name.View()) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The body follows the empty line that ends a header block.
  std::vector<std::uint8_t> bytes = {'\r', '\n'};
  bytes.insert(bytes.end(), data + 1, data + size);
  const CarveBuffer buffer{bytes.data(), bytes.size(), 4096};
  const quillon::MailBody fast = Follow(buffer, 0, data[0], true);
  const quillon::MailBody plain = Follow(buffer, 0, data[0], false);
  if (fast.bodyText != plain.bodyText || !SameParts(fast.parts, plain.parts) ||
      fast.textEnd != plain.textEnd || fast.followedEnd != plain.followedEnd)
    std::abort();
  return 0;
}
