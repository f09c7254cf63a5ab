// Where lines that begin with "--" stand: MIME boundary lines are among them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

// Appends base + p for every p in [0, size - 3] where data holds "\n--", in order: sixteen bytes
// at a time.
void FindDashLines(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                   std::vector<std::uint64_t>& found);

// The same, a byte at a time: the reference the fast look is tested against.
void FindDashLinesPlain(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                        std::vector<std::uint64_t>& found);

}  // namespace quillon
