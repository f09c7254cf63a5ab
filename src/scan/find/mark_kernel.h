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
#include "scan/find/read_ahead.h"
#include "scan/source_position.h"

namespace quillon::mark_steps {

template <class Vectors>
struct MarkKernel {
  static constexpr std::size_t kWidth = Vectors::kWidth;
  static constexpr std::uint64_t kSector = kSectorSize;
  static constexpr std::uint32_t kMostQuietWait = 63;
  static_assert(kWidth % 4 == 0 && kWidth <= 64 && kSector % kWidth == 0);

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

  // What a sector's steps gathered besides their finds: its line breaks, those before an 'R' or
  // 'r', and the least of its bytes in each lane (a NUL is looked for once, at the sector's end).
  struct SectorGather {
    typename Vectors::Lanes breaks;
    typename Vectors::Lanes breaksBeforeR;
    typename Vectors::Bytes least;
  };

  static void MarkSector(std::uint64_t sector, const SectorGather& gathered,
                         LineBreakBits lineBreaks) {
    if (Vectors::Bits(gathered.breaks) != 0) lineBreaks.any.Set(sector);
    if (Vectors::Bits(gathered.breaksBeforeR) != 0) lineBreaks.beforeR.Set(sector);
    if (Vectors::AnyZero(gathered.least)) lineBreaks.nuls.Set(sector);
  }

  // The bytes a step compares with, splat once (an aggregate: a constructor would be built
  // without the instruction set).
  struct Constants {
    typename Vectors::Bytes colon, sizeByte, carriageReturn, lineFeed, lowerCase, f, d, r, dash;
    // A store block's size field: 0x000002xx, little endian.
    typename Vectors::Bytes sizeKeep, sizeField;
    // kQuietTable and kPlainTable, where the vectors look bytes up by their low half.
    typename Vectors::Bytes quietTable, plainTable;
  };

  // For each low half, the one byte below 0x80 with it that makes a sector loud (a colon, 0x3A;
  // 0x02), else 0x80, which no such byte is: a byte equals its entry exactly where it is a colon
  // or a 0x02 (the lookup gives 0 from 0x80 on). One comparison instead of two.
  static constexpr std::uint8_t kQuietTable[16] = {0x80, 0x80, 0x02, 0x80, 0x80, 0x80, 0x80, 0x80,
                                                   0x80, 0x80, ':',  0x80, 0x80, 0x80, 0x80, 0x80};
  static typename Vectors::Lanes Loud(typename Vectors::Bytes here, const Constants& c) {
    using V = Vectors;
    if constexpr (V::kLooksUpByLowHalf)
      return V::Equal(V::LookUpLowHalf(c.quietTable, here), here);
    else
      return V::Either(V::Equal(here, c.colon), V::Equal(here, c.sizeByte));
  }

  // The same with the dash (0x2D) too: a sector with none of the three is quiet and holds no
  // dash, told by the one lookup. Base64 holds none of them; text with a dash is looked at once
  // more for which it holds.
  static constexpr std::uint8_t kPlainTable[16] = {0x80, 0x80, 0x02, 0x80, 0x80, 0x80, 0x80, 0x80,
                                                   0x80, 0x80, ':',  0x80, 0x80, '-',  0x80, 0x80};
  static typename Vectors::Lanes LoudOrDash(typename Vectors::Bytes here, const Constants& c) {
    using V = Vectors;
    if constexpr (V::kLooksUpByLowHalf)
      return V::Equal(V::LookUpLowHalf(c.plainTable, here), here);
    else
      return V::Either(Loud(here, c), V::Equal(here, c.dash));
  }

