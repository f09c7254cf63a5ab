// What the list benchmark reads off the process: wall and CPU time of a call, the heap and the
// resident memory, and the machine's load, and how it prints them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::bench {

struct Timing {
  double wall = 0;  // seconds
  double cpu = 0;   // seconds of this process, all its threads
};

class Stopwatch {
 public:
  Stopwatch();
  Timing Elapsed() const;

 private:
  std::chrono::steady_clock::time_point wallStart_;
  double cpuStart_ = 0;
};

template <typename Call>
Timing Time(Call&& call) {
  Stopwatch watch;
  call();
  return watch.Elapsed();
}

// Bytes the allocator has handed out and not got back (mallinfo2), and the resident set now and
// at its peak (/proc/self/status).
std::uint64_t HeapInUse();
std::uint64_t ResidentBytes();
std::uint64_t PeakResidentBytes();

// "0.91 1.20 1.33" from /proc/loadavg.
std::string LoadAverage();

// The best (lowest wall time) of several timings of one thing.
Timing Best(const std::vector<Timing>& timings);

// "0.412 s (0.398 s CPU)"
std::string SecondsText(const Timing& timing);
std::string MebibytesText(double bytes);

}  // namespace quillon::bench
