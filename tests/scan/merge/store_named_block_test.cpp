// A scattered store whose clusters lie so that where a store in one piece would put a block's
// next, another block of the store stands: a block that nothing names by its own offset begins
// a message all the same, and the chain goes on where the cluster of its next lies.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scan/mail_reader.h"
#include "source/memory_source.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

constexpr std::size_t kCluster = 4096;
constexpr std::size_t kBlockData = 512;

void PutWord(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutBlock(std::string& image, std::size_t at, std::uint32_t self, std::uint32_t next,
              std::string_view data) {
  PutWord(image, at, self);
  PutWord(image, at + 4, 0x200);
  PutWord(image, at + 8, static_cast<std::uint32_t>(data.size()));
  PutWord(image, at + 12, next);
  image.replace(at + 16, data.size(), data);
}

std::string Mail(std::string_view who, std::size_t bodyLines) {
  std::string mail = "From: " + std::string(who) + " <" + std::string(who) +
                     "@example.com>\r\nTo: Di <di@example.com>\r\nSubject: from " +
                     std::string(who) + "\r\nDate: Sat, 20 May 2000 10:00:00 -0400\r\n" +
                     "Message-ID: <" + std::string(who) + "@example.com>\r\n\r\n";
  for (std::size_t line = 0; line < bodyLines; ++line)
    mail += "A body line of the mail from " + std::string(who) + ", line " + std::to_string(line) +
            ".\r\n";
  return mail;
}

struct NamedRow {
  const char* name;
  // The cluster of store offsets 8192.. lies where one piece puts the cluster of 4096.. (behind
  // the first); else the second cluster lies there, in one piece with the first.
  bool otherClusterWhereOnePieceGoesOn;
};

class NextWhereOnePiecePutsIt : public ::testing::TestWithParam<NamedRow> {};

TEST_P(NextWhereOnePiecePutsIt, EveryMailComesBackWholeOnce) {
  // Store offsets: the first mail's blocks at 1024 and 5120 (clusters 0 and 1), the second
  // mail's only block at 9216 (cluster 2), at the same place in its cluster as 5120.
  const std::string first = Mail("Ann", 12);
  const std::string second = Mail("Bob", 3);
  ASSERT_GT(first.size(), kBlockData);
  ASSERT_LT(first.size(), 2 * kBlockData);
  ASSERT_LT(second.size(), kBlockData);
  const std::map<int, std::size_t> clusterAt =
      GetParam().otherClusterWhereOnePieceGoesOn
          ? std::map<int, std::size_t>{{0, 16 * kCluster}, {2, 17 * kCluster}, {1, 40 * kCluster}}
          : std::map<int, std::size_t>{{0, 16 * kCluster}, {1, 17 * kCluster}, {2, 40 * kCluster}};
  std::string image(64 * kCluster, '\0');
  image.replace(clusterAt.at(0), 4, "\xCF\xAD\x12\xFE", 4);
  PutBlock(image, clusterAt.at(0) + 1024, 1024, 5120, first.substr(0, kBlockData));
  PutBlock(image, clusterAt.at(1) + 1024, 5120, 0, first.substr(kBlockData));
  PutBlock(image, clusterAt.at(2) + 1024, 9216, 0, second);

  const test::ScanOutcome outcome = test::ScanBytes(image);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::map<std::string, int> saved;
  std::map<std::string, std::uint64_t> savedAt;
  for (const MailRecordPtr& record : outcome.records) {
    std::string text;
    ASSERT_TRUE(ReadMailText(*record, &source, text, nullptr));
    ++saved[text];
    savedAt[text] = record->StartByte();
  }
  EXPECT_EQ(saved[first], 1) << "the mail whose next lies in a cluster elsewhere";
  EXPECT_EQ(saved[second], 1) << "the mail whose block lies where one piece puts that next";
  EXPECT_EQ(savedAt[first], clusterAt.at(0) + 1024 + 16);
  EXPECT_EQ(savedAt[second], clusterAt.at(2) + 1024 + 16);
  EXPECT_EQ(outcome.records.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(StoreChains, NextWhereOnePiecePutsIt,
                         ::testing::Values(NamedRow{"AnotherClusterLiesThere", true},
                                           NamedRow{"ItsOwnClusterLiesThere", false}),
                         RowName{});

// A message quoted in a store mail, whose trace line lies in the part of a block that runs on
// into a cluster elsewhere, in front of that cluster's first block header: it is part of the
// mail whose chain holds it, never a mail of its own nor one that store mails are copies of.
struct QuotedRow {
  const char* name;
  std::size_t quotedAt;  // where the quoted message begins in the first mail's text
};

class QuotedInAClusterElsewhere : public ::testing::TestWithParam<QuotedRow> {};

TEST_P(QuotedInAClusterElsewhere, IsPartOfTheMailWhoseChainHoldsIt) {
  // Store offsets: the first mail's block at 3800 runs 232 bytes into the cluster of 4096..,
  // which lies far in front of the cluster of 0..; its second block follows at 4336, the
  // second mail's block at 5000.
  const std::string quoted =
      "Received: from relay.example.net by mx.example.com; Sat, 20 May 2000 09:59:00 -0400\r\n"
      "From: Eve <eve@example.com>\r\nTo: Di <di@example.com>\r\nSubject: quoted\r\n"
      "Date: Sat, 20 May 2000 09:58:00 -0400\r\n\r\nThe quoted body.\r\n";
  std::string first = Mail("Ann", 0);
  while (first.size() + 2 < GetParam().quotedAt) first += "x";
  first += "\r\n" + quoted;
  while (first.size() < 700) first += "Another line of Ann's own text.\r\n";
  const std::string second = Mail("Bob", 3);
  ASSERT_LE(GetParam().quotedAt + quoted.size(), kBlockData);
  const std::size_t firstCluster = 30 * kCluster;
  const std::size_t secondCluster = 8 * kCluster;
  std::string image(64 * kCluster, '\0');
  image.replace(firstCluster, 4, "\xCF\xAD\x12\xFE", 4);
  std::string firstBlock(16 + kBlockData, '\0');
  PutBlock(firstBlock, 0, 3800, 4336, first.substr(0, kBlockData));
  const std::size_t inFirst = kCluster - 3800;
  image.replace(firstCluster + 3800, inFirst, firstBlock.substr(0, inFirst));
  image.replace(secondCluster, firstBlock.size() - inFirst, firstBlock.substr(inFirst));
  PutBlock(image, secondCluster + 4336 - kCluster, 4336, 0, first.substr(kBlockData));
  PutBlock(image, secondCluster + 5000 - kCluster, 5000, 0, second);

  const test::ScanOutcome outcome = test::ScanBytes(image);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::map<std::string, int> saved;
  for (const MailRecordPtr& record : outcome.records) {
    std::string text;
    ASSERT_TRUE(ReadMailText(*record, &source, text, nullptr));
    EXPECT_EQ(record->duplicateOf, -1) << "a record marked a copy: " << text.substr(0, 60);
    if (record->partOf >= 0) continue;
    ++saved[text];
  }
  EXPECT_EQ(saved[first], 1);
  EXPECT_EQ(saved[second], 1);
  EXPECT_EQ(saved.size(), 2u) << "a mail of its own besides the store's two";
}

INSTANTIATE_TEST_SUITE_P(StoreChains, QuotedInAClusterElsewhere,
                         ::testing::Values(QuotedRow{"RightBehindTheClusterStart", 284},
                                           QuotedRow{"FurtherIn", 296}),
                         RowName{});

}  // namespace
}  // namespace quillon
