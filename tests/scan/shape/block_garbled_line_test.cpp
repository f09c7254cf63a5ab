// A line garbled in front of a field's name among a block's field lines ("quite " +
// "Delivered-To: ..."): the block is one, its text begins at its own first line; and a mail glued
// to old text the same way, which begins at the glued name.
#include <gtest/gtest.h>

#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

const std::string kTrace = CrLf(
    "Received: from relay.example.org ([192.0.2.7])\n"
    "  by mx.example.net with SMTP id 2532598; Wed, 23 Feb 2005 17:51:49 -0500\n");
const std::string kNoTrace = CrLf("Return-Path: <carol@example.org>\n");
const std::string kFieldAbove = CrLf("Received-SPF: softfail\n");
const std::string kFoldAbove =
    CrLf("Received-SPF: softfail\n receiver=mx.example.net; client-ip=192.0.2.7\n");
const std::string kGarbled = CrLf("quite Delivered-To: dan@example.net\n");
const std::string kRest = CrLf(
    "Received: by relay.example.org (id 0F87F333); Wed, 23 Feb 2005 16:16:17 -0600\n"
    "Date: Wed, 23 Feb 2005 18:20:17 -0400\n"
    "From: \"Carol\" <carol@example.org>\n"
    "Message-ID: <garbled@example.org>\n"
    "To: dan@example.net\n"
    "Subject: A garbled line\n"
    "\n"
    "Body text.\n");

struct GarbledRow {
  const char* name;
  std::string before;  // old bytes right in front of the mail's text
  std::string above;   // the mail's field lines between its first line and the garbled one
  std::uint64_t at;    // where the mail's text begins
};

void PrintTo(const GarbledRow& row, std::ostream* out) {
  *out << row.name;
}

class GarbledLineTest : public testing::TestWithParam<GarbledRow> {};

TEST_P(GarbledLineTest, TextBeginsAtTheBlocksFirstLine) {
  const GarbledRow& row = GetParam();
  // Found by its trace line and by the shape of its block alike.
  for (const std::string& first : {kTrace, kNoTrace}) {
    ImageBuilder image;
    image.Put(row.at - row.before.size(), row.before + first + row.above + kGarbled + kRest)
        .Resize(2 * 1024 * 1024 + 64 * 1024);
    const auto records = ScanBytes(image.Bytes()).records;
    ASSERT_EQ(records.size(), 1u) << first;
    EXPECT_EQ(records[0]->Extent().TextStartOr(UINT64_MAX), row.at) << first;
    EXPECT_EQ(records[0]->SubjectText(), u"A garbled line") << first;
  }
}

const std::string kProse = "old text\r\nwords that ran on and on until the disk reused th";

INSTANTIATE_TEST_SUITE_P(
    Places, GarbledLineTest,
    testing::Values(GarbledRow{"BelowAFoldAtASectorStart", std::string(64, '\0'), kFoldAbove, 4096},
                    GarbledRow{"BelowAFieldLineBehindBinary", "\x9c\xe1\x01\xfe\x03\x91",
                               kFieldAbove, 9001},
                    GarbledRow{"BelowAFoldGluedToProse", kProse, kFoldAbove, 5037},
                    GarbledRow{"RightBelowTheFirstLine", std::string(64, '\0'), "", 8192},
                    GarbledRow{"AcrossAChunkBoundary", kProse, kFoldAbove, 1024 * 1024 - 150}),
    [](const testing::TestParamInfo<GarbledRow>& row) { return row.param.name; });

// Old text that a mail's first line is glued to keeps its own lines: the mail begins at the
// glued name where prose stands above the word, and where more than one word stands in front.
struct GluedRow {
  const char* name;
  std::string before;  // old bytes in front of the mail's first line, "Delivered-To: ..."
  std::uint64_t at;    // where the mail's first line begins
};

void PrintTo(const GluedRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedBehindAWordTest : public testing::TestWithParam<GluedRow> {};

TEST_P(GluedBehindAWordTest, MailBeginsAtTheGluedName) {
  const GluedRow& row = GetParam();
  const std::string mail = kGarbled.substr(kGarbled.find('D')) + kRest;
  ImageBuilder image;
  image.Put(row.at - row.before.size(), row.before + mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->Extent().TextStartOr(UINT64_MAX), row.at);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GluedBehindAWordTest,
    testing::Values(GluedRow{"ProseAboveTheWord", "a letter of old text\r\nquite ", 5037},
                    GluedRow{"FieldAboveWordsOfProse",
                             "Subject: old\r\nwords that ran on and on quite ", 6001},
                    GluedRow{"FieldAboveAWordOfDigits", "Subject: old\r\nver2 ", 7001}),
    [](const testing::TestParamInfo<GluedRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
