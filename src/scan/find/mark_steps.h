// Private to byte_patterns.cpp and the kernel's builds: the mark search in vector steps, one
// function per instruction set, each built from the one kernel (mark_kernel.h) over that set's
// vector layer (simd_*.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/find/line_break_map.h"
#include "scan/find/simd_target.h"

namespace quillon::mark_steps {

// The colon of an anchor lies this far behind its first byte.
inline constexpr std::size_t kColonDistance = 4;
// Vector steps read this many bytes in front of their first byte (the byte before an anchor).
inline constexpr std::size_t kLookBehind = kColonDistance + 1;

// The widest vector step, in bytes: every set's step divides it.
inline constexpr std::size_t kWidestStep = 64;
// Each finds the marks of FindMarkPositions in whole steps from i on, where i >= kLookBehind and
// base + i is a multiple of its step (else it takes nothing), while a step and the two bytes
// behind it lie before `end`; returns where it stopped, for the bytes left to be looked at one by
// one.
#ifdef QUILLON_X86_VECTORS
std::size_t Sse2(const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
                 std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
                 LineBreakBits lineBreaks);
std::size_t Avx2(const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
                 std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
                 LineBreakBits lineBreaks);
std::size_t Avx512(const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
                   std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
                   LineBreakBits lineBreaks);
#endif

}  // namespace quillon::mark_steps
