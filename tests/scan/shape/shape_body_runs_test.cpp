// The shape scan's following hands runs of plain lines to the body steps at once; lines whose
// first byte is 'R' are never taken in a run, so the same body with its lines opened by 'R'
// instead of 'x' is followed line by line and must come out the same (with 'R' for 'x').
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scan/shape/shape_body.h"

namespace quillon {
namespace {

struct RunRow {
  const char* name;
  std::string body;           // behind the header block's empty line; '@' opens a plain line
  std::string boundary;       // of the mail's multipart, "" for a plain mail
  std::size_t limit;          // where the next mail begins (buffer index); 0 for the buffer's end
  std::string lastLine = "";  // when set: the text's last line, line ends trimmed
};

std::string TrimmedLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

ShapeCandidate Follow(const RunRow& row, char opener) {
  std::string bytes = "\r\n" + row.body + std::string(64, '\0');
  std::replace(bytes.begin(), bytes.end(), '@', opener);
  ShapeCandidate candidate;
  candidate.headers.boundary = row.boundary;
  if (!row.boundary.empty()) candidate.headers.contentType = "multipart/mixed";
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 4096};
  FollowBody(buffer, candidate, 2, false, row.limit == 0 ? bytes.size() : row.limit, 1252);
  return candidate;
}

class ShapeBodyRuns : public testing::TestWithParam<RunRow> {};

TEST_P(ShapeBodyRuns, RunsFollowAsLineByLine) {
  const ShapeCandidate runs = Follow(GetParam(), 'x');
  const ShapeCandidate lines = Follow(GetParam(), 'R');
  std::string expected = lines.body.bodyText;
  std::replace(expected.begin(), expected.end(), 'R', 'x');
  EXPECT_EQ(runs.body.bodyText, expected);
  EXPECT_EQ(runs.body.textEnd, lines.body.textEnd);
  EXPECT_EQ(runs.body.followedEnd, lines.body.followedEnd);
  ASSERT_EQ(runs.body.parts.size(), lines.body.parts.size());
  for (std::size_t i = 0; i < runs.body.parts.size(); ++i)
    EXPECT_EQ(runs.body.parts[i].size, lines.body.parts[i].size) << i;
  EXPECT_FALSE(runs.body.bodyText.empty());
  // Lines not opened by '@' read the same in both followings: what they do is told here.
  const std::string& last = GetParam().lastLine;
  if (!last.empty()) {
    const std::string text = TrimmedLineEnds(runs.body.bodyText);
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), last.size())), last);
  }
}

const std::string kLines = "@one line\r\n@two lines\r\n@three lines\r\n@four\r\n";

INSTANTIATE_TEST_SUITE_P(
    Bodies, ShapeBodyRuns,
    testing::Values(
        RunRow{"EndsAtNul", kLines + kLines, "", 0},
        RunRow{"EndsAtBinaryLine", kLines + "@bin\x01\x02 bytes\r\n" + kLines, "", 0},
        RunRow{"EmptyLinesBetween", kLines + "\r\n" + kLines + "\r\n\r\n" + kLines, "", 0},
        RunRow{"MboxSeparatorBehindEmptyLine", kLines + "\r\nFrom a@b Mon 10:00\r\n" + kLines, "",
               0, "xfour"},
        RunRow{"FromLineWithinText", kLines + "From a@b Mon 10:00\r\n" + kLines, "", 0},
        RunRow{"SeparatorSecondBehindEmptyLine",
               kLines + "\r\n@a\r\nFrom a@b Mon 10:00\r\n" + kLines, "", 0, "\r\nxa"},
        RunRow{"FromTextSecondBehindEmptyLine", kLines + "\r\n@a\r\nFrom here on\r\n" + kLines, "",
               0, "\r\nxfour"},
        RunRow{"CutByNextMail", kLines + kLines + kLines, "", 70},
        RunRow{"TabsAndEightBitBytes", "@a\tb\xe9\r\n" + kLines + "@\xc3\xa9t\xc3\xa9\r\n", "", 0},
        RunRow{"Multipart",
               "preamble\r\n--b1\r\nContent-Type: text/plain\r\n\r\n" + kLines +
                   "--b1\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: "
                   "base64\r\n\r\nQUJD\r\nREVG\r\n--b1--\r\n" +
                   kLines,
               "b1", 0},
        RunRow{"MultipartCutByNul", "--b1\r\nContent-Type: text/plain\r\n\r\n" + kLines + kLines,
               "b1", 0}),
    [](const testing::TestParamInfo<RunRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
