// A store message's text is read from its block chain; a mail given back begins at its first
// header line, not at the line of blanks some messages open with, and every byte kept still says
// where in the source it lies.
#include "scan/read/store_chain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "scan/mail_record.h"
#include "scan/reread/mail_extent_reader.h"
#include "source/memory_source.h"

namespace quillon {
namespace {

using Pieces = std::vector<std::pair<std::uint64_t, std::size_t>>;

struct DropRow {
  const char* name;
  Pieces pieces;  // the chain's stretches; the text is their bytes, 'a' + piece number
  std::uint64_t firstLine;
  Pieces expectedPieces;
  std::size_t dropped;  // bytes gone from the text's front
};

void PrintTo(const DropRow& row, std::ostream* out) {
  *out << row.name;
}

class DropTextBeforeTest : public testing::TestWithParam<DropRow> {};

TEST_P(DropTextBeforeTest, KeepsTextAndPiecesTogether) {
  const DropRow& row = GetParam();
  StoreChainText chain;
  for (std::size_t k = 0; k < row.pieces.size(); ++k) {
    chain.text.append(row.pieces[k].second, static_cast<char>('a' + k));
    chain.pieces.push_back(row.pieces[k]);
  }
  const std::string before = chain.text;
  DropTextBefore(chain, row.firstLine);
  EXPECT_EQ(chain.pieces, row.expectedPieces);
  EXPECT_EQ(chain.text, before.substr(row.dropped));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DropTextBeforeTest,
    testing::Values(
        DropRow{"AtTheTextStart", {{1000, 100}}, 1000, {{1000, 100}}, 0},
        DropRow{
            "InsideTheFirstPiece", {{1000, 100}, {3000, 50}}, 1040, {{1040, 60}, {3000, 50}}, 40},
        DropRow{"AtTheSecondPiece", {{1000, 100}, {3000, 50}}, 3000, {{3000, 50}}, 100},
        DropRow{"InsideTheSecondPiece",
                {{1000, 100}, {3000, 50}, {500, 20}},
                3010,
                {{3010, 40}, {500, 20}},
                110},
        DropRow{"PiecesOutOfSourceOrder", {{5000, 100}, {2000, 100}}, 2001, {{2001, 99}}, 101},
        DropRow{"BeforeTheChain", {{1000, 100}}, 999, {{1000, 100}}, 0},
        DropRow{"BehindTheChain", {{1000, 100}}, 1100, {{1000, 100}}, 0},
        DropRow{"NoPieces", {}, 0, {}, 0}),
    [](const testing::TestParamInfo<DropRow>& row) { return std::string(row.param.name); });

// One store block at `at` of the image: its header (own offset, data area, used bytes, next
// block) and `text` behind it.
void PutBlock(std::string& image, std::size_t at, std::uint32_t self, std::uint32_t next,
              const std::string& text) {
  auto put32 = [&](std::size_t where, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) image[where + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
  };
  put32(at, self);
  put32(at + 4, 0x200);
  put32(at + 8, static_cast<std::uint32_t>(text.size()));
  put32(at + 12, next);
  image.replace(at + 16, text.size(), text);
}

struct SavedRow {
  const char* name;
  std::string firstBlock;   // the chain's first block's text
  std::string secondBlock;  // the next block's text ("" : a chain of one block)
  std::size_t firstLine;    // where the scan saw the first header line, in the chain's text
  std::string saved;
};

void PrintTo(const SavedRow& row, std::ostream* out) {
  *out << row.name;
}

class StoreMailSavedTest : public testing::TestWithParam<SavedRow> {};

// A store of two blocks at 4096 and 8192 of an image; the mail's text is read back from the chain
// as the save run reads it.
TEST_P(StoreMailSavedTest, BeginsAtTheFirstHeaderLine) {
  const SavedRow& row = GetParam();
  constexpr std::size_t kStore = 4096;
  constexpr std::uint32_t kSecond = 4096;
  // The store's own offsets: its file header fills the first of them.
  constexpr std::uint32_t kFirstOffset = 0x400;
  std::string image(16384, '\0');
  PutBlock(image, kStore, kFirstOffset, row.secondBlock.empty() ? 0 : kFirstOffset + kSecond,
           row.firstBlock);
  if (!row.secondBlock.empty())
    PutBlock(image, kStore + kSecond, kFirstOffset + kSecond, 0, row.secondBlock);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");

  MailExtent extent;
  extent.inStore = true;
  extent.storeBlock = kStore;
  extent.textStartKnown = true;
  extent.textStart = row.firstLine < row.firstBlock.size()
                         ? kStore + 16 + row.firstLine
                         : kStore + kSecond + 16 + (row.firstLine - row.firstBlock.size());
  MailRecord record;
  record.SetExtent(extent);
  std::string saved;
  TextOrigin origin;
  mail_reader::ReadKnownExtent(record, source, saved, nullptr, true, &origin);
  EXPECT_EQ(saved, row.saved);
  // Every byte kept is the source's byte where its piece says it lies.
  for (const TextPiece& piece : origin.pieces)
    for (std::uint64_t k = 0; k < piece.length; ++k)
      ASSERT_EQ(saved[piece.textOffset + k], image[piece.sourceOffset + k]) << k;
}

const std::string kHead = "From: a@x\r\nDate: Mon, 1 Jan 2024 10:00:00 +0000\r\n\r\nHi\r\n";
const std::string kBlanks = std::string(255, ' ') + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, StoreMailSavedTest,
    testing::Values(SavedRow{"NoLeadingBlanks", kHead, "", 0, kHead},
                    SavedRow{"LineOfBlanks", kBlanks + kHead, "", kBlanks.size(), kHead},
                    SavedRow{"TwoLinesOfBlanks", "   \r\n\t\r\n" + kHead, "", 8, kHead},
                    SavedRow{"BlanksFillTheFirstBlock", kBlanks, kHead, kBlanks.size(), kHead},
                    SavedRow{"MailGoesOnInTheNextBlock", kBlanks + kHead, "More\r\n",
                             kBlanks.size(), kHead + "More\r\n"}),
    [](const testing::TestParamInfo<SavedRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
