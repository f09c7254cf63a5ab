// The mark kernel built for SSE2; chosen at run time where the processor has it.
#include "scan/find/mark_steps.h"

#ifdef QUILLON_X86_VECTORS
#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/find/line_break_map.h"
#include "scan/source_position.h"

QUILLON_TARGET_BEGIN("sse2")
#include "scan/find/mark_kernel.h"
#include "scan/find/simd_sse2.h"

namespace quillon::mark_steps {

std::size_t Sse2(const std::uint8_t* data, std::size_t i, std::size_t end, std::uint64_t base,
                 std::vector<std::uint64_t>& anchors, std::vector<std::uint64_t>& sizeFields,
                 LineBreakBits lineBreaks) {
  return MarkKernel<simd::Sse2>::Run(data, i, end, base, anchors, sizeFields, lineBreaks);
}

}  // namespace quillon::mark_steps
QUILLON_TARGET_END
#endif
