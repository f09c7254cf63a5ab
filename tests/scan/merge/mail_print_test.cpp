// Prints of mail texts: the header block and the whole text digested at once must tell the same
// as each digested alone, whatever the header's length against the digest's words.
#include "scan/merge/mail_print.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_helpers.h"

namespace quillon {
namespace {

MailText TextOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct PrintRow {
  const char* name;
  std::string above;   // header lines above the From line
  std::size_t filler;  // bytes of a field that set the header block's length
  std::size_t body;    // bytes of body text
};

class PrintTest : public ::testing::TestWithParam<PrintRow> {
 protected:
  std::string Header(char fill) const {
    return GetParam().above + "From: a@b.c\r\nX-Fill: " + std::string(GetParam().filler, fill) +
           "\r\n\r\n";
  }
  std::string Body(char fill) const { return std::string(GetParam().body, fill); }
};

// A header block alike prints alike, whatever follows; one byte otherwise does not.
TEST_P(PrintTest, TellsTheHeaderBlockApartFromTheBody) {
  const std::string first = Header('x') + Body('b');
  const std::string second = Header('x') + Body('c');
  const std::string changed = Header('y') + Body('b');
  const MailPrint a = PrintOf(TextOf(first));
  ASSERT_TRUE(a.known);
  EXPECT_EQ(a.aboveLength, GetParam().above.size());
  EXPECT_EQ(a.headerLength, Header('x').size() - GetParam().above.size());
  EXPECT_TRUE(SameHeader(a, PrintOf(TextOf(second))));
  EXPECT_FALSE(SameHeader(a, PrintOf(TextOf(changed))));
  EXPECT_TRUE(SameHeader(a, PrintOf(TextOf(Header('x')))));
}

// The whole text's digest is the one a text read on past it finds for its first bytes.
TEST_P(PrintTest, DigestsTheWholeTextAsItsLongerCopyReadsIt) {
  const std::string shorter = Header('x') + Body('b');
  const std::string longer = shorter + "more text behind the copy cut short\r\n";
  const MailPrint shortPrint = PrintOf(TextOf(shorter));
  const MailPrint longPrint = PrintOf(TextOf(longer));
  EXPECT_TRUE(BeginsWith(TextOf(longer), longPrint, shortPrint));
  EXPECT_FALSE(BeginsWith(TextOf(shorter), shortPrint, longPrint));
  std::string otherBody = longer;
  otherBody[otherBody.size() - 3] = '!';
  EXPECT_TRUE(BeginsWith(TextOf(otherBody), PrintOf(TextOf(otherBody)), shortPrint));
  if (GetParam().body > 0) {
    std::string lastByte = longer;
    lastByte[shorter.size() - 1] = '!';
    EXPECT_FALSE(BeginsWith(TextOf(lastByte), PrintOf(TextOf(lastByte)), shortPrint));
  }
}

// Header blocks of lengths around the digest's words, turns and 128-byte blocks ("From: a@b.c\r\n"
// and "X-Fill: " + "\r\n\r\n" take 25 bytes besides the filler).
INSTANTIATE_TEST_SUITE_P(
    MailPrint, PrintTest,
    ::testing::Values(PrintRow{"ByteShortOfATurn", "", 6, 40}, PrintRow{"WholeTurn", "", 7, 40},
                      PrintRow{"ByteOverATurn", "", 8, 40}, PrintRow{"WholeWords", "", 15, 3},
                      PrintRow{"TwoTurns", "", 39, 64}, PrintRow{"TwoTurnsAndAByte", "", 40, 65},
                      PrintRow{"NoBody", "", 20, 0}, PrintRow{"LongHeader", "", 1000, 333},
                      PrintRow{"LinesAbove", "Return-Path: <a@b.c>\r\n", 7, 100},
                      PrintRow{"LinesAboveOddLength", "X-A: 1\r\n", 12, 9},
                      PrintRow{"ByteShortOfADigestBlock", "", 102, 200},
                      PrintRow{"WholeDigestBlock", "", 103, 200},
                      PrintRow{"ByteOverADigestBlock", "", 104, 200},
                      PrintRow{"LinesAboveAndTwoDigestBlocks", "X-A: 1\r\n", 231, 1}),
    test::RowName());

// Two texts have in common what they hold alike from their start indices on, up to the shorter
// one's end, wherever the first differing byte lies against the blocks and words compared at once.
struct CommonRow {
  const char* name;
  std::size_t ourFrom;
  std::size_t theirFrom;
  std::size_t length;  // of the texts behind their start indices, before `theirExtra`
  std::size_t theirExtra;
  std::size_t differsAt;  // where their text differs from ours; `length` for nowhere
};

class CommonLengthTest : public ::testing::TestWithParam<CommonRow> {};

TEST_P(CommonLengthTest, CountsTheBytesAlike) {
  const CommonRow& row = GetParam();
  std::string alike;
  for (std::size_t i = 0; i < row.length + row.theirExtra; ++i)
    alike += static_cast<char>('a' + (i * 7) % 26);
  const std::string ours = std::string(row.ourFrom, 'x') + alike.substr(0, row.length);
  std::string theirs = std::string(row.theirFrom, 'y') + alike;
  if (row.differsAt < row.length) theirs[row.theirFrom + row.differsAt] ^= 0x20;
  EXPECT_EQ(CommonLength(TextOf(ours), row.ourFrom, TextOf(theirs), row.theirFrom), row.differsAt);
  EXPECT_EQ(CommonLength(TextOf(theirs), row.theirFrom, TextOf(ours), row.ourFrom), row.differsAt);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommonLengthTest,
    ::testing::Values(
        CommonRow{"Empty", 0, 0, 0, 0, 0}, CommonRow{"FirstByte", 0, 0, 100, 0, 0},
        CommonRow{"InFirstWord", 3, 0, 100, 0, 5}, CommonRow{"LastByteOfAWord", 0, 5, 100, 0, 7},
        CommonRow{"InTheTail", 0, 0, 13, 0, 11}, CommonRow{"LastByteOfABlock", 1, 2, 1000, 0, 255},
        CommonRow{"FirstByteOfTheSecondBlock", 0, 0, 1000, 0, 256},
        CommonRow{"DeepInAWord", 7, 0, 5000, 0, 4099}, CommonRow{"LastByte", 0, 0, 777, 0, 776},
        CommonRow{"AlikeToTheShorterEnd", 2, 9, 1500, 300, 1500},
        CommonRow{"AlikeBlocksOnly", 0, 0, 512, 0, 512},
        CommonRow{"PastTheEndOfOne", 50, 0, 0, 40, 0}),
    test::RowName());

}  // namespace
}  // namespace quillon
