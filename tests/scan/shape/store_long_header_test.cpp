// A message in a mail store whose header block runs past the usual bound before its Date: a list
// of recipients folded over thousands of lines. Its chain is read on as far as a long block is.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/block_context.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

constexpr std::uint64_t kStoreBase = 4096;
constexpr std::size_t kBlockData = 512;
constexpr std::size_t kBlockSize = 16 + kBlockData;

// `text` in a chain of blocks laid out in order from the store's base on.
std::string StoreImage(const std::string& text) {
  ImageBuilder image;
  const std::size_t blocks = (text.size() + kBlockData - 1) / kBlockData;
  for (std::size_t i = 0; i < blocks; ++i) {
    const std::string data = text.substr(i * kBlockData, kBlockData);
    std::string block(16, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value) {
      for (int byte = 0; byte < 4; ++byte)
        block[at + byte] = static_cast<char>((value >> (8 * byte)) & 0xFF);
    };
    put(0, static_cast<std::uint32_t>(i * kBlockSize));
    put(4, 0x200);
    put(8, static_cast<std::uint32_t>(data.size()));
    put(12, i + 1 < blocks ? static_cast<std::uint32_t>((i + 1) * kBlockSize) : 0);
    image.Put(kStoreBase + i * kBlockSize, block + data);
  }
  image.Resize(kStoreBase + (blocks + 8) * kBlockSize);
  return image.Bytes();
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

struct LongListRow {
  const char* name;
  std::size_t listBytes;
  bool found;
};

void PrintTo(const LongListRow& row, std::ostream* out) {
  *out << row.name;
}

class StoreLongHeaderTest : public testing::TestWithParam<LongListRow> {};

TEST_P(StoreLongHeaderTest, FoundWhereALongBlockIsRead) {
  const LongListRow& row = GetParam();
  const std::string mail = MailWithLongList(row.listBytes);
  const auto records = ScanBytes(StoreImage(mail)).records;
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
    testing::Values(LongListRow{"WithinTheUsualBound", kMaxShapeHeaderBlock / 2, true},
                    LongListRow{"PastTheUsualBound", kMaxShapeHeaderBlock + 6000, true},
                    LongListRow{"NearTheLongBound", kMaxLongHeaderBlock - 4000, true},
                    LongListRow{"PastTheLongBound", kMaxLongHeaderBlock + 6000, false}),
    [](const testing::TestParamInfo<LongListRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
