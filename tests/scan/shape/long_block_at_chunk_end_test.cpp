// A header block read on past the usual length for want of From or Date, begun in one chunk
// with its From and Date further than the usual length behind the chunk's end: found whole
// from its first line at every cut, and alike on one thread or several.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scan/scan_driver.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

constexpr std::size_t kKiB = 1024;

// Folded signature lines of about `size` bytes, every `proseEvery`-th one (0: none) followed by
// a line of prose.
std::string SignatureLines(std::size_t size, int proseEvery = 0) {
  std::string lines;
  for (int n = 1; lines.size() < size; ++n) {
    lines += "ARC-Message-Signature: i=1; a=rsa-sha256; d=example.com; s=" + std::to_string(n) +
             ";\r\n\tb=" + std::string(300, 'Q') + "\r\n";
    if (proseEvery > 0 && n % proseEvery == 0) lines += "and a line of words\r\n";
  }
  return lines;
}

std::string LongBlockMail(std::size_t signatures, int proseEvery = 0) {
  return CrLf(
             "Return-Path: <a@example.org>\n"
             "Received: from mx.example.org by mx.example.net; Sun, 21 Oct 2007 19:38:13 +1000\n"
             "Message-ID: <1@example.org>\n") +
         SignatureLines(signatures, proseEvery) +
         CrLf(
             "From: a@example.org\n"
             "Date: Sun, 21 Oct 2007 19:38:13 +1000\n"
             "To: b@example.org\n"
             "Subject: a long one\n"
             "\n"
             "Text.\n");
}

struct CutRow {
  const char* name;
  std::uint32_t chunkSectors;
  std::size_t cut;  // the block's bytes in front of the second chunk's start
  std::size_t signatures;
  int proseEvery = 0;
  bool found = true;
};

void PrintTo(const CutRow& row, std::ostream* out) {
  *out << row.name;
}

class LongBlockAtChunkEndTest : public testing::TestWithParam<CutRow> {};

TEST_P(LongBlockAtChunkEndTest, FoundWholeOnAnyThreadCount) {
  const CutRow& row = GetParam();
  const std::uint64_t boundary = std::uint64_t{row.chunkSectors} * 512;
  const std::uint64_t start = boundary - row.cut;
  const std::string mail = LongBlockMail(row.signatures, row.proseEvery);
  ImageBuilder image;
  image.Put(start, mail).Resize(boundary * 2 + 2048 * kKiB);

  std::vector<std::uint64_t> onOneThread;
  for (unsigned threads : {1u, 2u, 3u}) {
    SCOPED_TRACE(threads);
    ScanOptions options;
    options.threads = threads;
    options.chunkSectors = row.chunkSectors;
    options.handOverFromMarks = 0;
    const auto records = ScanBytes(image.Bytes(), options).records;
    std::vector<std::uint64_t> positions;
    for (const auto& record : records) positions.push_back(record->StartByte());
    if (threads == 1) onOneThread = positions;
    EXPECT_EQ(positions, onOneThread);
    if (!row.found) {
      EXPECT_EQ(std::count(positions.begin(), positions.end(), start), 0);
      continue;
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->StartByte(), start);
    EXPECT_EQ(records[0]->SubjectText(), u"a long one");
    EXPECT_EQ(records[0]->Body().bodyText, "Text.");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, LongBlockAtChunkEndTest,
    testing::Values(
        // The chunk ends inside the block's first line, its second, or deep inside it.
        CutRow{"FirstLineCut", kChunkSectors, 10, 80 * kKiB},
        CutRow{"SecondLineCut", kChunkSectors, 40, 80 * kKiB},
        CutRow{"CutAfter30KiB", kChunkSectors, 30 * kKiB, 110 * kKiB},
        CutRow{"CutAfter100KiBFromBehind200KiB", kChunkSectors, 100 * kKiB, 200 * kKiB},
        CutRow{"FirstByteCutFromBehind250KiB", kChunkSectors, 1, 250 * kKiB},
        CutRow{"SmallChunksFirstLineCut", 256, 10, 90 * kKiB},
        CutRow{"SmallChunksCutAfter60KiB", 256, 60 * kKiB, 150 * kKiB},
        // From within the usual length behind the chunk's end, or the block begun right at it.
        CutRow{"FromWithin64KiBOfTheEnd", kChunkSectors, 10, 50 * kKiB},
        CutRow{"BlockBegunAtTheChunkStart", kChunkSectors, 0, 80 * kKiB},
        // No read on: too long, or a line of prose among the fields.
        CutRow{"FromBehind300KiB", kChunkSectors, 10, 300 * kKiB, 0, false},
        CutRow{"ProseAmongTheFields", kChunkSectors, 10, 80 * kKiB, 150, false}),
    [](const testing::TestParamInfo<CutRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
