// How the re-reader reads its bytes: failed reads are retried sector by sector (RescueReader),
// the bytes of sectors that still cannot be read stand as kUnreadableFill in the text it
// searches, and where they lie is kept so that the text handed out can have zeros there. Private
// to the re-reader.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "source/data_source.h"
#include "source/rescue_reader.h"

namespace quillon::mail_reader {

// A text byte that ends no mail and begins no line, header or block header: unknown bytes must
// neither end a mail (as zeros would) nor start one.
inline constexpr std::uint8_t kUnreadableFill = ' ';

// Absolute byte stretches [first, second).
using ByteSpans = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

class RescuedSource {
 public:
  RescuedSource(DataSource& source, const std::atomic<bool>* stopRequested);

  // Reads `count` bytes at the absolute `offset` into `out`; bytes past the source's end are
  // zeros. Unreadable bytes come as kUnreadableFill and are noted.
  void Read(std::uint64_t offset, std::size_t count, std::uint8_t* out);

  // The unreadable stretches read so far, ascending and merged.
  const ByteSpans& Unreadable() const { return unreadable_; }

  DataSource& Source() { return source_; }

 private:
  DataSource& source_;
  RescueReader rescue_;
  const std::atomic<bool>* stopRequested_;
  std::vector<std::uint8_t> sectors_;
  ByteSpans unreadable_;
};

// Puts zeros into `text` at the stretches of `spans` (in the text's own positions), clipped to
// the text.
void ZeroSpans(std::string& text, const ByteSpans& spans);

// The stretches of `unreadable` that lie in the absolute [start, start + length), in positions
// counted from `start`.
ByteSpans SpansWithin(const ByteSpans& unreadable, std::uint64_t start, std::uint64_t length);

}  // namespace quillon::mail_reader
