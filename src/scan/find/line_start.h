// Where a line of text begins, looked for backwards from its end. The shape scan walks from each
// From or Date line up over the lines of its header block, and every line it passes is read back
// to the byte in front of it: on dense mail that look back is a good part of the scan's cost.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

// Whether a look back for a line's start stops at `byte`: a line feed, or a byte that no line of
// text holds (a control byte other than tab, form feed, CR, SO, SI and ESC; DEL). The bytes that
// are text are those the line readers call text.
constexpr bool StopsALineLookBack(std::uint8_t byte) {
  if (byte >= 0x20) return byte == 0x7F;
  return byte != '\t' && byte != '\f' && byte != '\r' && byte != 0x0E && byte != 0x0F &&
         byte != 0x1B;
}

inline constexpr std::size_t kNoLineStop = static_cast<std::size_t>(-1);

// The greatest index in [floor, end) whose byte stops a look back (StopsALineLookBack);
// kNoLineStop when there is none. Sixteen bytes a step where the processor has them.
std::size_t LastLineStop(const std::uint8_t* data, std::size_t floor, std::size_t end);

// The same, a byte at a time: the reference the fast one is tested against.
std::size_t LastLineStopPlain(const std::uint8_t* data, std::size_t floor, std::size_t end);

}  // namespace quillon
