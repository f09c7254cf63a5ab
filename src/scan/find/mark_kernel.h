// The mark search in vector steps, written once for every instruction set. `Vectors` is a vector
// layer (simd_sse2.h, simd_avx2.h, simd_avx512.h); each mark_steps_*.cpp includes this inside its
// set's target region and instantiates it there, so every function here must depend on `Vectors`
// (a plain inline function would be built for several sets under one name).
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/find/line_break_map.h"
#include "scan/find/mark_steps.h"
#include "scan/source_position.h"

namespace quillon::mark_steps {

template <class Vectors>
struct MarkKernel {
  static constexpr std::size_t kWidth = Vectors::kWidth;
  static constexpr std::uint64_t kSector = kSectorSize;
  static_assert(kWidth % 4 == 0 && kWidth <= 64 && kSector % kWidth == 0);

  // A one in bit k where the step's byte k is the colon of an anchor at a sector start: the step
  // covers one sector start at most.
  static std::uint64_t SectorColonBit(std::uint64_t stepStart) {
    const std::uint64_t colonOffset = (kSector - (stepStart - kColonDistance) % kSector) % kSector;
    return colonOffset < kWidth ? std::uint64_t{1} << colonOffset : 0;
  }

  // A line break lies somewhere in the step at absolute `stepStart`: the sectors it touches (two
  // at most) may hold it.
  static void SetStepSectors(LineBreakBits lineBreaks, std::uint64_t stepStart, bool beforeR) {
    lineBreaks.any.Set(stepStart / kSector);
    lineBreaks.any.Set((stepStart + kWidth - 1) / kSector);
    if (!beforeR) return;
    lineBreaks.beforeR.Set(stepStart / kSector);
    lineBreaks.beforeR.Set((stepStart + kWidth - 1) / kSector);
  }

  // Writes the finds of the step at i from its bits (a bit per byte: anchor colons; bit 4w:
  // the size field in word w) to the ends `anchorsEnd` and `fieldsEnd` point to, moving them on.
  static void WriteFinds(std::size_t i, std::uint64_t base, std::uint64_t colons,
                         std::uint64_t fields, std::uint64_t*& anchorsEnd,
                         std::uint64_t*& fieldsEnd) {
    for (; colons != 0; colons &= colons - 1)
      *anchorsEnd++ = base + i + static_cast<unsigned>(std::countr_zero(colons)) - kColonDistance;
    for (; fields != 0; fields &= fields - 1)
      *fieldsEnd++ = base + i + static_cast<unsigned>(std::countr_zero(fields));
  }

  static std::size_t Run(const std::uint8_t* data, std::size_t i, std::size_t end,
                         std::uint64_t base, std::vector<std::uint64_t>& anchors,
                         std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks) {
    using V = Vectors;
    const typename V::Bytes colon = V::Splat(':');
    const typename V::Bytes carriageReturn = V::Splat('\r');
    const typename V::Bytes lineFeed = V::Splat('\n');
    const typename V::Bytes lowerCase = V::Splat(0x20);
    const typename V::Bytes f = V::Splat('f');
    const typename V::Bytes d = V::Splat('d');
    const typename V::Bytes r = V::Splat('r');
    // A store block's size field: 0x000002xx, little endian.
    const typename V::Bytes sizeKeep = V::SplatWord(0xFFFFFF00u);
    const typename V::Bytes sizeField = V::SplatWord(0x00000200u);
    // The finds of a block of steps gather on the stack and join the lists after it: with no
    // call inside the steps the loop keeps its constants in vector registers.
    constexpr std::size_t kBlock = kSector;
    std::uint64_t blockAnchors[kBlock];
    std::uint64_t blockFields[kBlock];
    // Each step reads the two bytes behind it too (the LF of a line break and the line's first).
    if (i + kWidth + 1 >= end) return i;
    const std::size_t lastStep = end - kWidth - 2;
    while (i <= lastStep) {
      std::uint64_t* anchorsEnd = blockAnchors;
      std::uint64_t* fieldsEnd = blockFields;
      for (const std::size_t blockEnd = std::min(i + kBlock, lastStep + 1); i < blockEnd;
           i += kWidth) {
        // Everything at once, without branches, so that the few steps with a find are the only
        // ones that branch off.
        const typename V::Bytes here = V::Load(data + i);
        const typename V::Bytes initial = V::Or(V::Load(data + i - kColonDistance), lowerCase);
        const typename V::Lanes colons =
            V::Both(V::Equal(here, colon), V::Either(V::Equal(initial, f), V::Equal(initial, d)));
        std::uint64_t colonBits =
            V::Bits(V::Both(colons, V::Equal(V::Load(data + i - kLookBehind), lineFeed)));
        if (const std::uint64_t sector = SectorColonBit(base + i); sector != 0)
          colonBits |= V::Bits(colons) & sector;
        const std::uint64_t fieldBits = V::WordBits(here, sizeKeep, sizeField);
        const std::uint64_t breakBits = V::Bits(
            V::Both(V::Equal(here, carriageReturn), V::Equal(V::Load(data + i + 1), lineFeed)));
        if ((colonBits | fieldBits | breakBits) == 0) continue;
        if (breakBits != 0) {
          const typename V::Bytes next = V::Or(V::Load(data + i + 2), lowerCase);
          const bool beforeR = (breakBits & V::Bits(V::Equal(next, r))) != 0;
          SetStepSectors(lineBreaks, base + i, beforeR);
        }
        if ((colonBits | fieldBits) != 0)
          WriteFinds(i, base, colonBits, fieldBits, anchorsEnd, fieldsEnd);
      }
      if (anchorsEnd != blockAnchors) anchors.insert(anchors.end(), blockAnchors, anchorsEnd);
      if (fieldsEnd != blockFields) sizeFields.insert(sizeFields.end(), blockFields, fieldsEnd);
    }
    return i;
  }
};

}  // namespace quillon::mark_steps
