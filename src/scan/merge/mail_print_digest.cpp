#include "scan/merge/mail_print_digest.h"

#include <cstring>

#include "scan/find/simd_target.h"

namespace quillon {

namespace {

constexpr std::uint64_t kLengthKey = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kJoinKey = 0xC2B2AE3D27D4EB4FULL;

// The low and high halves of the 128-bit product, folded: every input bit reaches most output
// bits, both ways. Only the finish mixes this way, once per lane.
std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
#ifdef __SIZEOF_INT128__
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
#else
  // The same product from 32-bit halves.
  const std::uint64_t aLow = a & 0xFFFFFFFF, aHigh = a >> 32, bLow = b & 0xFFFFFFFF,
                      bHigh = b >> 32;
  const std::uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh, highLow = aHigh * bLow;
  const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFF) + (highLow & 0xFFFFFFFF);
  const std::uint64_t low = (lowLow & 0xFFFFFFFF) | (middle << 32);
  const std::uint64_t high = aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
  return low ^ high;
#endif
}

// A lane's step: the word folded in, then the product of the two halves added, which carries
// the high half's bits down and the low half's up. The sum keeps what the product loses where
// a half is zero.
void TakeBlocksPlain(std::uint64_t* lanes, const std::uint8_t* data, std::size_t blocks) {
  for (std::size_t block = 0; block < blocks; ++block) {
    for (std::size_t lane = 0; lane < TextDigest::kLanes; ++lane) {
      std::uint64_t word;
      std::memcpy(&word, data + block * TextDigest::kBlock + lane * 8, 8);
      const std::uint64_t folded = lanes[lane] ^ word;
      lanes[lane] = folded + (folded & 0xFFFFFFFF) * (folded >> 32);
    }
  }
}

}  // namespace

std::size_t TextDigest::TakeBlocks(const std::uint8_t* data, std::size_t size, TextSteps widest) {
  const std::size_t blocks = size / kBlock;
  if (blocks == 0) return 0;
#ifdef QUILLON_X86_VECTORS
  if (widest >= TextSteps::Avx2 && WidestTextSteps() >= TextSteps::Avx2)
    digest_steps::Avx2(lanes_, data, blocks);
  else
    TakeBlocksPlain(lanes_, data, blocks);
#else
  (void)widest;
  TakeBlocksPlain(lanes_, data, blocks);
#endif
  taken_ += blocks * kBlock;
  return blocks * kBlock;
}

std::uint64_t TextDigest::Finish(const std::uint8_t* data, std::size_t size,
                                 TextSteps widest) const {
  TextDigest rest = *this;
  const std::size_t whole = rest.TakeBlocks(data, size, widest);
  const std::uint64_t length = rest.taken_ + (size - whole);
  if (whole < size) {
    // The last bytes with zeros behind them; the length mixed in below tells them from a text
    // that holds those zeros.
    std::uint8_t padded[kBlock] = {};
    std::memcpy(padded, data + whole, size - whole);
    rest.TakeBlocks(padded, kBlock, widest);
  }
  std::uint64_t digest = Mix(length ^ kLengthKey, kJoinKey);
  for (const std::uint64_t lane : rest.lanes_) digest = Mix(digest ^ lane, kJoinKey);
  return digest ^ (digest >> 29);
}

std::uint64_t DigestOf(const std::uint8_t* data, std::size_t size, TextSteps widest) {
  return TextDigest{}.Finish(data, size, widest);
}

}  // namespace quillon
