// The run of plain text lines the body steps take at once: the text-line pass of find/, with
// nothing kept clear of the run's end (the body steps keep the run clear of block headers
// themselves).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/line_runs.h"

namespace quillon {

// The lines TakeTextLines takes from `begin` with nothing kept clear of the run's end: the same
// run, the same count, whichever steps the processor has. `widest` caps the vector steps used.
inline LineRun TakeTextLineRun(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                               std::size_t maxLine, std::string_view notFirst,
                               TextLineSteps widest = TextLineSteps::Avx512) {
  return TakeTextLinesInSteps(data, limit, begin, maxLine, 0, notFirst, widest);
}

}  // namespace quillon
