// The segment files of an expert witness image, checked on their own: the reading library
// opens a set with a missing or cut-off segment and reads the lost part as damaged chunks; an
// examiner must hear at once which file is wrong instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// How a segment file's chain of sections ends: "done" in the last segment, "next" where
// another segment follows; Truncated when a section lies beyond the file's end, Damaged when
// the chain leads to bytes that are no section descriptor.
enum class SegmentEnd { Done, Next, Truncated, Damaged, Unknown };

struct SegmentWalk {
  SegmentEnd end = SegmentEnd::Unknown;
  // Where the chain reaches in the file, for a truncated one; where the bytes that are no
  // section lie, for a damaged one.
  std::uint64_t neededBytes = 0;
};

// Reads `count` bytes at `offset` of one segment file into `out`; the bytes that arrived.
using SegmentReader =
    std::function<std::size_t(std::uint64_t offset, std::size_t count, void* out)>;

// Walks the sections of one first-version segment file of `fileSize` bytes. Unknown for a
// file that is no such segment (the second version's layout differs).
SegmentWalk WalkEwfSegment(const SegmentReader& read, std::uint64_t fileSize);

// The name of the segment after `name`: ".E01" ... ".E99", ".EAA" ... ".EZZ", ".FAA" ...
// keeping the case of the letters; `name` itself when it has no segment extension.
std::string NextEwfSegmentName(std::string_view name);

// Why the segment files `paths` (in order, as found beside the first) do not make a whole
// image: the first one cut short, or the segment missing behind the last one found. Empty when
// every segment's chain is whole and the last one ends the image.
std::string DiagnoseEwfSegments(const std::vector<std::string>& paths);

}  // namespace quillon
