// Behind the end of its text the walk follows a mail on in runs of lines, up to the next trace
// line, and such a run may reach past the bytes the walk was given for its chunk: whatever the
// chunk size, the mails found, their texts and how far each was followed come out the same.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

struct Seen {
  std::uint64_t start;
  std::string text;
  std::uint64_t textEnd;
  std::uint64_t followedEnd;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> ScanWithChunks(const std::string& image, std::uint32_t chunkSectors) {
  ScanOptions options;
  options.chunkSectors = chunkSectors;
  std::vector<Seen> seen;
  for (const auto& record : ScanBytes(image, options).records) {
    const MailBody body = record->Body();
    seen.push_back({record->StartByte(), record->BodyText(), body.textEnd, body.followedEnd});
  }
  return seen;
}

struct OverRow {
  const char* name;
  std::string behindText;  // the lines of the mail found by shape behind the first one's text
};

void PrintTo(const OverRow& row, std::ostream* out) {
  *out << row.name;
}

// Lines of prose with paragraphs, and lines a run must stop at or pass over.
std::string ProseLines(std::size_t count) {
  static const std::vector<std::string> kStarts = {
      "plain words", "", "-- ", "Regards", "\tindented", "Re: the plan", "", "", "From here"};
  std::string lines;
  for (std::size_t i = 0; i < count; ++i)
    lines += kStarts[i % kStarts.size()] + (i % 3 == 0 ? "" : " " + std::to_string(i)) + "\n";
  return lines;
}

class TextOverRunTest : public testing::TestWithParam<OverRow> {};

TEST_P(TextOverRunTest, SameWhateverTheChunks) {
  const std::string first = CrLf(
      "Received: from a by b; 1 Jan 2001\nFrom: a@example.org\nTo: b@example.org\n"
      "Subject: first\nDate: 1 Jan 2001 00:00:00\n\nThe first text.\n");
  // Padded with text lines up to a sector's end: the mail behind begins at a sector start, found
  // by its header block alone (no trace line), and ends the first one's text there.
  std::string pad;
  while ((700 + first.size() + pad.size()) % 512 != 0) {
    const std::size_t left = 512 - (700 + first.size() + pad.size()) % 512;
    pad += left >= 40 ? std::string(36, 'p') + "\r\n" : std::string(left - 2, 'q') + "\r\n";
  }
  const std::string second = CrLf(
      "From: c@example.org\nTo: d@example.org\nSubject: second\nDate: 2 Jan 2001 00:00:00\n"
      "Message-ID: <second@example.org>\n\n" +
      GetParam().behindText);
  const std::string third = CrLf(
      "Received: from e by f; 3 Jan 2001\nFrom: e@example.org\nTo: f@example.org\n"
      "Subject: third\nDate: 3 Jan 2001 00:00:00\n\nThe third text.\n");
  ImageBuilder image;
  image.Put(694, "junk\r\n").Put(700, first + pad + second + third);
  image.Resize(700 + first.size() + pad.size() + second.size() + third.size() + 64 * 1024);

  const std::vector<Seen> whole = ScanWithChunks(image.Bytes(), 2048);
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0].text, "The first text.\r\n" + pad.substr(0, pad.size() - 2));
  EXPECT_GT(whole[0].followedEnd, whole[1].start);  // followed on behind the text's end
  for (const std::uint32_t chunkSectors : {8u, 16u, 24u, 40u})
    EXPECT_TRUE(ScanWithChunks(image.Bytes(), chunkSectors) == whole) << chunkSectors;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextOverRunTest,
    testing::Values(OverRow{"ShortBody", "Hello.\n"}, OverRow{"ProseOverChunks", ProseLines(400)},
                    OverRow{"ReceivedLineInTheBody",
                            ProseLines(120) + "Received: quoted, no trace\n" + ProseLines(60)},
                    OverRow{"LongLines", std::string(3000, 'w') + "\n" + ProseLines(50)}),
    [](const testing::TestParamInfo<OverRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
