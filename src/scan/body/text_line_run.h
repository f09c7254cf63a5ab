// The run of plain text lines the body steps take at once, found in one pass over its bytes.
// Prose is short lines: asked line by line, the search for each line's end cost more in its
// start and finish than in the bytes it looked at. One pass keeps the last look's stop bytes and
// answers every line end inside it without a second look.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/line_runs.h"

namespace quillon {

enum class TextLineSteps { Bytes, Avx2, Avx512 };

// The lines TakeTextLines takes from `begin` with nothing kept clear of the run's end: the same
// run, the same count, whichever steps the processor has. `widest` caps the vector steps used.
LineRun TakeTextLineRun(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::string_view notFirst,
                        TextLineSteps widest = TextLineSteps::Avx512);

namespace text_line_run {
// The one pass in AVX2 steps (32 bytes a comparison, two a look); only where the processor has
// them.
LineRun Avx2(const std::uint8_t* data, std::size_t limit, std::size_t begin, std::size_t maxLine,
             std::string_view notFirst);
// The same in AVX-512 steps (text_line_run_avx512.cpp), a look a comparison.
LineRun Avx512(const std::uint8_t* data, std::size_t limit, std::size_t begin, std::size_t maxLine,
               std::string_view notFirst);
}  // namespace text_line_run

}  // namespace quillon
