#include "scan/shape/closing_boundary_finder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scan/find/dash_lines.h"
#include "scan/read/unreadable_sectors.h"

namespace quillon {

namespace {

constexpr std::string_view kDashLine = "\n--";

}  // namespace

void ClosingBoundaryFinder::ListUpTo(CarveBuffer buffer, std::uint64_t end) {
  if (end <= listedTo_) return;
  // A "\n--" may have begun in the last two bytes listed without ending there.
  const std::uint64_t resume =
      listedTo_ - std::min<std::uint64_t>(kDashLine.size() - 1, listedTo_ - listedFrom_);
  listedTo_ = end;
  if (end - resume < kDashLine.size()) return;
  // Lists the "\n--" at p in [first, last], those whose three bytes end by `end`.
  auto list = [&](std::uint64_t first, std::uint64_t last) {
    FindDashLines(buffer.data + (first - buffer.base),
                  static_cast<std::size_t>(last - first + kDashLine.size()), first, dashLines_);
  };
  const std::uint64_t lastLine = end - kDashLine.size();
  if (!buffer.unreadable || buffer.pieces) return list(resume, lastLine);
  // Where the sectors of the source's positions are marked, only those that may hold a dash can
  // hold the first dash of a line's "--" (at p + 1): a base64 attachment holds none.
  for (std::uint64_t at = resume + 1; at <= lastLine + 1;) {
    const UnreadableSectors::ByteStretch dashes = buffer.unreadable->MayHoldDash(at, lastLine + 2);
    if (dashes.from >= dashes.to) return;
    list(dashes.from - 1, dashes.to - 2);
    at = dashes.to;
  }
}

std::optional<std::size_t> ClosingBoundaryFinder::Find(CarveBuffer buffer, std::size_t from,
                                                       std::size_t limit,
                                                       const std::string& boundary) {
  const std::uint64_t at = buffer.base + from;
  const std::uint64_t end = buffer.base + limit;
  if (at >= end) return std::nullopt;
  if (at < listedFrom_ || at > listedTo_ || listedTo_ < buffer.base + kDashLine.size()) {
    // Not in the stretch listed, or that lies behind the buffer: start a list here.
    dashLines_.clear();
    firstKept_ = 0;
    listedFrom_ = listedTo_ = at;
  }
  // Let go of the lines in front of the buffer now and then, not at every question.
  if (firstKept_ > 4096 && firstKept_ * 2 > dashLines_.size()) {
    dashLines_.erase(dashLines_.begin(),
                     dashLines_.begin() + static_cast<std::ptrdiff_t>(firstKept_));
    firstKept_ = 0;
  }
  ListUpTo(buffer, end);
  const auto kept = dashLines_.begin() + static_cast<std::ptrdiff_t>(firstKept_);
  firstKept_ = static_cast<std::size_t>(std::lower_bound(kept, dashLines_.end(), buffer.base) -
                                        dashLines_.begin());
  // The closing line: "\n--", the boundary, "--".
  const std::size_t length = kDashLine.size() + boundary.size() + 2;
  for (auto line = std::lower_bound(dashLines_.begin() + static_cast<std::ptrdiff_t>(firstKept_),
                                    dashLines_.end(), at);
       line != dashLines_.end() && *line + length <= end; ++line) {
    const std::uint8_t* rest = buffer.data + (*line - buffer.base) + kDashLine.size();
    if (std::memcmp(rest, boundary.data(), boundary.size()) == 0 && rest[boundary.size()] == '-' &&
        rest[boundary.size() + 1] == '-')
      return static_cast<std::size_t>(*line - buffer.base);
  }
  return std::nullopt;
}

}  // namespace quillon
