// The status line of a scan, worded from its counts for the window and the command line alike.
#include "output/scan_status_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillon {
namespace {

struct WordingRow {
  const char* name;
  ScanProgress progress;
  std::u16string text;
};

// Names the row in failure messages and test lists.
void PrintTo(const WordingRow& row, std::ostream* out) {
  *out << row.name;
}

class ScanStatusTextTest : public testing::TestWithParam<WordingRow> {};

TEST_P(ScanStatusTextTest, WordsTheCounts) {
  const WordingRow& row = GetParam();
  EXPECT_EQ(ScanStatusText(row.progress), row.text);
  EXPECT_EQ(FoundMailsText(row.progress.foundCount), row.text.substr(0, row.text.find(u"\r\n")));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScanStatusTextTest,
    testing::Values(
        WordingRow{"Start", {0, 0, 0}, u"Found 0 Mails\r\nProcessing 0 block, total 0 blocks"},
        WordingRow{"SecondChunk",
                   {1, 2048, 3000},
                   u"Found 1 Mails\r\nProcessing 2048 block, total 3000 blocks"},
        WordingRow{"SectorsBeyond32Bits",
                   {3, 5'000'000'000ULL, 6'000'000'000ULL},
                   u"Found 3 Mails\r\nProcessing 5000000000 block, total 6000000000 blocks"},
        WordingRow{"ManyMails",
                   {123456, 7, 8},
                   u"Found 123456 Mails\r\nProcessing 7 block, total 8 blocks"}),
    [](const testing::TestParamInfo<WordingRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
