// A listing made on several cores and written in its own order: the rows of a large scan take
// a noticeable while to format, and once the scan has ended the cores that carved sit idle.
// Batches are formatted by whichever thread is free, the calling one among them, and written
// by the calling thread one after the other; only a few are held at once, each text reused.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quillon {

// Appends the text of batch `index` to `out` (empty when called). Called on any of the
// threads, for different batches at once: it must only read what it shares.
using FormatBatch = std::function<void(std::size_t index, std::string& out)>;
// Takes the text of each batch, in batch order, on the calling thread.
using WriteBatch = std::function<void(std::string_view text)>;

// Formats batches 0 to `count` - 1 on up to `threads` threads (1: all on the calling one) and
// writes them in that order. Returns once the last is written.
void FormatInOrder(std::size_t count, unsigned threads, const FormatBatch& format,
                   const WriteBatch& write);

}  // namespace quillon