  // What one step at `at` finds: anchor colons behind a line feed (and, where `sectorColon` has
  // its bit, the one of an anchor at the sector's start) and size fields as bits; the rest joins
  // `gathered`.
  struct StepFinds {
    std::uint64_t colons;
    std::uint64_t fields;
  };
  static StepFinds Step(const std::uint8_t* at, const Constants& c, std::uint64_t sectorColon,
                        SectorGather& gathered) {
    using V = Vectors;
    const typename V::Bytes here = V::Load(at);
    gathered.least = V::Least(gathered.least, here);
    const typename V::Bytes initial = V::Or(V::Load(at - kColonDistance), c.lowerCase);
    const typename V::Lanes colons =
        V::Both(V::Equal(here, c.colon), V::Either(V::Equal(initial, c.f), V::Equal(initial, c.d)));
    std::uint64_t colonBits =
        V::Bits(V::Both(colons, V::Equal(V::Load(at - kLookBehind), c.lineFeed)));
    if (sectorColon != 0) colonBits |= V::Bits(colons) & sectorColon;
    const typename V::Lanes lineBreak =
        V::Both(V::Equal(here, c.carriageReturn), V::Equal(V::Load(at + 1), c.lineFeed));
    gathered.breaks = V::Either(gathered.breaks, lineBreak);
    gathered.breaksBeforeR =
        V::Either(gathered.breaksBeforeR,
                  V::Both(lineBreak, V::Equal(V::Or(V::Load(at + 2), c.lowerCase), c.r)));
    return {colonBits, V::WordBits(here, c.sizeKeep, c.sizeField)};
  }

  // The steps of [i, blockEnd) for their line breaks alone, while no byte of theirs is a colon or
  // a 0x02 (the second byte of a size field), without which they hold no anchor and no size
  // field. False, with nothing gathered that the full steps would not gather too, where one is.
  // Base64 lines, zeros and most plain text hold neither, and are passed over here at half the
  // work. Whether a quiet sector holds a dash (`dash`) is told by the same lookup, and only where
  // it may is the sector read once more for it.
  static bool QuietSteps(const std::uint8_t* data, std::size_t i, std::size_t blockEnd,
                         const Constants& c, SectorGather& gathered, bool& dash) {
    using V = Vectors;
    const std::size_t begin = i;
    typename V::Lanes suspects = V::None();
    // A sector is 16 AVX2 steps: unrolled, the loop's own count and branch go once for several.
#pragma GCC unroll 4
    for (; i < blockEnd; i += kWidth) {
      const typename V::Bytes here = V::Load(data + i);
      gathered.least = V::Least(gathered.least, here);
      suspects = V::Either(suspects, LoudOrDash(here, c));
      const typename V::Lanes lineBreak =
          V::Both(V::Equal(here, c.carriageReturn), V::Equal(V::Load(data + i + 1), c.lineFeed));
      gathered.breaks = V::Either(gathered.breaks, lineBreak);
      gathered.breaksBeforeR =
          V::Either(gathered.breaksBeforeR,
                    V::Both(lineBreak, V::Equal(V::Or(V::Load(data + i + 2), c.lowerCase), c.r)));
    }
    dash = false;
    if (V::Bits(suspects) == 0) return true;
    // A dash, or a colon or a 0x02: which, from the bytes just read.
    typename V::Lanes loud = V::None();
    typename V::Lanes dashes = V::None();
    for (i = begin; i < blockEnd; i += kWidth) {
      const typename V::Bytes here = V::Load(data + i);
      loud = V::Either(loud, Loud(here, c));
      dashes = V::Either(dashes, V::Equal(here, c.dash));
    }
    dash = V::Bits(dashes) != 0;
    return V::Bits(loud) == 0;
  }

