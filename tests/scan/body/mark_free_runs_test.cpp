// The runs of text lines a walk hands over with what its searches saw free of a store block
// header's mark byte: the same runs as searching afresh, whether the memo is empty, covers the
// bytes asked about or ends inside them, wherever a header or a stray 02 byte stands behind the
// run.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scan/body/body_steps.h"
#include "scan/read/block_header.h"

namespace quillon {
namespace {

struct MarkRow {
  const char* name;
  std::size_t markAt;     // where 02 00 00 (or 02 41 41) stands behind the text; 0: nowhere
  bool header;            // a store block header's mark, else a stray 02 byte
  std::size_t firstTake;  // a run taken first from this line, filling the memo (0: none)
  bool handsBack;         // the run from the first line stops short of the empty line
};

// Forty lines of text, an empty line that ends the run, and bytes behind it with the row's mark.
std::string BytesOf(const MarkRow& row) {
  std::string text = "First line of the body\r\n";
  for (int line = 0; line < 40; ++line)
    text += "plain text line number " + std::to_string(line) + "\r\n";
  text += "\r\n";
  text += std::string(600, 'x');
  if (row.markAt != 0) {
    // A header's mark: bytes 5..7 of a 4-aligned header.
    const std::size_t header = (text.size() - 600 + row.markAt) / 4 * 4;
    text[header + kBlockHeaderMarkOffset] = 0x02;
    text[header + kBlockHeaderMarkOffset + 1] = row.header ? '\0' : 'A';
    text[header + kBlockHeaderMarkOffset + 2] = row.header ? '\0' : 'A';
  }
  return text;
}

// The run the walk takes at each line start of the text, with the memo given or none.
std::vector<std::size_t> RunsFrom(const std::string& bytes, const MarkRow& row, bool memo) {
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  MarkFreeBytes free;
  std::vector<std::size_t> ends;
  for (std::size_t start = 24; start < bytes.size() && bytes[start] != '\r';
       start = bytes.find('\n', start) + 1) {
    BodySteps steps(std::make_shared<MailRecord>(), HeaderEnd::EmptyLine, 1252);
    std::size_t skip = 0;
    steps.ParseBodyLine(buffer, 0, skip);  // the first line opens the body
    if (memo && row.firstTake != 0)
      steps.TakeLineRun(buffer, row.firstTake, bytes.size(), true, &free);
    ends.push_back(steps.TakeLineRun(buffer, start, bytes.size(), true, memo ? &free : nullptr));
  }
  return ends;
}

class MarkFreeRunsTest : public ::testing::TestWithParam<MarkRow> {};

TEST_P(MarkFreeRunsTest, TakesTheRunsASearchAfreshTakes) {
  const std::string bytes = BytesOf(GetParam());
  const std::vector<std::size_t> afresh = RunsFrom(bytes, GetParam(), false);
  ASSERT_EQ(afresh.size(), 40u);
  EXPECT_EQ(RunsFrom(bytes, GetParam(), true), afresh);
  // A header within reach of the run's last lines hands them back to the walk.
  const std::size_t emptyLine = bytes.size() - 602;
  EXPECT_EQ(afresh[0] < emptyLine, GetParam().handsBack) << afresh[0];
  EXPECT_LE(afresh[0], emptyLine);
}

INSTANTIATE_TEST_SUITE_P(
    MarkFreeRuns, MarkFreeRunsTest,
    ::testing::Values(MarkRow{"NoMark", 0, false, 0, false},
                      MarkRow{"HeaderRightBehind", 4, true, 0, true},
                      MarkRow{"HeaderInReach", 120, true, 0, true},
                      MarkRow{"HeaderPastReach", 400, true, 0, false},
                      MarkRow{"StrayByteInReach", 60, false, 0, false},
                      MarkRow{"HeaderInReachMemoFromEarlier", 120, true, 24, true},
                      MarkRow{"NoMarkMemoFromEarlier", 0, false, 24, false},
                      MarkRow{"HeaderPastReachMemoFromLater", 400, true, 500, false}),
    [](const ::testing::TestParamInfo<MarkRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
