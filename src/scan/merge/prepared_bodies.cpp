#include "scan/merge/prepared_bodies.h"

#include <algorithm>

#include "scan/shape/shape_body.h"

namespace quillon {

namespace {

// Bodies this far behind the newest ones are let go of: their blocks are long decided, or the
// guess of their next mail was wrong.
constexpr std::uint64_t kKeptBehind = 32 * 1024 * 1024;

}  // namespace

void PreparedBodies::Add(std::vector<PreparedBody>&& bodies) {
  if (bodies.empty()) return;
  std::uint64_t newest = 0;
  for (PreparedBody& body : bodies) {
    newest = std::max(newest, body.start);
    const auto key = std::make_pair(body.start, body.limit);
    bodies_.insert_or_assign(key, std::move(body));
  }
  if (newest > kKeptBehind)
    bodies_.erase(bodies_.begin(), bodies_.lower_bound({newest - kKeptBehind, 0}));
}

std::optional<MailBody> PreparedBodies::Take(std::uint64_t start, std::uint64_t headerEnd,
                                             std::uint64_t limit, CarveBuffer buffer) {
  const auto found = bodies_.find({start, limit});
  if (found == bodies_.end()) return std::nullopt;
  PreparedBody prepared = std::move(found->second);
  bodies_.erase(found);
  // Both followings must have seen every byte a following looks at; where either buffer ends
  // sooner, what it saw depends on where it ends.
  const std::uint64_t reach = FollowReach(headerEnd, limit);
  if (start < buffer.base || reach > buffer.base + buffer.size || reach > prepared.bytesEnd)
    return std::nullopt;
  return std::move(prepared.body);
}

}  // namespace quillon
