// The one pass over a run of text lines, written once for every instruction set: `Look` gives a
// bit for each of the 64 bytes at a pointer that no line of text holds. Each line_runs_*.cpp
// includes this inside its set's target region and instantiates it there, so everything here
// depends on `Look` (a plain inline function would be built for several sets under one name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/find/line_runs.h"
#include "scan/find/read_ahead.h"

namespace quillon::line_run_steps {

template <class Look>
struct OnePass {
  static constexpr std::size_t kStep = 64;

  static bool IsTextLineByte(std::uint8_t c) { return (c >= 0x20 && c != 0x7F) || c == '\t'; }

  // The bytes no line of the run may begin with, one bit each: asked at every line start.
  class BarredFirst {
   public:
    explicit BarredFirst(std::string_view notFirst) {
      for (const char c : notFirst) {
        const auto byte = static_cast<std::uint8_t>(c);
        bits_[byte >> 6] |= std::uint64_t{1} << (byte & 63);
      }
    }
    bool operator()(std::uint8_t first) const {
      return ((bits_[first >> 6] >> (first & 63)) & 1) != 0;
    }

   private:
    std::uint64_t bits_[4] = {};
  };

  // The stop bytes of the last look, kept so that the next line's end is often found in them.
  class StopSearch {
   public:
    StopSearch(const std::uint8_t* data, std::size_t limit) : data_(data), limit_(limit) {}

    // The first index in [from, limit) whose byte no line of text holds; `limit` when none
    // does. `from` never goes back.
    std::size_t From(std::size_t from) {
      if (looked_ && from < at_ + kStep) {
        const std::uint64_t left = bits_ & (~std::uint64_t{0} << (from - at_));
        if (left != 0) return at_ + static_cast<std::size_t>(__builtin_ctzll(left));
        from = at_ + kStep;
      }
      for (; from + kStep <= limit_; from += kStep) {
        // The walk goes on through these bytes: ask for those it comes to next while this look
        // is judged (a prefetch past the bytes' end reads nothing).
        __builtin_prefetch(data_ + from + kReadAheadBytes);
        bits_ = Look::StopBits(data_ + from);
        at_ = from;
        looked_ = true;
        if (bits_ != 0) return from + static_cast<std::size_t>(__builtin_ctzll(bits_));
      }
      looked_ = false;
      for (; from < limit_; ++from)
        if (!IsTextLineByte(data_[from])) return from;
      return limit_;
    }

   private:
    const std::uint8_t* data_;
    std::size_t limit_;
    std::size_t at_ = 0;
    std::uint64_t bits_ = 0;
    bool looked_ = false;
  };

  static LineRun Run(const std::uint8_t* data, std::size_t limit, std::size_t begin,
                     std::size_t maxLine, std::string_view notFirst) {
    LineRun run{begin, 0};
    StopSearch stops(data, limit);
    const BarredFirst barred(notFirst);
    for (std::size_t start = begin; start < limit && !barred(data[start]);) {
      const std::size_t lineEnd = stops.From(start);
      const std::size_t length = lineEnd - start;
      if (length == 0 || length >= maxLine || lineEnd + 1 >= limit || data[lineEnd] != '\r' ||
          data[lineEnd + 1] != '\n')
        break;
      start = lineEnd + 2;
      run = {start, run.lines + 1};
    }
    return run;
  }
};

}  // namespace quillon::line_run_steps
