// Holds the one-pass run of text lines, in AVX2 and AVX-512 steps where the processor has them,
// against the line-by-line reference over arbitrary bytes: from every start the first byte picks,
// with and without barred first bytes, the same run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scan/body/text_line_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t setup = data[0];
  const std::uint8_t* bytes = data + 1;
  const std::size_t length = size - 1;
  const std::size_t begin = length == 0 ? 0 : (setup >> 2) % length;
  const std::size_t maxLine = (setup & 1) != 0 ? 40 : 32 * 1024;
  const std::string_view notFirst = (setup & 2) != 0 ? "-Rr" : "";
  const quillon::LineRun plain =
      quillon::TakeTextLinesPlain(bytes, length, begin, maxLine, 0, notFirst);
  for (const quillon::TextLineSteps steps :
       {quillon::TextLineSteps::Avx2, quillon::TextLineSteps::Avx512}) {
    const quillon::LineRun fast =
        quillon::TakeTextLineRun(bytes, length, begin, maxLine, notFirst, steps);
    if (fast.end != plain.end || fast.lines != plain.lines) std::abort();
  }
  return 0;
}
