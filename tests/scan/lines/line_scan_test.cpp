// The word- and vector-wide looks must agree with a plain byte-by-byte look, for every byte
// value at every place in a vector, in the word loop behind it and in the tail.
#include "scan/lines/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/lines/line_reader.h"

namespace quillon {
namespace {

std::size_t PlainLineEnd(const std::vector<std::uint8_t>& data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (data[i] == '\r' || data[i] == '\n' || data[i] == 0) return i;
  }
  return length;
}

bool PlainNonText(const std::vector<std::uint8_t>& data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return true;
  }
  return false;
}

bool PlainHoldsNonTextByte(const std::vector<std::uint8_t>& data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (!IsTextByte(data[i])) return true;
  }
  return false;
}

// The first line feed and whether a byte in front of it is no text, a byte at a time.
LineFeedScan PlainLineFeedScan(const std::vector<std::uint8_t>& data, std::size_t length) {
  LineFeedScan scan;
  while (scan.lineFeed < length && data[scan.lineFeed] != '\n') {
    scan.nonText = scan.nonText || !IsTextByte(data[scan.lineFeed]);
    ++scan.lineFeed;
  }
  return scan;
}

void ExpectSameLineFeedScan(const std::vector<std::uint8_t>& data, std::size_t length,
                            const std::string& where) {
  const LineFeedScan fast = FindLineFeedJudgingText(data.data(), length);
  const LineFeedScan plain = PlainLineFeedScan(data, length);
  EXPECT_EQ(fast.lineFeed, plain.lineFeed) << where;
  EXPECT_EQ(fast.nonText, plain.nonText) << where;
}

std::size_t PlainNameBytes(const std::vector<std::uint8_t>& data, std::size_t length) {
  std::size_t i = 0;
  while (i < length && data[i] >= 33 && data[i] <= 126 && data[i] != ':') ++i;
  return i;
}

std::size_t PlainByteBelow(const std::vector<std::uint8_t>& data, std::size_t length,
                           std::uint8_t limit) {
  std::size_t i = 0;
  while (i < length && data[i] >= limit) ++i;
  return i;
}

// Two vectors, a word and a tail of three bytes.
constexpr std::size_t kSpan = 43;

TEST(LineScanTest, EveryByteValueAtEveryPlace) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t place = 0; place < kSpan; ++place) {
      // Plain text around one byte of the value, high bytes included.
      std::vector<std::uint8_t> data(kSpan, 'a');
      data[(place + 3) % kSpan] = 0xE9;
      data[place] = static_cast<std::uint8_t>(value);
      for (std::size_t length : {place, place + 1, kSpan}) {
        EXPECT_EQ(FindLineEndOrNul(data.data(), length), PlainLineEnd(data, length))
            << value << " at " << place << " of " << length;
        EXPECT_EQ(MayHoldNonText(data.data(), length), PlainNonText(data, length))
            << value << " at " << place << " of " << length;
        EXPECT_EQ(HoldsNonTextByte(data.data(), length), PlainHoldsNonTextByte(data, length))
            << value << " at " << place << " of " << length;
        EXPECT_EQ(NameBytesAtStart(data.data(), length), PlainNameBytes(data, length))
            << value << " at " << place << " of " << length;
        const std::string_view text(reinterpret_cast<const char*>(data.data()), length);
        for (const std::size_t from : {std::size_t{0}, place, place + 1, length + 1}) {
          EXPECT_EQ(FindByteInLine(text, static_cast<char>(value), from),
                    text.find(static_cast<char>(value), from))
              << value << " at " << place << " of " << length << " from " << from;
        }
        ExpectSameLineFeedScan(data, length,
                               std::to_string(value) + " at " + std::to_string(place) + " of " +
                                   std::to_string(length));
        // The limits the value readers use, and the edges of the unsigned compare.
        for (const std::uint8_t limit : {1, 14, 0x80, 0xE9, 0xFF}) {
          EXPECT_EQ(FindByteBelow(data.data(), length, limit), PlainByteBelow(data, length, limit))
              << value << " at " << place << " of " << length << " below " << int(limit);
        }
      }
    }
  }
}

