// Where lines that begin with "--" stand: MIME boundary lines are among them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

enum class DashLineSteps { Bytes, Sse2, Avx2, Avx512 };

// Appends base + p for every p in [0, size - 3] where data holds "\n--", in order: 64 bytes at a
// time where the processor has AVX-512 or AVX2, else sixteen. `widest` caps the vector steps used,
// so that each can be held against the reference.
void FindDashLines(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                   std::vector<std::uint64_t>& found, DashLineSteps widest = DashLineSteps::Avx512);

// The same, a byte at a time: the reference the fast look is tested against.
void FindDashLinesPlain(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                        std::vector<std::uint64_t>& found);

namespace dash_line_steps {
// The AVX2 steps (dash_lines_avx2.cpp): appends the finds of whole 64-byte steps from 0 on while
// the two bytes behind a step lie within `size`, and hands back where they stopped.
std::size_t Avx2(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                 std::vector<std::uint64_t>& found);
// The same steps with AVX-512 (dash_lines_avx512.cpp).
std::size_t Avx512(const std::uint8_t* data, std::size_t size, std::uint64_t base,
                   std::vector<std::uint64_t>& found);
}  // namespace dash_line_steps

}  // namespace quillon
