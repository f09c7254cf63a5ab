// Runs of body lines taken in one step: most of a followed mail is lines that tell the body
// steps nothing but their bytes (the base64 lines of an attachment, the plain lines of its
// text), and handing them over one by one cost more than all the rest of a dense scan. Each
// kernel stops before any line that may matter and has a byte-at-a-time reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillon {

struct LineRun {
  std::size_t end = 0;    // the start of the first line not taken (`begin` when none was)
  std::size_t lines = 0;  // lines taken
};

// From `begin`, a line start, the lines that hold nothing but base64 characters (A-Z, a-z, 0-9,
// '+', '/'), at least one and fewer than `maxLine`, each ended by CR LF before `limit`. The run
// stops before the first other line (an empty one, a boundary, '=' padding, a bare line feed)
// and hands back lines near its end: every line taken is followed by at least `clearAhead`
// bytes of lines taken, so that whatever a reader looks for within that reach of a line start
// (a mail-store block header) would have stopped the run too.
LineRun TakeBase64Lines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::size_t clearAhead);

// The same, a byte at a time: the reference the fast one is tested against.
LineRun TakeBase64LinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                             std::size_t maxLine, std::size_t clearAhead);

enum class TextLineSteps { Bytes, Avx2, Avx512 };

// The same for lines of text: every byte from 0x20 on other than 0x7F, or a tab; at least one
// byte and fewer than `maxLine`, the first none of `notFirst`, each ended by CR LF before
// `limit`. A line with any other control byte (a NUL, a bare CR, a store block header's bytes)
// stops the run. Prose is short lines: asked line by line, the search for each line's end cost
// more in its start and finish than in the bytes it looked at, so the vector steps go in one pass
// that keeps the last look's stop bytes and answers every line end inside it without a second
// look.
LineRun TakeTextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst);
// The same with the vector steps no wider than `widest`.
LineRun TakeTextLinesInSteps(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                             std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst,
                             TextLineSteps widest);
LineRun TakeTextLinesPlain(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                           std::size_t maxLine, std::size_t clearAhead, std::string_view notFirst);

namespace line_run_steps {
// The pass for lines of text in AVX2 looks (line_runs_avx2.cpp) and in AVX-512 looks
// (line_runs_avx512.cpp), with nothing kept clear of the run's end; only where the processor has
// the steps.
LineRun Avx2TextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                      std::size_t maxLine, std::string_view notFirst);
LineRun Avx512TextLines(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                        std::size_t maxLine, std::string_view notFirst);
}  // namespace line_run_steps

}  // namespace quillon
