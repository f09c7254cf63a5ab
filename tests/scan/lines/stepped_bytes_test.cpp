// The walk's view of a chunk with store block headers stepped over: what it reads, and that every
// index still names its byte's true position.
#include "scan/lines/stepped_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

const std::string kHeader("\x00\x10\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00", 16);

std::vector<std::uint8_t> Bytes(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.resize(bytes.size() + 4096, 0);
  return bytes;
}

std::string_view Text(CarveBuffer buffer, std::size_t from, std::size_t count) {
  return {reinterpret_cast<const char*>(buffer.data + from), count};
}

TEST(SteppedBytesTest, StepsOverAHeaderAndKeepsTruePositions) {
  constexpr std::uint64_t kBase = 5000;
  const std::string text = "ab\r\nline " + kHeader + "goes on\r\nnext\r\n";
  const std::vector<std::uint8_t> source = Bytes(text);
  const CarveBuffer chunk{source.data(), source.size(), kBase};
  SteppedBytes bytes(chunk);
  const std::size_t header = text.find(kHeader);
  const std::size_t line = bytes.StepOver(4, header);
  ASSERT_TRUE(bytes.Stepping());
  const CarveBuffer view = bytes.Bytes();
  EXPECT_EQ(Text(view, line, 18), "line goes on\r\nnext");
  struct Row {
    const char* name;
    std::size_t index;  // in the view, from the line start
    std::uint64_t position;
  } rows[] = {{"LineStart", 0, kBase + 4},
              {"LastByteBeforeTheHeader", 4, kBase + header - 1},
              {"FirstByteBehindTheHeader", 5, kBase + header + 16},
              {"NextLine", 14, kBase + text.find("next")}};
  for (const Row& row : rows) {
    EXPECT_EQ(view.PositionOf(line + row.index), row.position) << row.name;
    EXPECT_EQ(bytes.IndexOf(row.position), line + row.index) << row.name;
  }
  // A position inside the header stands for the first byte kept behind it.
  EXPECT_EQ(bytes.IndexOf(kBase + header + 3), line + 5);

  // In front of the header the copy serves; behind it the chunk does again.
  EXPECT_EQ(bytes.Seek(kBase + 6), line + 2);
  EXPECT_TRUE(bytes.Stepping());
  EXPECT_EQ(bytes.Seek(kBase + header + 16), header + 16);
  EXPECT_FALSE(bytes.Stepping());
  EXPECT_EQ(bytes.Bytes().data, source.data()) << "the chunk's own bytes, as read";
}

TEST(SteppedBytesTest, SecondHeaderFromInsideTheCopy) {
  const std::string text = "a\r\n" + kHeader + "b\r\nc" + kHeader + "d\r\n";
  const std::vector<std::uint8_t> source = Bytes(text);
  SteppedBytes bytes(CarveBuffer{source.data(), source.size(), 0});
  bytes.StepOver(0, 3);
  const std::size_t second = std::string_view("a\r\nb\r\nc").size();
  const std::size_t line = bytes.StepOver(3, second);
  EXPECT_EQ(Text(bytes.Bytes(), line, 5), "b\r\ncd");
  EXPECT_EQ(bytes.Bytes().PositionOf(line + 4), text.find('d'));
}

TEST(SteppedBytesTest, AHeaderAheadStaysSteppedOverInTheNextChunk) {
  const std::string text = "line " + kHeader + "goes on\r\n";
  const std::vector<std::uint8_t> source = Bytes(text);
  SteppedBytes bytes(CarveBuffer{source.data(), source.size(), 0});
  bytes.StepOver(0, 5);
  // The next chunk's buffer begins two bytes on, at another address.
  const std::vector<std::uint8_t> moved(source.begin() + 2, source.end());
  bytes.Attach(CarveBuffer{moved.data(), moved.size(), 2}, 3);
  ASSERT_TRUE(bytes.Stepping());
  EXPECT_EQ(Text(bytes.Bytes(), 0, 9), "e goes on");
  EXPECT_EQ(bytes.Bytes().PositionOf(2), 21u);
  bytes.Attach(CarveBuffer{moved.data(), moved.size(), 2}, 21);
  EXPECT_FALSE(bytes.Stepping()) << "behind the header nothing is left out";
}

}  // namespace
}  // namespace quillon
