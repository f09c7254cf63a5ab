// The digests a mail's print keeps of its texts. Texts are digested on the thread that merges
// the finds, so the digest must keep up with the bytes: sixteen lanes take a word each of every
// 128-byte block, each mixed by the product of its two halves, so that sixteen products are in
// flight rather than one chain of them (four at once in an AVX2 step). The digests live in
// memory for one scan and are only ever compared for equality: nothing writes them or orders by
// them.
//
// Equal bytes give equal digests however the digest was taken: a state carried over whole blocks
// and finished behind them gives the digest of all the bytes at once, whichever steps took them.
// A print digests its header block and its whole text from one state this way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/find/text_bytes.h"

namespace quillon {

class TextDigest {
 public:
  static constexpr std::size_t kBlock = 128;
  static constexpr std::size_t kLanes = 16;

  // Takes the whole blocks of the `size` bytes at `data` and returns how many bytes that was
  // (`size` rounded down to a whole block). `widest` caps the vector steps used.
  std::size_t TakeBlocks(const std::uint8_t* data, std::size_t size,
                         TextSteps widest = TextSteps::Avx2);

  // The digest of the bytes taken so far followed by the `size` bytes at `data`.
  std::uint64_t Finish(const std::uint8_t* data, std::size_t size,
                       TextSteps widest = TextSteps::Avx2) const;

 private:
  std::uint64_t lanes_[kLanes] = {
      0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL, 0xA4093822299F31D0ULL, 0x082EFA98EC4E6C89ULL,
      0x452821E638D01377ULL, 0xBE5466CF34E90C6CULL, 0xC0AC29B7C97C50DDULL, 0x3F84D5B5B5470917ULL};
  std::uint64_t taken_ = 0;  // bytes taken in whole blocks
};

// The digest of the `size` bytes at `data`.
std::uint64_t DigestOf(const std::uint8_t* data, std::size_t size,
                       TextSteps widest = TextSteps::Avx2);

namespace digest_steps {
// The AVX2 steps (mail_print_digest_avx2.cpp): `blocks` whole blocks from `data` into `lanes`,
// as the plain step takes them.
void Avx2(std::uint64_t* lanes, const std::uint8_t* data, std::size_t blocks);
}  // namespace digest_steps

}  // namespace quillon
