// What the threads that walk later chunks make ahead of the merge (prints of texts, followed
// bodies), kept by the stretch of bytes each was made for until the thread that puts the finds
// in order takes it. Used by one thread only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace quillon {

// `Made` has the absolute `start` and `limit` of the bytes it was made for.
template <typename Made>
class MadeAhead {
 public:
  // What was made for a later stretch; what lies far behind it is let go of: its mails are long
  // decided, or their bounds were guessed wrong.
  void Add(std::vector<Made>&& made) {
    if (made.empty()) return;
    std::uint64_t newest = 0;
    for (Made& one : made) {
      newest = std::max(newest, one.start);
      const auto key = std::make_pair(one.start, one.limit);
      made_.insert_or_assign(key, std::move(one));
    }
    if (newest > kKeptBehind)
      made_.erase(made_.begin(), made_.lower_bound({newest - kKeptBehind, 0}));
  }

  // What was made for the bytes from `start` up to `limit`, if anything; used up.
  std::optional<Made> Take(std::uint64_t start, std::uint64_t limit) {
    const auto found = made_.find({start, limit});
    if (found == made_.end()) return std::nullopt;
    Made taken = std::move(found->second);
    made_.erase(found);
    return taken;
  }

  std::size_t Size() const { return made_.size(); }

 private:
  static constexpr std::uint64_t kKeptBehind = 32 * 1024 * 1024;
  std::map<std::pair<std::uint64_t, std::uint64_t>, Made> made_;
};

}  // namespace quillon
