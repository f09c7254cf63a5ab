// Bodies of mails found by the shape of their header block, followed ahead of the merge on the
// threads that walk later chunks, so that the thread that puts the finds in order only looks
// them up. Following a body reads the bytes from the block on up to a reach (FollowReach) and
// nothing else: one followed in bytes that reach as far, up to the same next mail, is the body
// the merge would follow itself. Where a guess made ahead turns out wrong (another next mail, a
// block that a trace find takes, bytes that end too soon), the merge follows the body itself.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "scan/mail_record.h"
#include "scan/merge/made_ahead.h"
#include "scan/source_bytes.h"

namespace quillon {

// The body of the header block at `start`, followed up to where the next mail begins (`limit`)
// in bytes that reached up to the absolute byte `bytesEnd`.
struct PreparedBody {
  std::uint64_t start = 0;
  std::uint64_t limit = 0;
  std::uint64_t bytesEnd = 0;
  MailBody body;
};

// Bodies followed ahead, looked up by the block and the bound they were followed to. Used by one
// thread only.
class PreparedBodies {
 public:
  // Bodies of a later stretch; those far behind it are let go of.
  void Add(std::vector<PreparedBody>&& bodies) { bodies_.Add(std::move(bodies)); }
  // The body of the block from `start` to `headerEnd` followed up to `limit`, when one was
  // followed ahead in bytes that reach as far as the merge's `buffer` needs; used up.
  std::optional<MailBody> Take(std::uint64_t start, std::uint64_t headerEnd, std::uint64_t limit,
                               CarveBuffer buffer);
  std::size_t Size() const { return bodies_.Size(); }

 private:
  MadeAhead<PreparedBody> bodies_;
};

}  // namespace quillon
