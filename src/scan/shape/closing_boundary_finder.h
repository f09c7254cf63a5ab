// Where the closing boundary line of a multipart mail stands, for the shape scan's header blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/source_bytes.h"

namespace quillon {

// FindClosingBoundaryLine over [from, limit) of a buffer, for positions asked in mostly
// ascending order. A mail whose closing line is missing (cut short, or only announced) had its
// boundary searched for to the end of the read buffer, megabytes, and the next such mail the same
// bytes again. The finder lists once where the lines that begin with "--" stand (a closing line
// is one of them) and compares each mail's boundary with those lines only. The bytes of a source
// position never change, so the list holds for later buffers too and grows with them.
class ClosingBoundaryFinder {
 public:
  // The buffer index of the line feed in front of the first "--boundary--" that begins at or
  // behind index `from` and ends by index `limit`; nothing when there is none.
  std::optional<std::size_t> Find(CarveBuffer buffer, std::size_t from, std::size_t limit,
                                  const std::string& boundary);

 private:
  // Lists the "\n--" that end by the absolute position `end`.
  void ListUpTo(CarveBuffer buffer, std::uint64_t end);

  // Every "\n--" (absolute position of its line feed) that begins at or behind listedFrom_ and
  // ends by listedTo_, in order; those in front of the buffer are let go as it moves on.
  std::vector<std::uint64_t> dashLines_;
  std::size_t firstKept_ = 0;
  std::uint64_t listedFrom_ = 0;
  std::uint64_t listedTo_ = 0;
};

}  // namespace quillon
