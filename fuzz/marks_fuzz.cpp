// Holds the mark search's vector steps of every width this processor has against one byte at a
// time, over arbitrary bytes at an arbitrary source position and range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "scan/find/byte_patterns.h"
#include "scan/find/line_break_map.h"

namespace {

struct Marks {
  std::vector<std::uint64_t> anchors;
  std::vector<std::uint64_t> sizeFields;
  quillon::LineBreakMap lineBreaks;
};

Marks Find(const std::uint8_t* data, std::size_t begin, std::size_t end, std::uint64_t base,
           quillon::MarkSteps steps) {
  Marks marks;
  const std::uint64_t start = base / 512 * 512;
  marks.lineBreaks = quillon::LineBreakMap(start, base + end - start);
  quillon::FindMarkPositions(data, begin, end, base, marks.anchors, marks.sizeFields,
                             marks.lineBreaks.Bits(), steps);
  return marks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // The first bytes choose the source position and where the range begins.
  const std::uint64_t base = data[0] * 4 + (data[1] & 3);
  const std::size_t begin = data[1] >> 2;
  const std::vector<std::uint8_t> bytes(data + 2, data + size);
  if (begin > bytes.size()) return 0;
  const Marks reference = Find(bytes.data(), begin, bytes.size(), base, quillon::MarkSteps::Bytes);
  for (quillon::MarkSteps steps :
       {quillon::MarkSteps::Sse2, quillon::MarkSteps::Avx2, quillon::MarkSteps::Avx512}) {
    if (steps > quillon::WidestMarkSteps()) break;
    const Marks fast = Find(bytes.data(), begin, bytes.size(), base, steps);
    if (fast.anchors != reference.anchors || fast.sizeFields != reference.sizeFields) std::abort();
    // The sectors that may hold a NUL are exact, those that may hold a dash at least every one
    // with a dash: the searches behind them skip the rest.
    if (fast.lineBreaks.NulWords() != reference.lineBreaks.NulWords()) std::abort();
    const std::vector<std::uint64_t>& dashes = fast.lineBreaks.DashWords();
    const std::vector<std::uint64_t>& expected = reference.lineBreaks.DashWords();
    for (std::size_t word = 0; word < expected.size(); ++word)
      if ((expected[word] & ~dashes[word]) != 0) std::abort();
    // Vector steps may mark more sectors, never fewer.
    for (std::uint64_t at = base + begin; at < base + bytes.size(); at += 512) {
      for (bool traceLinesOnly : {false, true}) {
        if (reference.lineBreaks.NextPossible(at, at + 1, traceLinesOnly) == at &&
            fast.lineBreaks.NextPossible(at, at + 1, traceLinesOnly) != at)
          std::abort();
      }
    }
  }
  return 0;
}
