// A stored message whose header block runs on past the usual bound: a subject folded over
// thousands of lines behind From and Date, or a list of recipients folded so in front of its
// Date. Its chain is read on as far as a long block may reach, and no further.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;
using test::StoreBlock;

constexpr std::uint64_t kStoreBase = 4096;
constexpr std::uint32_t kBlock = 528;  // a block header and its 512 bytes of data
constexpr std::size_t kData = 512;
constexpr std::size_t kKiB = 1024;

// `mail` in a store at kStoreBase as a chain of blocks one after another, each naming the next,
// the first at offset `first` of the store.
std::string StoredChain(const std::string& mail, std::uint32_t first) {
  ImageBuilder image;
  const std::size_t blocks = (mail.size() + kData - 1) / kData;
  for (std::size_t i = 0; i < blocks; ++i) {
    const std::string_view data = std::string_view(mail).substr(i * kData, kData);
    const auto self = static_cast<std::uint32_t>(first + kBlock * i);
    image.Put(kStoreBase + self, StoreBlock(self, static_cast<std::uint32_t>(data.size()),
                                            i + 1 < blocks ? self + kBlock : 0, data));
  }
  image.Resize(kStoreBase + first + kBlock * (blocks + 1) + 64 * kKiB);
  return image.Bytes();
}

// A mail whose Subject is folded over lines up to about `size` bytes.
std::string MailWithSubjectOf(std::size_t size) {
  std::string mail = CrLf(
      "From: e@example.org\n"
      "Date: Tue, 07 May 2013 23:11:57 +0000\n"
      "Message-ID: <long@example.org>\n"
      "Subject: =?utf-8?q?Die_Sonne?=\n");
  for (int n = 1; mail.size() < size; ++n)
    mail += " =?utf-8?q?qu=C3=A4lte_Max_und_Victoria_auf_dem_Weg_" + std::to_string(n) + "?=\r\n";
  return mail + CrLf("To: f@example.org\nMIME-Version: 1.0\n\nthe stored body\n");
}

// From first, then a To list folded over lines up to `listBytes`, then Date and the rest.
std::string MailWithLongList(std::size_t listBytes) {
  std::string mail = CrLf("From: \"Carol\" <carol@example.org>\nTo: \"Dan\" <dan@example.net>,\n");
  const std::string fold = CrLf("\t=?utf-8?Q?date=3E2017-08-20T10:08:28.617=3C/pr?=\n");
  while (mail.size() < listBytes) mail += fold;
  return mail + CrLf(
                    "Subject: Plans\nDate: Fri, 3 Nov 2017 12:00:00 -0800\n"
                    "Message-ID: <plans@example.org>\n\nSee you there.\n");
}

struct StoredRow {
  const char* name;
  std::size_t bytes;  // bytes the folded Subject, or the folded To list, fills
  bool found;
};

void PrintTo(const StoredRow& row, std::ostream* out) {
  *out << row.name;
}

class LongStoredHeaderTest : public testing::TestWithParam<StoredRow> {};

TEST_P(LongStoredHeaderTest, FoundFromItsChain) {
  const auto records = ScanBytes(StoredChain(MailWithSubjectOf(GetParam().bytes), kBlock)).records;
  if (!GetParam().found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0]->Extent().inStore);
  EXPECT_EQ(records[0]->StartByte(), kStoreBase + kBlock + 16);
  EXPECT_EQ(records[0]->ToText(), u"f@example.org");
}

INSTANTIATE_TEST_SUITE_P(Chains, LongStoredHeaderTest,
                         testing::Values(StoredRow{"SubjectOf20KiB", 20 * kKiB, true},
                                         StoredRow{"SubjectOf100KiB", 100 * kKiB, true},
                                         StoredRow{"SubjectOf200KiB", 200 * kKiB, true},
                                         StoredRow{"SubjectOf300KiB", 300 * kKiB, false}),
                         [](const testing::TestParamInfo<StoredRow>& row) {
                           return row.param.name;
                         });

class StoreLongHeaderTest : public testing::TestWithParam<StoredRow> {};

TEST_P(StoreLongHeaderTest, FoundWhereALongBlockIsRead) {
  const StoredRow& row = GetParam();
  const auto records = ScanBytes(StoredChain(MailWithLongList(row.bytes), 0)).records;
  if (!row.found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), kStoreBase + 16);
  EXPECT_EQ(records[0]->SubjectText(), u"Plans");
  EXPECT_TRUE(records[0]->Extent().inStore);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, StoreLongHeaderTest,
    testing::Values(StoredRow{"WithinTheUsualBound", kMaxShapeHeaderBlock / 2, true},
                    StoredRow{"PastTheUsualBound", kMaxShapeHeaderBlock + 6000, true},
                    StoredRow{"NearTheLongBound", kMaxLongHeaderBlock - 4000, true},
                    StoredRow{"PastTheLongBound", kMaxLongHeaderBlock + 6000, false}),
    [](const testing::TestParamInfo<StoredRow>& row) { return row.param.name; });

// A stored message that is its header block alone, over more than one block, no line break
// behind its last line: the zeros behind its chain's last block end its text. Those padded
// behind a chain read in part (the rows above) end nothing.
TEST(StoredHeaderAloneTest, FoundFromItsChain) {
  std::string mail = MailWithLongList(2 * kData);
  mail.resize(mail.find("\r\n\r\n"));
  const auto records = ScanBytes(StoredChain(mail, 0)).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), kStoreBase + 16);
  EXPECT_EQ(records[0]->SubjectText(), u"Plans");
  EXPECT_TRUE(records[0]->Extent().inStore);
}

}  // namespace
}  // namespace quillon