// The body steps let a line pass as text when the quick look sees nothing below 0x20 or 0x7F:
// every byte that is no text must be one it sees.
TEST(LineScanTest, QuickLookSeesEveryByteThatIsNoText) {
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    if (IsTextByte(byte)) continue;
    EXPECT_TRUE(MayHoldNonText(&byte, 1)) << value;
  }
}

TEST(LineScanTest, RandomLines) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> data(random() % 200);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(0x20 + random() % 0xE0);
    if (!data.empty() && round % 2 == 0)
      data[random() % data.size()] = static_cast<std::uint8_t>(random() % 0x20);
    EXPECT_EQ(FindLineEndOrNul(data.data(), data.size()), PlainLineEnd(data, data.size()));
    EXPECT_EQ(MayHoldNonText(data.data(), data.size()), PlainNonText(data, data.size()));
    EXPECT_EQ(HoldsNonTextByte(data.data(), data.size()), PlainHoldsNonTextByte(data, data.size()));
    EXPECT_EQ(FindByteBelow(data.data(), data.size(), 14), PlainByteBelow(data, data.size(), 14));
    // Each colon of the line in turn, as the header rules look for them.
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const char wanted = static_cast<char>(data.empty() ? ':' : data[random() % data.size()]);
    for (std::size_t from = 0; from <= text.size(); from += 1 + random() % 20)
      EXPECT_EQ(FindByteInLine(text, wanted, from), text.find(wanted, from)) << from;
  }
}

// A line feed behind a byte that is no text, in front of one, in the same step of sixteen or in
// another, and lines that end in CR LF: where the line ends and what it holds are told in one pass.
TEST(LineScanTest, LineFeedAndNonTextAnywhere) {
  constexpr std::size_t kLength = 70;  // four steps and a tail
  const std::uint8_t others[] = {0x00, 0x01, 0x08, 0x0B, 0x1F, 0x7F, '\r', '\t', 0x1B, 0x0E};
  for (std::size_t feed = 0; feed <= kLength; ++feed) {
    for (std::size_t place = 0; place < kLength; place += 3) {
      for (const std::uint8_t other : others) {
        std::vector<std::uint8_t> data(kLength, 'x');
        data[place] = other;
        if (feed < kLength) data[feed] = '\n';
        if (feed > 0 && feed < kLength && feed - 1 != place) data[feed - 1] = '\r';
        ExpectSameLineFeedScan(data, kLength,
                               "feed " + std::to_string(feed) + ", byte " + std::to_string(other) +
                                   " at " + std::to_string(place));
      }
    }
  }
}

TEST(LineScanTest, RandomLinesWithLineFeeds) {
  std::mt19937 random(11);
  for (int round = 0; round < 4000; ++round) {
    std::vector<std::uint8_t> data(random() % 300);
    for (auto& byte : data) {
      const auto draw = random() % 64;
      byte = draw == 0   ? static_cast<std::uint8_t>(random() % 0x20)
             : draw == 1 ? std::uint8_t{'\n'}
                         : static_cast<std::uint8_t>(0x20 + random() % 0xE0);
    }
    for (std::size_t from = 0; from < data.size(); from += 1 + random() % 40) {
      const std::vector<std::uint8_t> rest(data.begin() + static_cast<std::ptrdiff_t>(from),
                                           data.end());
      ExpectSameLineFeedScan(rest, rest.size(), "round " + std::to_string(round));
    }
  }
}

// The capitals a visit is asked about, and where it stops, must be those a byte-at-a-time look
// finds: every byte value at every place, every stretch of a short and a long text.
std::vector<std::size_t> CapitalsVisited(std::string_view text, std::size_t from, std::size_t to,
                                         std::size_t stopAt, bool& stopped) {
  std::vector<std::size_t> visited;
  stopped = AnyCapitalWhere(text, from, to, [&](std::size_t at) {
    visited.push_back(at);
    return at == stopAt;
  });
  return visited;
}

