// A text read again behind a print that ran on to its bound: told where the bytes are text
// already, TextFrom must end, cut back and step over block headers exactly as when it looks
// through every byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/merge/mail_print.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

// A store's block header for the 4-aligned index `at` of a buffer that begins at position 0.
std::string BlockHeader(std::uint32_t at) {
  const auto le32 = [](std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
  };
  return le32(at) + std::string("\x00\x02\x00\x00", 4) + le32(0x100) + le32(at + 0x210);
}

struct TextFromRow {
  const char* name;
  std::string known;  // bytes known to be text: the first `known.size()` of the buffer
  std::string tail;   // what follows them, or a block header's place (see below)
  std::size_t limit;  // 0: the whole buffer
  bool headerInTail;  // a block header stands at the first 4-aligned index of the tail
};

std::string Buffer(const TextFromRow& row) {
  std::string bytes = row.known + row.tail;
  if (row.headerInTail) {
    std::size_t at = (row.known.size() + 3) / 4 * 4;
    bytes.resize(std::max(bytes.size(), at), 'x');
    bytes = bytes.substr(0, at) + BlockHeader(static_cast<std::uint32_t>(at)) + "more text\r\n";
  }
  return bytes;
}

class TextFromTest : public ::testing::TestWithParam<TextFromRow> {};

TEST_P(TextFromTest, EndsAsWhenEveryByteIsLookedAt) {
  const TextFromRow& row = GetParam();
  const std::string bytes = Buffer(row);
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  const std::size_t limit = row.limit == 0 ? bytes.size() : row.limit;
  std::string everyStepped, knownStepped;
  const MailText every = TextFrom(buffer, 0, limit, everyStepped);
  const MailText known = TextFrom(buffer, 0, limit, knownStepped, row.known.size());
  ASSERT_EQ(every.data == nullptr, known.data == nullptr);
  ASSERT_EQ(every.size, known.size);
  if (every.data) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(every.data), every.size),
              std::string(reinterpret_cast<const char*>(known.data), known.size));
  }
  EXPECT_EQ(everyStepped, knownStepped);
}

const std::string kHeader = "From: a@b.c\r\nSubject: s\r\n\r\n";
const std::string kBody(300, 'b');

INSTANTIATE_TEST_SUITE_P(
    Tails, TextFromTest,
    ::testing::Values(
        TextFromRow{"NothingBehind", kHeader + kBody + "\r\n", "", 0, false},
        TextFromRow{"ZeroRightBehind", kHeader + kBody, std::string(8, '\0'), 0, false},
        TextFromRow{"ControlByteCutsBackToTheLineEnd", kHeader + kBody + "\r\n", "tail\x01rest", 0,
                    false},
        TextFromRow{"ControlByteCutsBackIntoTheKnownText", kHeader + kBody, "\x01rest", 0, false},
        TextFromRow{"EscapesInTheKnownText", kHeader + "\x1b$B text \x1b(B\r\n" + kBody,
                    "\r\nplain\r\n\x02", 0, false},
        TextFromRow{"EscapeBehind", kHeader + kBody, "\x1b$B more\r\n", 0, false},
        TextFromRow{"BlockHeaderBehind", kHeader + kBody + "\r\n", "", 0, true},
        TextFromRow{"BlockHeaderRightAtTheBound", kHeader + std::string(301, 'b'), "", 0, true},
        TextFromRow{"LimitShortOfTheKnownText", kHeader + kBody + "\r\n", "tail\r\n", 40, false},
        TextFromRow{"LimitAtTheKnownText", kHeader + kBody + "\r\n", "tail\x01", 329, false}),
    test::RowName());

}  // namespace
}  // namespace quillon
