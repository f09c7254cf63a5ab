// A mail that is its header block alone, its last line without a line break: a file cut short
// inside its header, or a message saved without a body, the zeros of its slack, the source's end
// or old bytes right behind. The block is a mail, and it is read back up to where its text stops.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/mail_reader.h"
#include "source/memory_source.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

constexpr std::uint64_t kImageSize = 64 * 1024;

const std::string kTrace = CrLf("Received: from relay.example.org by mx.example.net; 3 Nov 2020\n");
const std::string kHead = CrLf(
    "Return-Path: <carol@example.org>\n"
    "From: Carol <carol@example.org>\n"
    "To: Dan <dan@example.net>\n"
    "Subject: Saved without a body\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-ID: <cut@example.org>\n"
    "MIME-Version: 1.0\n");
const std::string kLastLine = "Content-Transfer-Encoding: quoted-printable";
// Old bytes that begin with a byte no text holds, and a line feed and zeros later on.
const std::string kRandom = "\x01\x9c\x7f\xe2\x10\x02 \x8e\x05Q\x1b\x03\n\x93\0\0\0\0"s;

// `text` as UTF-16 (little-endian) writes it.
std::string Utf16(std::string_view text) {
  std::string wide;
  for (const char c : text) wide += std::string{c, '\0'};
  return wide;
}

struct CutRow {
  const char* name;
  std::string text;    // the mail as its file held it, no line break behind its last line
  std::string behind;  // the bytes right behind it; zeros beyond
  bool atSourceEnd;    // the text ends at the source's last byte
  bool found;
};

void PrintTo(const CutRow& row, std::ostream* out) {
  *out << row.name;
}

class CutShortBlockTest : public testing::TestWithParam<CutRow> {};

TEST_P(CutShortBlockTest, IsAMailReadBackUpToWhereItsTextStops) {
  const CutRow& row = GetParam();
  const std::uint64_t at = row.atSourceEnd ? kImageSize - row.text.size() : 4096;
  ImageBuilder image;
  image.Put(at, row.text + row.behind).Resize(kImageSize);
  const auto records = ScanBytes(image.Bytes()).records;
  if (!row.found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->SubjectText(), u"Saved without a body");
  DataSource source;
  std::vector<std::uint8_t> bytes(image.Bytes().begin(), image.Bytes().end());
  source.OpenBackend(MakeMemoryBackend(bytes, {}), "memory.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*records[0], &source, text, nullptr));
  EXPECT_EQ(text, row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CutShortBlockTest,
    testing::Values(
        CutRow{"IntoZeros", kHead + kLastLine, "", false, true},
        CutRow{"WithATraceLineIntoZeros", kTrace + kHead + kLastLine, "", false, true},
        CutRow{"AtTheSourceEnd", kHead + kLastLine, "", true, true},
        CutRow{"CutInAValue", kHead + "Content-Type: text/ht", "", false, true},
        CutRow{"CutInAFold", kHead + CrLf("Content-Type: text/plain;\n") + "\tcharset=utf-", "",
               false, true},
        CutRow{"IntoOldBytes", kHead + kLastLine, kRandom, false, true},
        // The mail's last byte was written over the first character of the old text.
        CutRow{"IntoOldTextInUtf16", kHead + kLastLine, Utf16("Old text, line one.\r\n").substr(1),
               false, true},
        // Random bytes may begin with a few printable characters: fewer than eight are no line.
        CutRow{"ShortLineIntoOldBytes", kHead + "X-A: b", kRandom, false, false}),
    [](const testing::TestParamInfo<CutRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
