// Regions of code compiled for one instruction set, so that one source builds a kernel for each
// set and the scan picks the widest the processor has at run time. Everything a region defines
// (the vector layer, the kernel's instantiation) gets the set; the standard and project headers
// it uses must be included in front of the region, so that their inline functions stay plain.
#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#define QUILLON_X86_VECTORS 1
#endif

#define QUILLON_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define QUILLON_TARGET_BEGIN(set) \
  QUILLON_PRAGMA(clang attribute push(__attribute__((target(set))), apply_to = function))
#define QUILLON_TARGET_END _Pragma("clang attribute pop")
#elif defined(__GNUC__)
#define QUILLON_TARGET_BEGIN(set) _Pragma("GCC push_options") QUILLON_PRAGMA(GCC target(set))
#define QUILLON_TARGET_END _Pragma("GCC pop_options")
#else
// Compilers without target regions build every set's intrinsics anywhere.
#define QUILLON_TARGET_BEGIN(set)
#define QUILLON_TARGET_END
#endif
