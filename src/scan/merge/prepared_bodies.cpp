#include "scan/merge/prepared_bodies.h"

#include "scan/shape/shape_body.h"

namespace quillon {

std::optional<MailBody> PreparedBodies::Take(std::uint64_t start, std::uint64_t headerEnd,
                                             std::uint64_t limit, CarveBuffer buffer) {
  std::optional<PreparedBody> prepared = bodies_.Take(start, limit);
  if (!prepared) return std::nullopt;
  // Both followings must have seen every byte a following looks at; where either buffer ends
  // sooner, what it saw depends on where it ends.
  const std::uint64_t reach = FollowReach(headerEnd, limit);
  if (start < buffer.base || reach > buffer.base + buffer.size || reach > prepared->bytesEnd)
    return std::nullopt;
  return std::move(prepared->body);
}

}  // namespace quillon
