// The walk hands runs of plain body lines to the body steps at once: the text they keep must be
// the lines joined as one at a time would join them, whatever the lines start with, across chunk
// boundaries, up to the cap on a body's text, and up to where the next mail begins.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

struct TextRow {
  const char* name;
  std::vector<std::string> lines;  // the body's lines, without their CR LF
  std::uint32_t chunkSectors;
  bool nextMailGlued;  // the next mail's trace line follows the last line at once
  // A mail-store block header stands this far into the body (at the next 4-aligned byte), as
  // in a store's block chain; the walk steps over it. 0: none.
  std::size_t blockHeaderAt = 0;
  bool shapeOnly = false;  // no trace line: the shape scan finds the mail and follows its body
};

// Sixteen bytes that read as a store block header: its size field (02 00 00) at byte 5.
const std::string kBlockHeader("\x10\x20\x30\x40\x99\x02\x00\x00\x11\x22\x33\x44\0\0\0\0", 16);

const std::string kHead = CrLf(
    "Received: from a by b; 1 Jan 2001\n"
    "From: Carol <carol@example.org>\n"
    "To: Dan <dan@example.net>\n"
    "Subject: Many lines\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n\n");

const std::string kNextMail = CrLf(
    "Received: from c by d; 2 Jan 2001\n"
    "From: Erin <erin@example.org>\n"
    "To: Dan <dan@example.net>\n"
    "Subject: Next\n"
    "Date: Wed, 4 Nov 2020 08:00:00 +0100\n\n"
    "Next.\n");

std::vector<std::string> Prose(std::size_t count) {
  static const std::vector<std::string> kWords = {
      "Regards",     "received",
      "-- ",         "Re: the plan",
      "\tindented",  "caf\xE9",
      "R",           "r",
      "-",           "--x",
      "From here",   "\x1B[1mbold",
      "page\fbreak", "x",
      "ordinary",    "a line of plain text that runs on for a while, as mail text does"};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i)
    lines.push_back(kWords[i % kWords.size()] + " " + std::to_string(i));
  return lines;
}

// Paragraphs: empty lines, twice at times, and behind them lines that begin in every way the
// line behind an empty one is told by (a dash, an "R", a tab, "From" with no separator's date).
std::vector<std::string> Paragraphs(std::size_t count) {
  static const std::vector<std::string> kBehind = {
      "-- ", "Regards", "ordinary", "From here", "\tindented", "caf\xE9", "x", "", "r", "--x"};
  std::vector<std::string> lines = {"Hello,"};
  for (std::size_t i = 0; lines.size() < count; ++i) {
    lines.push_back("");
    lines.push_back(kBehind[i % kBehind.size()] + (i % 4 == 0 ? "" : " " + std::to_string(i)));
    for (std::size_t j = 0; j < i % 5; ++j)
      lines.push_back("a line of the paragraph " + std::to_string(j));
  }
  return lines;
}

// Lines of 50 bytes and their CR LF, none that stops a run.
std::vector<std::string> Lines(std::size_t count) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line = "line " + std::to_string(i) + " of the text";
    lines.push_back(line + std::string(50 - line.size(), '.'));
  }
  return lines;
}

class TextLinesWalkTest : public testing::TestWithParam<TextRow> {};

TEST_P(TextLinesWalkTest, KeepsTheLinesJoined) {
  const TextRow& row = GetParam();
  std::string body;
  for (const std::string& line : row.lines) body += line + "\r\n";
  if (row.blockHeaderAt != 0) {
    const std::size_t at = (700 + kHead.size() + row.blockHeaderAt + 3) / 4 * 4;
    body.insert(at - 700 - kHead.size(), kBlockHeader);
  }
  // A shape find starts behind zeros, at a sector start.
  const std::string mail = (row.shapeOnly ? kHead.substr(kHead.find("From:")) : kHead) + body;
  const std::size_t at = row.shapeOnly ? 4096 : 700;
  ImageBuilder image;
  if (!row.shapeOnly) image.Put(694, "junk\r\n");
  image.Put(at, mail);
  if (row.nextMailGlued) image.Put(at + mail.size(), kNextMail);
  image.Resize(at + mail.size() + 64 * 1024);
  const std::string joined = Joined(row.lines);
  const std::string expected = joined.substr(0, kMaxBodyText);
  for (const bool strict : {false, true}) {
    if (strict && row.shapeOnly) continue;
    ScanOptions options;
    options.strict = strict;
    options.chunkSectors = row.chunkSectors;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), row.nextMailGlued ? 2u : 1u) << (strict ? "strict" : "default");
    const std::string text = records[0]->BodyText();
    EXPECT_EQ(text.size(), expected.size()) << (strict ? "strict" : "default");
    EXPECT_TRUE(text == expected) << (strict ? "strict" : "default");
    if (row.nextMailGlued) {
      EXPECT_EQ(records[1]->SubjectText(), u"Next");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextLinesWalkTest,
    testing::Values(TextRow{"FewLines", Prose(3), 2048, false},
                    TextRow{"ManyLinesOfEveryStart", Prose(3000), 2048, false},
                    TextRow{"ChunkEveryFourKibibytes", Prose(6000), 8, false},
                    TextRow{"LongerThanTheTextKept", Prose(9000), 2048, false},
                    TextRow{"NextMailGlued", Prose(500), 2048, true},
                    TextRow{"NextMailGluedAcrossChunks", Prose(2000), 8, true},
                    TextRow{"BlockHeaderInALine", Prose(400), 2048, false, 3001},
                    TextRow{"BlockHeaderAtALineStart", Lines(400), 2048, false, 52 * 100},
                    TextRow{"BlockHeaderFarIntoTheText", Lines(400), 2048, false, 9002},
                    TextRow{"Paragraphs", Paragraphs(4000), 2048, false},
                    TextRow{"ParagraphsAcrossChunks", Paragraphs(8000), 8, false},
                    TextRow{"ParagraphsNextMailGlued", Paragraphs(700), 2048, true},
                    TextRow{"ParagraphsBlockHeaderInALine", Paragraphs(900), 2048, false, 3001},
                    TextRow{"ShapeFind", Prose(3000), 2048, false, 0, true},
                    TextRow{"ShapeFindParagraphs", Paragraphs(3000), 2048, false, 0, true},
                    TextRow{"ShapeFindAcrossChunks", Prose(6000), 8, false, 0, true}),
    [](const testing::TestParamInfo<TextRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
