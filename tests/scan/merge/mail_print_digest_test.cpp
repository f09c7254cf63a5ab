// The digests of printed texts: a state carried over whole blocks finishes as the digest of all
// the bytes at once, the plain steps and the vector steps alike, and texts that differ anywhere (a
// bit, a zero behind the end, blocks in another order) digest apart, the bits high in a word as
// much as the low ones.
#include "scan/merge/mail_print_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

#include "support/paths.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

const std::uint8_t* BytesOf(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::uint64_t DigestOfText(const std::string& text) {
  return DigestOf(BytesOf(text), text.size());
}

// The first `size` bytes of the corpus's mails laid end to end: real text, of any length.
std::string CorpusText(std::size_t size) {
  std::string text;
  for (const auto& file : test::CorpusMessageFiles()) {
    text += test::ReadFileBytes(file);
    if (text.size() >= size) break;
  }
  return text.size() >= size ? text.substr(0, size) : std::string{};
}

struct LengthRow {
  const char* name;
  std::size_t size;
};

class DigestTest : public ::testing::TestWithParam<LengthRow> {
 protected:
  void SetUp() override {
    text_ = CorpusText(GetParam().size + 1);
    if (text_.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
    text_.resize(GetParam().size);
  }
  std::string text_;
};

// Carried over every whole-block split, in one step or block by block, the digest is the same.
TEST_P(DigestTest, CarriedOverWholeBlocksDigestsAsAtOnce) {
  const std::uint64_t atOnce = DigestOfText(text_);
  for (std::size_t split = 0; split <= text_.size(); split += TextDigest::kBlock) {
    TextDigest carried;
    EXPECT_EQ(carried.TakeBlocks(BytesOf(text_), split), split);
    EXPECT_EQ(carried.Finish(BytesOf(text_) + split, text_.size() - split), atOnce) << split;
    TextDigest stepwise;
    for (std::size_t at = 0; at < split; at += TextDigest::kBlock)
      stepwise.TakeBlocks(BytesOf(text_) + at, TextDigest::kBlock);
    EXPECT_EQ(stepwise.Finish(BytesOf(text_) + split, text_.size() - split), atOnce) << split;
  }
  // The plain lane steps take the blocks as the vector steps do.
  EXPECT_EQ(DigestOf(BytesOf(text_), text_.size(), TextSteps::Bytes), atOnce);
  // Bytes short of a whole block are left for the finish.
  TextDigest partial;
  EXPECT_EQ(partial.TakeBlocks(BytesOf(text_), text_.size()),
            text_.size() / TextDigest::kBlock * TextDigest::kBlock);
}

// Every bit of every byte counts: the top bit of a word as much as its lowest.
TEST_P(DigestTest, EveryBitFlippedDigestsApart) {
  const std::uint64_t original = DigestOfText(text_);
  for (std::size_t at = 0; at < text_.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string flipped = text_;
      flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
      ASSERT_NE(DigestOfText(flipped), original) << "byte " << at << " bit " << bit;
    }
  }
}

// Two top bits flipped in two words of the same lane cancel in a product that carries bits only
// upwards; here they must not.
TEST_P(DigestTest, TwoTopBitsInOneLaneDigestApart) {
  const std::uint64_t original = DigestOfText(text_);
  for (std::size_t first = 7; first + TextDigest::kBlock < text_.size(); first += 8) {
    std::string flipped = text_;
    flipped[first] = static_cast<char>(flipped[first] ^ 0x80);
    flipped[first + TextDigest::kBlock] =
        static_cast<char>(flipped[first + TextDigest::kBlock] ^ 0x80);
    ASSERT_NE(DigestOfText(flipped), original) << first;
  }
}

// A zero behind the text is no padding of its tail; a byte less digests apart too.
TEST_P(DigestTest, LengthCounts) {
  const std::uint64_t original = DigestOfText(text_);
  EXPECT_NE(DigestOfText(text_ + std::string(1, '\0')), original);
  EXPECT_NE(DigestOfText(text_ + std::string(16, '\0')), original);
  if (!text_.empty()) {
    EXPECT_NE(DigestOfText(text_.substr(0, text_.size() - 1)), original);
  }
}

INSTANTIATE_TEST_SUITE_P(
    MailPrintDigest, DigestTest,
    ::testing::Values(LengthRow{"Empty", 0}, LengthRow{"OneByte", 1}, LengthRow{"HalfLane", 8},
                      LengthRow{"ByteShortOfALane", 15}, LengthRow{"OneLane", 16},
                      LengthRow{"ByteShortOfABlock", 127}, LengthRow{"OneBlock", 128},
                      LengthRow{"ByteOverABlock", 129}, LengthRow{"TwoBlocksAndAPiece", 300},
                      LengthRow{"ManyBlocks", 1000}),
    test::RowName());

// Blocks, and the lanes' pieces of a block, in another order digest apart.
TEST(MailPrintDigest, OrderCounts) {
  const std::string text = CorpusText(1024);
  if (text.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  const std::uint64_t original = DigestOfText(text);
  for (std::size_t first = 0; first + 2 * TextDigest::kBlock <= text.size();
       first += TextDigest::kBlock) {
    std::string blocksSwapped = text;
    std::swap_ranges(blocksSwapped.begin() + first,
                     blocksSwapped.begin() + first + TextDigest::kBlock,
                     blocksSwapped.begin() + first + TextDigest::kBlock);
    ASSERT_NE(blocksSwapped, text) << first;
    EXPECT_NE(DigestOfText(blocksSwapped), original) << first;
    std::string lanesSwapped = text;
    std::swap_ranges(lanesSwapped.begin() + first, lanesSwapped.begin() + first + 16,
                     lanesSwapped.begin() + first + 16);
    ASSERT_NE(lanesSwapped, text) << first;
    EXPECT_NE(DigestOfText(lanesSwapped), original) << first;
  }
}

// Windows of the corpus's text digest alike exactly where their bytes are alike.
TEST(MailPrintDigest, CorpusWindowsDigestApartUnlessAlike) {
  const std::string text = CorpusText(512 * 1024);
  if (text.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::map<std::uint64_t, std::string_view> windows;
  const std::string_view all = text;
  for (std::size_t at = 0; at + 300 <= text.size(); at += 37) {
    const std::string_view window = all.substr(at, 300);
    const auto [kept, fresh] = windows.emplace(DigestOf(BytesOf(text) + at, 300), window);
    if (!fresh) {
      ASSERT_EQ(kept->second, window) << at;
    }
  }
}

}  // namespace
}  // namespace quillon
