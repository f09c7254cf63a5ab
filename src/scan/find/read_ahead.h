// How far ahead the kernels ask for the bytes they will look at next. A chunk's bytes reach the
// thread that looks at them from the other core's copy of the read, through the shared cache, and
// the processor's own guess of the next lines came too late to hide that: a kernel that asks a few
// kilobytes ahead found its bytes at hand (the mark pass took a third less time).
#pragma once

#include <cstddef>

namespace quillon {

inline constexpr std::size_t kReadAheadBytes = 4096;
// The kernels ask for one 64-byte line each time they take that many bytes.
inline constexpr std::size_t kCacheLineBytes = 64;

}  // namespace quillon