std::vector<std::size_t> PlainCapitals(std::string_view text, std::size_t from, std::size_t to,
                                       std::size_t stopAt, bool& stopped) {
  std::vector<std::size_t> visited;
  stopped = false;
  for (std::size_t at = from; at < to && !stopped; ++at) {
    if (text[at] < 'A' || text[at] > 'Z') continue;
    visited.push_back(at);
    stopped = at == stopAt;
  }
  return visited;
}

TEST(LineScanTest, CapitalsVisitedAsByteByByte) {
  std::mt19937 random(17);
  for (const std::size_t length :
       {std::size_t{5}, std::size_t{15}, std::size_t{16}, std::size_t{37}, std::size_t{80}}) {
    for (int round = 0; round < 300; ++round) {
      std::string text(length, 'a');
      for (char& c : text) {
        const auto draw = random() % 8;
        c = draw == 0   ? static_cast<char>('A' + random() % 26)
            : draw == 1 ? static_cast<char>(random() % 256)
            : draw == 2 ? '@'
            : draw == 3 ? '['
                        : static_cast<char>('a' + random() % 26);
      }
      const std::size_t from = random() % (length + 1);
      const std::size_t to = from + random() % (length - from + 1);
      const std::size_t stopAt = random() % 3 == 0 ? std::string::npos : random() % length;
      bool fastStopped = false;
      bool plainStopped = false;
      EXPECT_EQ(CapitalsVisited(text, from, to, stopAt, fastStopped),
                PlainCapitals(text, from, to, stopAt, plainStopped))
          << text << " [" << from << ", " << to << ")";
      EXPECT_EQ(fastStopped, plainStopped) << text;
    }
  }
}

// A name is read up to 76 bytes; the byte behind them is looked at for the colon alone.
struct NameRow {
  const char* label;
  std::string line;
  std::size_t expected;
};

class HeaderNameLengthTest : public testing::TestWithParam<NameRow> {};

TEST_P(HeaderNameLengthTest, ReadsTheNameBeforeTheColon) {
  EXPECT_EQ(HeaderNameLength(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderNameLengthTest,
    testing::Values(
        NameRow{"Plain", "Subject: x", 7}, NameRow{"LowerCase", "from:a", 4},
        NameRow{"NoColon", "Subject x", 0}, NameRow{"ProseLine", "The quick fox", 0},
        NameRow{"DigitFirst", "1Subject: x", 0}, NameRow{"DashFirst", "-a: x", 0},
        NameRow{"BlankInName", "Sub ject: x", 0},
        // Raw 8-bit bytes stand in a name as its other bytes do, never first.
        NameRow{"EightBitInName", "Sub\xE9ject: x", 8},
        NameRow{"Utf8Name",
                "X-R\xC3\xA9"
                "f\xC3\xA9rence: 1",
                13},
        NameRow{"EightBitFirst", "\xC3\xA9t\xC3\xA9: x", 0},
        NameRow{"EightBitThenBlank",
                "Gr\xFC\xDF"
                "e an alle: x",
                0},
        NameRow{"EightBitNoColon", "Gr\xFC\xDF\xE9", 0},
        NameRow{"EightBitThenControl", "X\xE9\x01: x", 0},
        NameRow{"EightBitColonAt76", std::string(70, 'a') + std::string(6, '\xE9') + ": x", 76},
        NameRow{"EightBitColonAt77", std::string(70, 'a') + std::string(7, '\xE9') + ": x", 0},
        NameRow{"DeleteInName", "Sub\x7Fject: x", 0},
        NameRow{"ColonBehindSixteen", "X-Abcdefghijklmnop: x", 18},
        NameRow{"ColonAt76", std::string(76, 'a') + ": x", 76},
        NameRow{"ColonAt77", std::string(77, 'a') + ": x", 0},
        NameRow{"NameToTheEnd", std::string(40, 'a'), 0}, NameRow{"Empty", "", 0},
        NameRow{"ColonFirst", ":x", 0}),
    [](const testing::TestParamInfo<NameRow>& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace quillon
