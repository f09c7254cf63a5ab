// Holds the vector looks the walk takes along a line against their byte-at-a-time references,
// over arbitrary bytes: the lines that begin with "--", the base64 characters of a line, the
// store block header a line runs into, the first byte outside the base64 alphabet at each width of
// steps, the end of a body line, the line feed and the bytes in front of it that are no text, a
// colon in a line, the run of base64 lines an attachment is taken in, the run of plain text lines,
// where a mail's text stops being text, and where a line begins, looked for backwards from its end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "scan/find/base64_characters.h"
#include "scan/find/base64_run.h"
#include "scan/find/dash_lines.h"
#include "scan/find/line_runs.h"
#include "scan/find/line_start.h"
#include "scan/find/text_bytes.h"
#include "scan/lines/line_scan.h"
#include "scan/read/block_header.h"

namespace {

std::size_t PlainBlockHeaderAhead(const std::uint8_t* data, std::size_t size, std::size_t lineStart,
                                  std::uint64_t position) {
  const std::size_t aligned = lineStart + static_cast<std::size_t>((4 - position % 4) % 4);
  for (std::size_t k = 0; k < quillon::kHeaderSearchSpan; k += 4) {
    const std::size_t header = aligned + k;
    if (header + quillon::kBlockHeaderSize > size) return quillon::kNoBlockHeader;
    if (quillon::HasBlockHeaderMark(data + header + quillon::kBlockHeaderMarkOffset)) return header;
  }
  return quillon::kNoBlockHeader;
}

bool SameLineFeedScan(const std::uint8_t* data, std::size_t size) {
  std::size_t feed = 0;
  bool nonText = false;
  for (; feed < size && data[feed] != '\n'; ++feed)
    nonText = nonText || !quillon::IsTextByte(data[feed]);
  const quillon::LineFeedScan fast = quillon::FindLineFeedJudgingText(data, size);
  return fast.lineFeed == feed && fast.nonText == nonText;
}

std::size_t PlainLineEnd(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (data[i] == '\r' || data[i] == '\n' || data[i] == 0) return i;
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint64_t base = data[0];
  const std::vector<std::uint8_t> bytes(data + 1, data + size);
  const std::uint8_t* text = bytes.data();

  std::vector<std::uint64_t> plain;
  quillon::FindDashLinesPlain(text, bytes.size(), base, plain);
  for (const auto steps : {quillon::DashLineSteps::Bytes, quillon::DashLineSteps::Sse2,
                           quillon::DashLineSteps::Avx2}) {
    std::vector<std::uint64_t> fast;
    quillon::FindDashLines(text, bytes.size(), base, fast, steps);
    if (fast != plain) std::abort();
  }

  const std::string_view line(reinterpret_cast<const char*>(text), bytes.size());
  if (quillon::CountBase64Characters(line) != quillon::CountBase64CharactersPlain(line))
    std::abort();

  quillon::MarkFreeBytes markFree;  // asked line after line, as the walk asks
  for (std::size_t start = 0; start < bytes.size(); start += 1 + start % 7) {
    const std::size_t plainStop = quillon::FindNonBase64Plain(text, start, bytes.size());
    for (const auto steps :
         {quillon::Base64Steps::Bytes, quillon::Base64Steps::Sse2, quillon::Base64Steps::Avx2})
      if (quillon::FindNonBase64(text, start, bytes.size(), steps) != plainStop) std::abort();
    if (quillon::FindBlockHeaderAhead(text, bytes.size(), start, base + start) !=
        PlainBlockHeaderAhead(text, bytes.size(), start, base + start))
      std::abort();
    if (quillon::FindBlockHeaderAhead(text, bytes.size(), start, base + start, markFree) !=
        PlainBlockHeaderAhead(text, bytes.size(), start, base + start))
      std::abort();
    if (!SameLineFeedScan(text + start, bytes.size() - start)) std::abort();
    if (quillon::FindByteInLine(line, ':', start) != line.find(':', start)) std::abort();
    if (quillon::FindLineEndOrNul(text + start, bytes.size() - start) !=
        PlainLineEnd(text + start, bytes.size() - start))
      std::abort();
    // The input's first byte also picks the longest line and the reach kept clear of the end.
    const std::size_t maxLine = 1 + base % 90;
    const std::size_t clearAhead = (base * 7) % 230;
    // The whole steps take only whole lines of the run the plain look takes.
    const quillon::Base64Lines steps =
        quillon::TakeBase64LinesInSteps(text, bytes.size(), start, maxLine);
    const quillon::LineRun fromSteps =
        quillon::TakeBase64LinesPlain(text, steps.end, start, maxLine, 0);
    if (steps.lines != 0 && (fromSteps.end != steps.end || fromSteps.lines != steps.lines))
      std::abort();
    const quillon::LineRun lines =
        quillon::TakeBase64Lines(text, bytes.size(), start, maxLine, clearAhead);
    const quillon::LineRun plainLines =
        quillon::TakeBase64LinesPlain(text, bytes.size(), start, maxLine, clearAhead);
    if (lines.end != plainLines.end || lines.lines != plainLines.lines) std::abort();
    const quillon::LineRun textLines =
        quillon::TakeTextLines(text, bytes.size(), start, maxLine, clearAhead, "-Rr");
    const quillon::LineRun plainTextLines =
        quillon::TakeTextLinesPlain(text, bytes.size(), start, maxLine, clearAhead, "-Rr");
    if (textLines.end != plainTextLines.end || textLines.lines != plainTextLines.lines)
      std::abort();
    const std::size_t plainTextStop = quillon::FindNonTextBytePlain(text, start, bytes.size());
    for (const auto steps :
         {quillon::TextSteps::Bytes, quillon::TextSteps::Sse2, quillon::TextSteps::Avx2})
      if (quillon::FindNonTextByte(text, start, bytes.size(), steps) != plainTextStop) std::abort();
    const std::size_t lookFloor = start - std::min(start, maxLine * 3);
    if (quillon::LastLineStop(text, lookFloor, start) !=
        quillon::LastLineStopPlain(text, lookFloor, start))
      std::abort();
  }
  return 0;
}
