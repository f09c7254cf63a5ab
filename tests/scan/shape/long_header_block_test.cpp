// Header blocks longer than the usual bound, in front of From or Date or behind them: read on
// where every line up to the bound is a field line or a fold, and nowhere else.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "scan/shape/header_block.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;

// Folded signature lines of about `size` bytes; every `proseEvery`-th one (0: none) is followed
// by a line of prose, every `subjectEvery`-th one (0: none) by a Subject line.
std::string SignatureLines(std::size_t size, int proseEvery = 0, int subjectEvery = 0) {
  std::string lines;
  for (int n = 1; lines.size() < size; ++n) {
    lines += "ARC-Message-Signature: i=1; a=rsa-sha256; d=example.com; s=" + std::to_string(n) +
             ";\r\n\tb=" + std::string(300, 'Q') + "\r\n";
    if (proseEvery > 0 && n % proseEvery == 0) lines += "and a line of words\r\n";
    if (subjectEvery > 0 && n % subjectEvery == 0) lines += "Subject: again\r\n";
  }
  return lines;
}

// A Subject of encoded words folded over lines up to about `size` bytes; every `proseEvery`-th
// fold (0: none) is followed by a line of prose.
std::string FoldedSubject(std::size_t size, int proseEvery = 0) {
  std::string lines = "Subject: =?utf-8?q?Die_hei=C3=9Fe_Sonne?=\r\n";
  for (int n = 1; lines.size() < size; ++n) {
    lines += " =?utf-8?q?qu=C3=A4lte_Max_und_Victoria_auf_dem_Weg_" + std::to_string(n) + "?=\r\n";
    if (proseEvery > 0 && n % proseEvery == 0) lines += "and a line of words\r\n";
  }
  return lines;
}

const std::string kTop = CrLf(
    "Return-Path: <a@example.org>\n"
    "Received: from mx.example.org by mx.example.net; Sun, 21 Oct 2007 19:38:13 +1000\n"
    "Message-ID: <1@example.org>\n");
const std::string kFrom = CrLf("From: a@example.org\n");
const std::string kDate = CrLf("Date: Sun, 21 Oct 2007 19:38:13 +1000\n");
const std::string kRest = CrLf(
    "To: b@example.org\n"
    "Subject: a long one\n"
    "\n"
    "Text.\n");
const std::string kEnd = CrLf(
    "To: b@example.org\n"
    "\n"
    "Text.\n");

struct LongBlockRow {
  const char* name;
  std::string bytes;  // the block begins at index 0
  bool valid;
};

void PrintTo(const LongBlockRow& row, std::ostream* out) {
  *out << row.name;
}

class LongHeaderBlockTest : public testing::TestWithParam<LongBlockRow> {};

TEST_P(LongHeaderBlockTest, ReadOnOnlyOverFieldLines) {
  const std::string& bytes = GetParam().bytes;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const ParsedBlock block = ParseBlock(buffer, 0);
  EXPECT_EQ(block.valid, GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(block.headerEnd, bytes.rfind("\r\n\r\n") + 4);
    EXPECT_EQ(block.headers.from, "a@example.org");
    EXPECT_FALSE(block.headers.date.empty());
  }
}

constexpr std::size_t kKiB = 1024;

INSTANTIATE_TEST_SUITE_P(
    Blocks, LongHeaderBlockTest,
    testing::Values(
        LongBlockRow{"ShortBlock", kTop + SignatureLines(40 * kKiB) + kFrom + kDate + kRest, true},
        LongBlockRow{"FromAndDateBehind70KiB",
                     kTop + SignatureLines(70 * kKiB) + kFrom + kDate + kRest, true},
        LongBlockRow{"FromAndDateBehind200KiB",
                     kTop + SignatureLines(200 * kKiB) + kFrom + kDate + kRest, true},
        LongBlockRow{"DateOnTopFromBehind90KiB",
                     kTop + kDate + SignatureLines(90 * kKiB) + kFrom + kRest, true},
        LongBlockRow{"FromAndDateBehind300KiB",
                     kTop + SignatureLines(300 * kKiB) + kFrom + kDate + kRest, false},
        LongBlockRow{"OneLineOfProseAmongTheFields",
                     kTop + SignatureLines(70 * kKiB, 150) + kFrom + kDate + kRest, false},
        LongBlockRow{
            "FieldsThatRepeatThemselves",
            kTop + "Subject: first\r\n" + SignatureLines(70 * kKiB, 0, 100) + kFrom + kDate + kRest,
            false},
        LongBlockRow{"BytesEndBeforeFrom", kTop + SignatureLines(100 * kKiB), false},
        // From and Date on top, and a value folded over thousands of lines behind them.
        LongBlockRow{"SubjectFoldedOver200KiBBehindFromAndDate",
                     kFrom + kDate + FoldedSubject(200 * kKiB) + kTop + kEnd, true},
        LongBlockRow{"SubjectFoldedOver70KiBBehindFromAndDate",
                     kFrom + kDate + FoldedSubject(70 * kKiB) + kTop + kEnd, true},
        LongBlockRow{"SubjectFoldedOver300KiBBehindFromAndDate",
                     kFrom + kDate + FoldedSubject(300 * kKiB) + kTop + kEnd, false},
        LongBlockRow{"ProseInAValueFoldedOver70KiB",
                     kFrom + kDate + FoldedSubject(70 * kKiB, 150) + kTop + kEnd, false}));

}  // namespace
}  // namespace quillon
