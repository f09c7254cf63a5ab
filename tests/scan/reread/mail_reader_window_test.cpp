// The parts of reading a mail back that need no data source: how long the first window is, and
// how the store's block headers are taken out of it, at once or as the reads arrive.
#include "scan/reread/mail_reader_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::BlockHeader;

using test::RowName;

struct WindowLengthRow {
  const char* name;
  std::vector<std::int64_t> sizes;
  std::uint64_t length;
};

class WindowLengthTest : public ::testing::TestWithParam<WindowLengthRow> {};

TEST_P(WindowLengthTest, GrowsByTwiceTheStatedAttachmentSizes) {
  MailRecord record;
  for (std::int64_t size : GetParam().sizes) {
    PartEntry entry;
    entry.size = size;
    record.attachments.push_back(entry);
  }
  EXPECT_EQ(mail_reader::WindowLength(record), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(MailReader, WindowLengthTest,
                         ::testing::Values(WindowLengthRow{"NoAttachments", {}, 524288},
                                           WindowLengthRow{"Sum100000", {60000, 40000}, 723968},
                                           WindowLengthRow{"OneByteRoundsDown", {1}, 524288},
                                           WindowLengthRow{"HalfSectorReachesNext", {256}, 524800},
                                           WindowLengthRow{"NegativeIgnored", {-100000}, 524288},
                                           WindowLengthRow{
                                               "CappedAtTheLongestMail", {1LL << 40}, 67109888}),
                         RowName{});

// --- Block-header compaction --------------------------------------------------------------------

struct CompactionRow {
  const char* name;
  std::string raw;
  std::string compacted;
};

class Compaction : public ::testing::TestWithParam<CompactionRow> {};

TEST_P(Compaction, RemovesHeadersAtEvenOffsetsOnly) {
  EXPECT_EQ(mail_reader::CompactWindowOnce(GetParam().raw), GetParam().compacted);
  mail_reader::BlockHeaderCompactor compactor;
  for (char c : GetParam().raw) compactor.Append(reinterpret_cast<const std::uint8_t*>(&c), 1);
  compactor.Finish();
  EXPECT_EQ(std::string(compactor.Settled()), GetParam().compacted);
}

// Text whose two bytes before the header equal the header's bytes 14 and 15 (here 00 00) and
// whose fourth byte before it differs from the header's byte 12.
const std::string kStrayText = std::string("abcdefgh") + "W" + "x" + std::string(2, '\0');

INSTANTIATE_TEST_SUITE_P(
    MailReader, Compaction,
    ::testing::Values(
        CompactionRow{"EvenOffset", "abcdefgh" + BlockHeader() + "ijkl", "abcdefghijkl"},
        CompactionRow{"OddOffset", "abcdefghi" + BlockHeader() + "jkl",
                      "abcdefghi" + BlockHeader() + "jkl"},
        CompactionRow{"AtTheStart", BlockHeader() + "abcd", "abcd"},
        CompactionRow{"StrayBytesBlanked", kStrayText + BlockHeader() + "tail", "abcdefgh    tail"},
        CompactionRow{
            "FourthByteEqualKeepsText",
            std::string("abcdefgh") + "\x40" + "x" + std::string(2, '\0') + BlockHeader() + "tail",
            std::string("abcdefgh") + "\x40" + "x" + std::string(2, '\0') + "tail"},
        // The offset right behind a removed header is not tested.
        CompactionRow{"HeaderRightBehindAHeader", "ab" + BlockHeader() + BlockHeader() + "cd",
                      "ab" + BlockHeader() + "cd"},
        CompactionRow{"HeaderTwoBytesBehindAHeader",
                      "ab" + BlockHeader() + "xy" + BlockHeader() + "cd", "abxycd"},
        CompactionRow{"MarkCutByTheEnd", std::string("abcdef\x02", 7),
                      std::string("abcdef\x02", 7)},
        CompactionRow{"HeaderCutByTheEnd", std::string("xxabcde\x02\x00\x00", 10), "xx"}),
    RowName{});

TEST(MailReader, CompactionIsTheSameHoweverTheInputIsSplit) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string raw(static_cast<std::size_t>(random() % 3000), '\0');
    for (char& c : raw) {
      // Mostly the bytes of a block header, so that marks and stray-byte rules meet often.
      const unsigned pick = random() % 8;
      c = static_cast<char>(pick < 3 ? 0 : pick < 5 ? 2 : pick < 6 ? ' ' : random() % 256);
    }
    mail_reader::BlockHeaderCompactor compactor;
    for (std::size_t at = 0; at < raw.size();) {
      const std::size_t piece = std::min<std::size_t>(raw.size() - at, random() % 40 + 1);
      compactor.Append(reinterpret_cast<const std::uint8_t*>(raw.data() + at), piece);
      // What is settled must already be final.
      const std::string settled(compactor.Settled());
      at += piece;
      ASSERT_EQ(mail_reader::CompactWindowOnce(raw).substr(0, settled.size()), settled)
          << "round " << round;
    }
    compactor.Finish();
    ASSERT_EQ(std::string(compactor.Settled()), mail_reader::CompactWindowOnce(raw))
        << "round " << round;
  }
}

