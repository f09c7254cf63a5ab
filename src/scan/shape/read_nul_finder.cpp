#include "scan/shape/read_nul_finder.h"

#include "scan/read/unreadable_sectors.h"

namespace quillon {

std::size_t ReadNulFinder::From(CarveBuffer buffer, std::size_t from) {
  const std::uint64_t at = buffer.base + from;
  const std::uint64_t end = buffer.base + buffer.size;
  std::size_t searchFrom = from;
  if (valid_ && at >= searchedFrom_ && at <= searchedTo_) {
    if (found_)
      return searchedTo_ < end ? static_cast<std::size_t>(searchedTo_ - buffer.base) : buffer.size;
    if (searchedTo_ >= end) return buffer.size;
    searchFrom = static_cast<std::size_t>(searchedTo_ - buffer.base);
  } else {
    searchedFrom_ = at;
  }
  const std::size_t nul = FindReadNul(buffer, searchFrom, buffer.size);
  valid_ = true;
  searchedTo_ = buffer.base + nul;
  found_ = nul < buffer.size;
  return nul;
}

}  // namespace quillon
