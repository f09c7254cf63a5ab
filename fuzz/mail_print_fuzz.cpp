// Holds the block-wise look for a printed text's header block against the line-by-line reference,
// and the digest carried over whole blocks against the digest taken at once, and the vector
// steps against the plain ones, over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "scan/merge/mail_print_digest.h"
#include "scan/merge/mail_print_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quillon::HeaderLines fast = quillon::FindHeaderLines(data, size);
  const quillon::HeaderLines plain = quillon::FindHeaderLinesPlain(data, size);
  if (fast.end != plain.end || fast.fromLine != plain.fromLine) std::abort();
  // Split where the input's first byte says, as a print splits at its header block's end.
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  quillon::TextDigest carried;
  const std::size_t taken = carried.TakeBlocks(data, split);
  if (taken > split || split - taken >= quillon::TextDigest::kBlock) std::abort();
  const std::uint64_t atOnce = quillon::DigestOf(data, size);
  if (carried.Finish(data + taken, size - taken) != atOnce) std::abort();
  if (quillon::DigestOf(data, size, quillon::TextSteps::Bytes) != atOnce) std::abort();
  return 0;
}
