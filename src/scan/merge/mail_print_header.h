// Where a printed text's header block ends and where its From line stands. Every found mail's
// header block is looked at this way on the workers: one pass over 64-byte blocks of line-feed
// and CR bits finds both, where a search per line paid its call and set-up once for each line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

struct HeaderLines {
  // The index behind the empty line that ends the header block; 0 when the text holds none (an
  // empty first line ends nothing).
  std::size_t end = 0;
  // The start of the first line before `end` that begins with "From:" (the name in either letter
  // case) and has those five bytes before `end`; 0 when none does (or the text begins with it).
  std::size_t fromLine = 0;
};

// Both, for the `size` bytes at `data`.
HeaderLines FindHeaderLines(const std::uint8_t* data, std::size_t size);

// The same, a line at a time: the reference the fast one is tested against.
HeaderLines FindHeaderLinesPlain(const std::uint8_t* data, std::size_t size);

}  // namespace quillon
