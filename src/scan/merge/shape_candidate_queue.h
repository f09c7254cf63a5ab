// The header blocks found by shape that the merge has not decided yet, in position order. They
// come a chunk's list at a time and are kept in those lists as they came: a candidate is large
// (its header values and a body), and moving each one into a queue of its own cost an
// allocation, a move and a free per block, on the thread that puts the finds in order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "scan/shape/shape_scanner.h"

namespace quillon {

// Template over the candidate so that a test can fill it with small ones; `Candidate` has a
// `start` (absolute byte) and the lists added stand in position order one behind the other.
template <typename Candidate>
class CandidateQueue {
 public:
  // The blocks of a later stretch, in position order, behind every block added before.
  void Add(std::vector<Candidate>&& batch) {
    if (!batch.empty()) batches_.push_back(std::move(batch));
  }

  bool empty() const { return batches_.empty(); }
  Candidate& front() { return batches_.front()[head_]; }
  const Candidate& back() const { return batches_.back().back(); }
  // The block behind the first one; null when there is none.
  const Candidate* second() const {
    if (batches_.empty()) return nullptr;
    if (head_ + 1 < batches_.front().size()) return &batches_.front()[head_ + 1];
    return batches_.size() > 1 ? &batches_[1].front() : nullptr;
  }

  // The first block is decided: it goes (with the list it came in, once that is used up).
  void pop_front() {
    if (++head_ < batches_.front().size()) return;
    batches_.pop_front();
    head_ = 0;
  }
  void pop_back() {
    std::vector<Candidate>& last = batches_.back();
    last.pop_back();
    if (last.size() > (batches_.size() == 1 ? head_ : 0)) return;
    batches_.pop_back();
    if (batches_.empty()) head_ = 0;
  }

  // Where the first block held begins behind the absolute byte `after`; UINT64_MAX when none.
  std::uint64_t StartBehind(std::uint64_t after) const {
    for (std::size_t i = 0; i < batches_.size(); ++i) {
      const std::vector<Candidate>& batch = batches_[i];
      if (batch.back().start <= after) continue;
      const auto first = batch.begin() + static_cast<std::ptrdiff_t>(i == 0 ? head_ : 0);
      return std::upper_bound(first, batch.end(), after,
                              [](std::uint64_t at, const Candidate& c) { return at < c.start; })
          ->start;
    }
    return UINT64_MAX;
  }

 private:
  std::deque<std::vector<Candidate>> batches_;  // none empty beyond its first `head_` in front
  std::size_t head_ = 0;                        // the first undecided block of the front list
};

using ShapeCandidateQueue = CandidateQueue<ShapeCandidate>;

}  // namespace quillon