  // Steps start on a multiple of their width in the source (else nothing is taken), so that each
  // lies in one sector: the steps of a sector gather its line breaks in two vectors and mark it
  // once. Text and base64 hold a line break in every other step or so, and a branch per step on
  // it was taken too irregularly to be foretold. Finds are rare: narrow steps go two at a time,
  // with one branch for both.
  static std::size_t Run(const std::uint8_t* data, std::size_t i, std::size_t end,
                         std::uint64_t base, std::vector<std::uint64_t>& anchors,
                         std::vector<std::uint64_t>& sizeFields, LineBreakBits lineBreaks) {
    using V = Vectors;
    const Constants constants{V::Splat(':'),
                              V::Splat(0x02),
                              V::Splat('\r'),
                              V::Splat('\n'),
                              V::Splat(0x20),
                              V::Splat('f'),
                              V::Splat('d'),
                              V::Splat('r'),
                              V::Splat('-'),
                              V::SplatWord(0xFFFFFF00u),
                              V::SplatWord(0x00000200u),
                              V::LowHalfTable(kQuietTable),
                              V::LowHalfTable(kPlainTable)};
    constexpr std::size_t kPair = kWidth <= 32 ? 2 * kWidth : kWidth;
    // The finds of a sector gather on the stack and join the lists after it: with no call inside
    // the steps the loop keeps its constants in vector registers.
    std::uint64_t blockAnchors[kSector];
    std::uint64_t blockFields[kSector];
    if ((base + i) % kWidth != 0) return i;
    // Each step reads the two bytes behind it too (the LF of a line break and the line's first).
    if (i + kWidth + 1 >= end) return i;
    const std::size_t lastStep = end - kWidth - 2;
    std::uint32_t quietWait = 0;
    std::uint32_t quietBackoff = 0;
    while (i <= lastStep) {
      const std::uint64_t sector = (base + i) / kSector;
      std::uint64_t* anchorsEnd = blockAnchors;
      std::uint64_t* fieldsEnd = blockFields;
      SectorGather gathered{V::None(), V::None(), V::Splat(0xFF)};
      const std::size_t sectorEnd = static_cast<std::size_t>((sector + 1) * kSector - base);
      const std::size_t blockEnd = std::min(sectorEnd, lastStep + 1);
#pragma GCC unroll 8
      for (std::size_t line = 0; line < kSector; line += kCacheLineBytes)
        __builtin_prefetch(data + i + kReadAheadBytes + line);
      // Quiet sectors come in long runs (an attachment, zeros), loud ones too (random bytes hold
      // a colon or a 0x02 in nearly every sector): after each failed try the quiet steps wait
      // twice as many sectors, up to a limit, before they are tried again.
      if (quietWait == 0) {
        bool dash = false;
        if (QuietSteps(data, i, blockEnd, constants, gathered, dash)) {
          quietBackoff = 0;
          i += (blockEnd - i + kWidth - 1) / kWidth * kWidth;
          MarkSector(sector, gathered, lineBreaks);
          if (dash) lineBreaks.dashes.Set(sector);
          continue;
        }
        quietBackoff = std::min(2 * quietBackoff + 1, kMostQuietWait);
        quietWait = quietBackoff;
      } else {
        --quietWait;
      }
      if ((base + i) % kSector == 0) {
        // An anchor at the sector's start needs no line feed in front: its colon lies in the
        // sector's first step.
        const StepFinds finds =
            Step(data + i, constants, std::uint64_t{1} << kColonDistance, gathered);
        if ((finds.colons | finds.fields) != 0)
          WriteFinds(i, base, finds.colons, finds.fields, anchorsEnd, fieldsEnd);
        i += kWidth;
      }
      if constexpr (kPair != kWidth) {
        for (; i + kWidth < blockEnd && (base + i) % kPair == 0; i += kPair) {
          const StepFinds first = Step(data + i, constants, 0, gathered);
          const StepFinds second = Step(data + i + kWidth, constants, 0, gathered);
          if ((first.colons | first.fields | second.colons | second.fields) == 0) continue;
          WriteFinds(i, base, first.colons, first.fields, anchorsEnd, fieldsEnd);
          WriteFinds(i + kWidth, base, second.colons, second.fields, anchorsEnd, fieldsEnd);
        }
      }
      for (; i < blockEnd; i += kWidth) {
        const StepFinds finds = Step(data + i, constants, 0, gathered);
        if ((finds.colons | finds.fields) != 0)
          WriteFinds(i, base, finds.colons, finds.fields, anchorsEnd, fieldsEnd);
      }
      // A loud sector may hold a dash: random bytes hold one in nearly every sector, and a
      // header block's text often does; the comparison would cost every step.
      lineBreaks.dashes.Set(sector);
      MarkSector(sector, gathered, lineBreaks);
      if (anchorsEnd != blockAnchors) anchors.insert(anchors.end(), blockAnchors, anchorsEnd);
      if (fieldsEnd != blockFields) sizeFields.insert(sizeFields.end(), blockFields, fieldsEnd);
    }
    return i;
  }
};

}  // namespace quillon::mark_steps
