// A store message behind one whose multipart the walk could not see close (its body's lines end
// in line feeds alone): it begins a chain of its own, so it is a mail of its own, never a part of
// the one before, and a copy of it elsewhere on the disk is told as one.
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

// The store's blocks from store offset `self` on, one after the other, holding `text`; returns
// the offset behind the last one.
std::uint32_t PutChain(std::string& image, std::size_t store, std::uint32_t self,
                       std::string_view text) {
  while (!text.empty()) {
    const std::size_t size = std::min(text.size(), kBlockData);
    const std::uint32_t next =
        text.size() > kBlockData ? self + static_cast<std::uint32_t>(16 + kBlockData) : 0;
    PutWord(image, store + self, self);
    PutWord(image, store + self + 4, 0x200);
    PutWord(image, store + self + 8, static_cast<std::uint32_t>(size));
    PutWord(image, store + self + 12, next);
    image.replace(store + self + 16, size, text.substr(0, size));
    text.remove_prefix(size);
    self += static_cast<std::uint32_t>(16 + kBlockData);
  }
  return self;
}

std::string Multipart(std::string_view bodyLineEnd) {
  std::string mail =
      "Return-Path: <ann@example.com>\r\nX-Original-To: di@example.com\r\n"
      "Delivered-To: di@example.com\r\n"
      "Received: from relay.example.net by mx.example.com; Sat, 20 May 2000 09:59:00 -0400\r\n"
      "From: Ann <ann@example.com>\r\nTo: Di <di@example.com>\r\nSubject: the report\r\n"
      "Date: Sat, 20 May 2000 10:00:00 -0400\r\nMessage-ID: <ann@example.com>\r\n"
      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"cut-here\"\r\n\r\n";
  std::string body = "--cut-here\nContent-Type: text/plain\n\n";
  for (int line = 0; line < 12; ++line)
    body += "A line of the report, number " + std::to_string(line) + ".\n";
  body +=
      "--cut-here\nContent-Type: application/pdf; name=\"a.pdf\"\n"
      "Content-Transfer-Encoding: base64\n\n";
  for (int line = 0; line < 16; ++line)
    body += "JVBERi0xLjQKJcfsj6IKNSAwIG9iago8PC9MZW5ndGggNiAwIFIvRmlsdGVyIC9GbGF0ZURlY29k\n";
  body += "--cut-here--\n";
  std::string ended;
  for (const char c : body) {
    if (c == '\n')
      ended += bodyLineEnd;
    else
      ended += c;
  }
  return mail + ended;
}

std::string Plain() {
  std::string mail =
      "Return-Path: <bob@example.org>\r\n"
      "Received: from out.example.org by mx.example.com; Sun, 21 May 2000 08:01:00 -0400\r\n"
      "From: Bob <bob@example.org>\r\nTo: Di <di@example.com>\r\nSubject: lunch\r\n"
      "Date: Sun, 21 May 2000 08:00:00 -0400\r\nMessage-ID: <bob@example.org>\r\n\r\n";
  for (int line = 0; line < 6; ++line)
    mail += "Shall we meet at noon, line " + std::to_string(line) + ".\r\n";
  return mail;
}

struct OpenRow {
  const char* name;
  const char* bodyLineEnd;  // of the multipart store message in front
};

class StoreMailBehindOpenMultipart : public ::testing::TestWithParam<OpenRow> {};

TEST_P(StoreMailBehindOpenMultipart, IsAMailOfItsOwnAndItsCopyIsMarked) {
  const std::string first = Multipart(GetParam().bodyLineEnd);
  const std::string second = Plain();
  const std::size_t store = 16 * kCluster;
  const std::size_t copyAt = 48 * kCluster;
  std::string image(64 * kCluster, '\0');
  image.replace(store, 4, "\xCF\xAD\x12\xFE", 4);
  const std::uint32_t secondBlock = PutChain(image, store, 1024, first);
  PutChain(image, store, secondBlock, second);
  image.replace(copyAt, second.size(), second);

  const test::ScanOutcome outcome = test::ScanBytes(image);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::map<std::string, std::vector<const MailRecord*>> byText;
  for (const MailRecordPtr& record : outcome.records) {
    std::string text;
    ASSERT_TRUE(ReadMailText(*record, &source, text, nullptr));
    EXPECT_EQ(record->partOf, -1) << "taken for a part: " << text.substr(0, 60);
    byText[text].push_back(record.get());
  }
  ASSERT_EQ(byText[first].size(), 1u);
  ASSERT_EQ(byText[second].size(), 2u) << "the store message and its copy";
  const int marked = (byText[second][0]->duplicateOf >= 0) + (byText[second][1]->duplicateOf >= 0);
  EXPECT_EQ(marked, 1);
  EXPECT_EQ(byText[first][0]->duplicateOf, -1);
  EXPECT_EQ(outcome.records.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(StoreChains, StoreMailBehindOpenMultipart,
                         ::testing::Values(OpenRow{"LineFeedsAlone", "\n"},
                                           OpenRow{"CrLf", "\r\n"}),
                         RowName{});

}  // namespace
}  // namespace quillon
