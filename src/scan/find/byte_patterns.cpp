#include "scan/find/byte_patterns.h"

#include <algorithm>

#include "scan/find/mark_steps.h"
#include "scan/source_position.h"

namespace quillon {

namespace {

constexpr std::uint64_t kSector = kSectorSize;
using mark_steps::kColonDistance;
using mark_steps::kLookBehind;

bool IsAnchorColon(const std::uint8_t* data, std::size_t colon, std::uint64_t base) {
  if (colon < kColonDistance || data[colon] != ':') return false;
  const std::size_t anchor = colon - kColonDistance;
  const std::uint8_t initial = data[anchor] | 0x20;
  if (initial != 'f' && initial != 'd') return false;
  return (anchor > 0 && data[anchor - 1] == '\n') || (base + anchor) % kSector == 0;
}

bool IsStoreSizeField(const std::uint8_t* at) {
  return at[1] == 0x02 && at[2] == 0 && at[3] == 0;
}

// Whether the CR at `at` begins a line break, as far as the range [.., end) tells.
bool MayBreakLine(const std::uint8_t* data, std::size_t at, std::size_t end) {
  return data[at] == '\r' && (at + 1 >= end || data[at + 1] == '\n');
}

// Whether the CR at `at` begins a line break whose next line may be a trace line.
bool MayOpenTraceLine(const std::uint8_t* data, std::size_t at, std::size_t end) {
  return MayBreakLine(data, at, end) && (at + 2 >= end || (data[at + 2] | 0x20) == 'r');
}

void SetSectorBits(const std::uint8_t* data, std::size_t at, std::size_t end, std::uint64_t base,
                   LineBreakBits lineBreaks) {
  if (data[at] == 0) lineBreaks.nuls.Set((base + at) / kSector);
  if (data[at] == '-') lineBreaks.dashes.Set((base + at) / kSector);
  if (!MayBreakLine(data, at, end)) return;
  lineBreaks.any.Set((base + at) / kSector);
  if (MayOpenTraceLine(data, at, end)) lineBreaks.beforeR.Set((base + at) / kSector);
}

// One byte at a time: the reference every vector step is held against, and the walk for the ends
// of a range and where no vector steps are at hand. `rangeEnd` is the end of the whole range,
// which the bytes behind [begin, end) belong to.
void MarksOneByOne(const std::uint8_t* data, std::size_t begin, std::size_t end,
                   std::size_t rangeEnd, std::uint64_t base, std::vector<std::uint64_t>& anchors,
                   std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks) {
  for (std::size_t i = begin; i < end; ++i) {
    if (IsAnchorColon(data, i, base)) anchors.push_back(base + i - kColonDistance);
    if ((base + i) % 4 == 0 && i + 4 <= rangeEnd && IsStoreSizeField(data + i))
      sizeFields.push_back(base + i);
    SetSectorBits(data, i, rangeEnd, base, lineBreaks);
  }
}

}  // namespace

MarkSteps WidestMarkSteps() {
#ifdef QUILLON_X86_VECTORS
  static const MarkSteps widest =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? MarkSteps::Avx512
      : __builtin_cpu_supports("avx2")                                        ? MarkSteps::Avx2
                                                                              : MarkSteps::Sse2;
  return widest;
#else
  return MarkSteps::Bytes;
#endif
}

void FindMarkPositions(const std::uint8_t* data, std::size_t begin, std::size_t end,
                       std::uint64_t base, std::vector<std::uint64_t>& anchors,
                       std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks,
                       MarkSteps widest) {
  if (begin >= end) return;
  // The vector steps need the bytes in front of them and start on a multiple of the widest
  // step in the source, so that each step lies in one sector.
  std::size_t i = begin;
  while (i < end && (i < kLookBehind || (base + i) % mark_steps::kWidestStep != 0)) ++i;
  MarksOneByOne(data, begin, i, end, base, anchors, sizeFields, lineBreaks);
#ifdef QUILLON_X86_VECTORS
  // The widest steps first; narrower ones take what is left before the last few bytes.
  const MarkSteps steps = std::min(widest, WidestMarkSteps());
  if (steps >= MarkSteps::Avx512)
    i = mark_steps::Avx512(data, i, end, base, anchors, sizeFields, lineBreaks);
  if (steps >= MarkSteps::Avx2)
    i = mark_steps::Avx2(data, i, end, base, anchors, sizeFields, lineBreaks);
  if (steps >= MarkSteps::Sse2)
    i = mark_steps::Sse2(data, i, end, base, anchors, sizeFields, lineBreaks);
#endif
  MarksOneByOne(data, i, end, end, base, anchors, sizeFields, lineBreaks);
}

}  // namespace quillon
