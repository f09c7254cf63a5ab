#include "scan/find/line_start.h"

namespace quillon {

std::size_t LastLineStopPlain(const std::uint8_t* data, std::size_t floor, std::size_t end) {
  while (end > floor) {
    --end;
    if (StopsALineLookBack(data[end])) return end;
  }
  return kNoLineStop;
}

}  // namespace quillon