TEST(MailReader, RawOffsetsMapPastRemovedHeaders) {
  const std::string raw = "abcd" + BlockHeader() + "efgh" + BlockHeader() + "ijkl";
  mail_reader::BlockHeaderCompactor compactor;
  compactor.Append(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
  compactor.Finish();
  ASSERT_EQ(std::string(compactor.Settled()), "abcdefghijkl");
  // Before, inside (where the header was) and behind the first header; behind the second.
  for (const auto& [rawOffset, compacted] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
           {0, 0}, {3, 3}, {4, 4}, {18, 4}, {19, 4}, {20, 4}, {23, 7}, {40, 8}, {43, 11}})
    EXPECT_EQ(compactor.CompactedOffset(rawOffset), compacted) << rawOffset;
}

// Every byte value at every place of a text of 19 bytes (two words of eight and a tail): bytes
// 0x01 to 0x07 become blanks, every other byte stays; a NUL cuts the text there.
TEST(MailReader, CleanTextBlanksControlBytesAndCutsAtNul) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t place = 0; place < 19; ++place) {
      std::string text(19, 'a');
      text[place] = static_cast<char>(value);
      std::string expected = text;
      if (value == 0)
        expected.resize(place);
      else if (value < 8)
        expected[place] = ' ';
      EXPECT_EQ(mail_reader::CleanMailText(text), expected) << "byte " << value << " at " << place;
    }
  }
}

// The text of a mail whose extent is known keeps a NUL a mail program let into a line of it,
// and ends at the NULs that end its file; control bytes below 8 become blanks as before.
TEST(MailReader, CleanKnownTextKeepsStrayNulsAndEndsAtSlack) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::string text;
    std::string expected;
  } rows[] = {
      {"NulInASubject", "Subject: a\0b\r\n\r\nbody\r\n"s, "Subject: a\0b\r\n\r\nbody\r\n"s},
      {"SlackBehind", "Subject: a\r\n\r\nbody\r\n\0\0\0\0\0\0"s, "Subject: a\r\n\r\nbody\r\n"s},
      {"StrayThenSlack", "Subject: a\0b\r\n\r\nbody\r\n\0\0\0\0"s,
       "Subject: a\0b\r\n\r\nbody\r\n"s},
      {"NulInABodyLine", "S: a\r\n\r\nbo\0dy\r\nend\r\n"s, "S: a\r\n\r\nbo\0dy\r\nend\r\n"s},
      {"RunOfFourEnds", "S: a\r\n\r\nbo\0\0\0\0dy\r\n"s, "S: a\r\n\r\nbo"s},
      {"LastLineIntoSlack", "S: a\r\n\r\nbye\0\0\0"s, "S: a\r\n\r\nbye"s},
      {"ControlBlankedBesideNul", "S: a\x07\0b\r\n"s, "S: a \0b\r\n"s},
      {"NoNul", "S: a\x01\x0c\r\n"s, "S: a \x0c\r\n"s},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(mail_reader::CleanKnownMailText(row.text), row.expected) << row.name;
    // The text read without known bounds still ends at its first NUL.
    EXPECT_EQ(mail_reader::CleanMailText(row.text).find('\0'), std::string::npos) << row.name;
  }
}

}  // namespace
}  // namespace quillon
