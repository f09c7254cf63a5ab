// Where a printed text's header block ends and its From line stands: the block-wise pass against
// the line-by-line reference, on named shapes wherever they fall against its 64-byte blocks, and
// on every start inside the header blocks of real mails.
#include "scan/merge/mail_print_header.h"

#include <gtest/gtest.h>

#include <string>

#include "support/paths.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

const std::uint8_t* BytesOf(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

struct HeaderRow {
  const char* name;
  std::string text;
  std::size_t end;       // expected, with no bytes in front
  std::size_t fromLine;  // expected, with no bytes in front
};

class HeaderLinesTest : public ::testing::TestWithParam<HeaderRow> {};

// The expected answer, and the same as the reference's behind any number of filler header bytes
// that move the text against the blocks (the filler a field line of its own).
TEST_P(HeaderLinesTest, FindsTheBlockEndAndFromLine) {
  const HeaderRow& row = GetParam();
  const HeaderLines alone = FindHeaderLines(BytesOf(row.text), row.text.size());
  EXPECT_EQ(alone.end, row.end);
  EXPECT_EQ(alone.fromLine, row.fromLine);
  for (std::size_t filler = 0; filler < 140; ++filler) {
    const std::string text = "X-F: " + std::string(filler, 'a') + "\r\n" + row.text;
    const HeaderLines fast = FindHeaderLines(BytesOf(text), text.size());
    const HeaderLines plain = FindHeaderLinesPlain(BytesOf(text), text.size());
    ASSERT_EQ(fast.end, plain.end) << filler;
    ASSERT_EQ(fast.fromLine, plain.fromLine) << filler;
  }
}

INSTANTIATE_TEST_SUITE_P(
    MailPrintHeader, HeaderLinesTest,
    ::testing::Values(HeaderRow{"CrLfBlock", "Received: x\r\nFrom: a@b\r\n\r\nbody\r\n", 26, 13},
                      HeaderRow{"LineFeedsOnly", "Received: x\nFrom: a@b\n\nbody\n", 23, 12},
                      HeaderRow{"FromFirst", "From: a@b\r\nTo: c\r\n\r\n", 20, 0},
                      HeaderRow{"FromInCapitals", "X: 1\r\nFROM: a\r\n\r\n", 17, 6},
                      HeaderRow{"FromWithoutColon", "X: 1\r\nFrom a\r\n\r\n", 16, 0},
                      HeaderRow{"FromAfterTheBlock", "X: 1\r\n\r\nFrom: a\r\n", 8, 0},
                      HeaderRow{"EmptyFirstLineEndsNothing", "\r\nX: 1\r\n\r\n", 10, 0},
                      HeaderRow{"TwoEmptyLinesAtTheStart", "\n\nFrom: a\n\n", 2, 0},
                      HeaderRow{"NoEmptyLine", "X: 1\r\nFrom: a\r\n", 0, 0},
                      HeaderRow{"NoLineFeed", "From: a", 0, 0},
                      HeaderRow{"BareCrIsNoEmptyLine", "X: 1\r\r\nFrom: a\r\n\r\n", 18, 7},
                      HeaderRow{"TwoCrsAreNoEmptyLine", "X: 1\r\n\r\r\nY\r\n\r\n", 14, 0},
                      HeaderRow{"DoubledCrLines", "X: 1\r\r\nFrom: a\r\r\n\r\r\nbody\r\r\n", 20, 7},
                      HeaderRow{"TwoCrsBehindABareLineFeed", "X: 1\n\r\r\nY\n\n", 11, 0},
                      HeaderRow{"DoubledCrLinesFromTheStart", "\r\r\n\r\r\nX: 1\r\n\r\n", 6, 0},
                      HeaderRow{"CrLfAtTheVeryEnd", "X: 1\r\nFrom: a\r\n\r\n", 17, 6},
                      HeaderRow{"FromLineCutByTheEnd", "X: 1\nFrom:", 0, 0}),
    test::RowName());

// Every start inside the first kilobytes of each corpus mail, so that every line of a real
// header block falls at every place of a block.
TEST(MailPrintHeader, CorpusMailsAgreeWithTheReference) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  for (const auto& file : files) {
    const std::string text = test::ReadFileBytes(file).substr(0, 3000);
    for (std::size_t start = 0; start < text.size() && start < 300; ++start) {
      const HeaderLines fast = FindHeaderLines(BytesOf(text) + start, text.size() - start);
      const HeaderLines plain = FindHeaderLinesPlain(BytesOf(text) + start, text.size() - start);
      ASSERT_EQ(fast.end, plain.end) << file << " from " << start;
      ASSERT_EQ(fast.fromLine, plain.fromLine) << file << " from " << start;
    }
  }
}

}  // namespace
}  // namespace quillon
