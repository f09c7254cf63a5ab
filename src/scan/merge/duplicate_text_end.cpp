#include "scan/merge/duplicate_text_end.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

// A line longer than this tells nothing of where old data begins.
constexpr std::size_t kLongestLine = 4096;

}  // namespace

bool OtherLinesBeginAt(MailText text, std::size_t from, std::size_t at) {
  if (!text.data || from >= at || at >= text.size || text.data[at - 1] != '\n') return false;
  std::size_t crLf = 0;
  std::size_t lineFeedAlone = 0;
  for (const std::uint8_t* lineFeed = text.data + from;
       (lineFeed = static_cast<const std::uint8_t*>(
            std::memchr(lineFeed, '\n', static_cast<std::size_t>(text.data + at - lineFeed))));
       ++lineFeed) {
    if (lineFeed > text.data + from && lineFeed[-1] == '\r')
      ++crLf;
    else
      ++lineFeedAlone;
  }
  if ((crLf == 0) == (lineFeedAlone == 0)) return false;  // no lines, or lines ended both ways
  const std::size_t reach = std::min(text.size, at + kLongestLine);
  const auto* lineFeed =
      static_cast<const std::uint8_t*>(std::memchr(text.data + at, '\n', reach - at));
  if (!lineFeed) return false;
  const bool endsWithCrLf = lineFeed > text.data + at && lineFeed[-1] == '\r';
  return crLf > 0 ? !endsWithCrLf : endsWithCrLf;
}

}  // namespace quillon
