// Reads a source that may hold sectors which cannot be read, so that only the sectors that
// really fail come out as zeros, and a region that keeps failing costs about one read per
// sector in it rather than hours of retried large reads. It works the way data-recovery tools
// read a failing disk:
//
// 1. A stretch is first read in pieces. After a piece fails, the reader skips ahead (0, 1, 3,
//    7, ... pieces after each failure in a row, at most kMaxSkipPieces) and reads on behind it;
//    the failed and the skipped pieces are left for later. The skip carries over from one
//    stretch to the next, so a dead region is crossed with a few reads.
// 2. Before the stretch is handed out it comes back to what it left: a failed piece is halved
//    until its failing sector is found (a lone bad sector costs about eight reads); behind
//    failing sectors in a row the reads go one sector at a time, doubling with each read that
//    succeeds, up to a piece (a dead region costs one read per sector and a few more).
//
// A sector is reported unreadable only when a read that holds it failed while every other
// sector of that read could be read. Callers read stretches in
// ascending order (a scan chunk by chunk, the re-reader piece by piece); the stretch a caller
// asks for is complete when Read returns, so what it hands on is never changed later.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "source/data_source.h"
#include "source/sector_ranges.h"

namespace quillon {

class RescueReader {
 public:
  // Pieces a skip may jump over at most.
  static constexpr std::uint64_t kMaxSkipPieces = 128;

  explicit RescueReader(DataSource& source, std::uint32_t pieceSectors = 128);

  // Reads the sectors [first, first + count) into `buffer` (count × 512 bytes; the source's
  // trailing partial sector comes zero-padded). Returns the sectors that could not be read,
  // ascending and merged; they are zeros in `buffer`. `settled`, when given, is told how many
  // sectors from `first` on are final each time that number grows. Once `stop` is set no further
  // read begins: what was not read is zeros and not listed.
  std::vector<SectorRange> Read(std::uint8_t* buffer, std::uint64_t first, std::uint64_t count,
                                const std::function<void(std::uint64_t)>& settled = {},
                                const std::atomic<bool>* stop = nullptr);

  // The reads asked of the source so far.
  std::uint64_t ReadCalls() const { return readCalls_; }

 private:
  // A stretch left by the first pass: a piece whose read failed, or pieces skipped untried.
  struct LeftStretch {
    std::uint64_t first;
    std::uint64_t end;
    bool failed;
  };

  bool ReadRun(std::uint8_t* at, std::uint64_t sector, std::uint64_t count);
  void ComeBack(std::uint8_t* buffer, std::uint64_t first, const LeftStretch& left,
                std::vector<SectorRange>& unreadable, const std::atomic<bool>* stop);

  DataSource& source_;
  const std::uint64_t pieceSectors_;
  std::uint64_t readCalls_ = 0;
  // Carried from one stretch to the next while a region keeps failing.
  std::uint64_t skipUntil_ = 0;
  std::uint32_t failuresInARow_ = 0;
  std::uint64_t unreadableEnd_ = 0;  // behind the last sector found unreadable
};

// Reads `count` bytes at the absolute `offset` as DataSource::ReadBytes does, but a read that
// fails is done again sector by sector, and only the sectors that really fail come out as
// zeros: a short read across one bad sector then looks as it does in a scan chunk. False only
// where ReadBytes refuses the stretch whatever the medium (empty, or past the last sector).
[[nodiscard]] bool ReadBytesRescued(DataSource& source, std::uint64_t offset, std::size_t count,
                                    std::uint8_t* out);

}  // namespace quillon
