#include "bench_probe.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string_view>

namespace quillon::bench {

namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::uint64_t StatusKibibytes(std::string_view field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size(), field) == 0)
      return std::stoull(line.substr(field.size() + 1)) * 1024;
  }
  return 0;
}

}  // namespace

Stopwatch::Stopwatch() : wallStart_(std::chrono::steady_clock::now()), cpuStart_(CpuSeconds()) {}

Timing Stopwatch::Elapsed() const {
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart_;
  return Timing{wall.count(), CpuSeconds() - cpuStart_};
}

std::uint64_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

std::uint64_t ResidentBytes() {
  return StatusKibibytes("VmRSS:");
}

std::uint64_t PeakResidentBytes() {
  return StatusKibibytes("VmHWM:");
}

std::string LoadAverage() {
  std::ifstream load("/proc/loadavg");
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

Timing Best(const std::vector<Timing>& timings) {
  if (timings.empty()) return {};
  return *std::min_element(timings.begin(), timings.end(),
                           [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
}

std::string SecondsText(const Timing& timing) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f s (%.3f CPU)", timing.wall, timing.cpu);
  return text;
}

std::string MebibytesText(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
  return text;
}

}  // namespace quillon::bench
