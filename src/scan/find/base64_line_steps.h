// The base64 line steps written once, over the masks of a 64-byte step as each instruction set
// finds them (`StepMasks`: base64_run_avx2.cpp, base64_run_avx512.cpp). Each includes this inside
// its set's target region and instantiates it there, so every function here must depend on
// `StepMasks` (a plain inline function would be built for several sets under one name).
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/find/base64_run.h"
#include "scan/find/read_ahead.h"

namespace quillon::base64_steps {

// StepMasks::Constants, StepMasks::MakeConstants(), and StepMasks::LineBreaks(at, constants,
// returns, feeds): false where a byte of the 64 at `at` is neither base64 nor CR nor LF, else the
// CRs and LFs as a bit per byte.
template <class StepMasks>
struct LineSteps {
  static Base64Lines Run(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                         std::size_t maxLine) {
    const typename StepMasks::Constants constants = StepMasks::MakeConstants();
    Base64Lines run{begin, 0};
    std::uint64_t returnBehind = 0;  // 1 where the byte in front of the step is a CR
    // A line is taken at its LF, which lies inside a step and so before `limit`.
    for (std::size_t p = begin; p + 64 <= limit; p += 64) {
      __builtin_prefetch(data + p + kReadAheadBytes);
      std::uint64_t returns = 0;
      std::uint64_t feeds = 0;
      // Another byte, or a CR without its LF or a LF without its CR: the caller reads the lines
      // from here on one by one.
      if (!StepMasks::LineBreaks(data + p, constants, returns, feeds)) return run;
      if (feeds != ((returns << 1) | returnBehind)) return run;
      returnBehind = returns >> 63;
      if (feeds == 0) continue;
      if (maxLine > 64) {
        // Only the first line to end in the step may have begun in front of it; the others are
        // shorter than a step, and empty only where a CR stands right behind a LF.
        const std::size_t length =
            p + static_cast<std::size_t>(__builtin_ctzll(feeds)) - 1 - run.end;
        if (length == 0 || length >= maxLine) return run;
        std::uint64_t taken = feeds;
        if (const std::uint64_t emptyLines = (feeds << 1) & returns; emptyLines != 0)
          taken &= (emptyLines & (~emptyLines + 1)) - 1;  // the lines in front of the first
        run = {p + 64 - static_cast<std::size_t>(__builtin_clzll(taken)),
               run.lines + static_cast<std::size_t>(__builtin_popcountll(taken))};
        if (taken != feeds) return run;
        continue;
      }
      for (; feeds != 0; feeds &= feeds - 1) {
        const std::size_t lineFeedAt = p + static_cast<std::size_t>(__builtin_ctzll(feeds));
        const std::size_t length = lineFeedAt - 1 - run.end;
        if (length == 0 || length >= maxLine) return run;
        run = {lineFeedAt + 1, run.lines + 1};
      }
    }
    return run;
  }
};

}  // namespace quillon::base64_steps
