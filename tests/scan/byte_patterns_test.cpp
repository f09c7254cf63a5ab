// The fast searches must find exactly what a plain byte-by-byte look finds, wherever the
// pattern lies against the 16-byte steps and the range's ends.
#include "scan/byte_patterns.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace quillon {
namespace {

std::vector<std::size_t> AllColons(const std::vector<std::uint8_t>& data, std::size_t begin,
                                   std::size_t end) {
  std::vector<std::size_t> found;
  for (std::size_t i = std::max<std::size_t>(begin, 4); i < end; ++i) {
    const std::uint8_t initial = data[i - 4] | 0x20;
    if (data[i] == ':' && (initial == 'f' || initial == 'd')) found.push_back(i);
  }
  return found;
}

std::vector<std::size_t> AllSizeFields(const std::vector<std::uint8_t>& data, std::size_t begin,
                                       std::size_t end, std::uint64_t base) {
  std::vector<std::size_t> found;
  for (std::size_t i = begin; i + 4 <= end; ++i) {
    if ((base + i) % 4 == 0 && data[i + 1] == 0x02 && data[i + 2] == 0 && data[i + 3] == 0)
      found.push_back(i);
  }
  return found;
}

std::vector<std::uint8_t> PlantedBytes(std::mt19937& random) {
  // Bytes drawn from a small alphabet, so that the patterns and near misses are frequent.
  const std::uint8_t alphabet[] = {':', 'F', 'f', 'D', 'd', 'e', 0x02, 0x00, 0x00, '\n', 0xC6};
  std::vector<std::uint8_t> data(4096);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
  for (auto& byte : data) byte = alphabet[pick(random)];
  return data;
}

TEST(BytePatternsTest, FastSearchesFindWhatAPlainLookFinds) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const std::vector<std::uint8_t> data = PlantedBytes(random);
    const std::size_t begin = random() % 64;
    const std::size_t end = data.size() - random() % 64;
    const std::uint64_t base = random() % 8;

    std::vector<std::size_t> colons;
    for (std::size_t at = FindFromOrDateColon(data.data(), begin, end); at < end;
         at = FindFromOrDateColon(data.data(), at + 1, end))
      colons.push_back(at);
    EXPECT_EQ(colons, AllColons(data, begin, end)) << "round " << round;

    std::vector<std::size_t> fields;
    for (std::size_t at = FindStoreSizeField(data.data(), begin, end, base); at < end;
         at = FindStoreSizeField(data.data(), at + 4, end, base))
      fields.push_back(at);
    EXPECT_EQ(fields, AllSizeFields(data, begin, end, base)) << "round " << round;
  }
}

TEST(BytePatternsTest, NothingFoundIsTheRangeEnd) {
  const std::vector<std::uint8_t> text(100, 'x');
  EXPECT_EQ(FindFromOrDateColon(text.data(), 0, text.size()), text.size());
  EXPECT_EQ(FindStoreSizeField(text.data(), 0, text.size(), 0), text.size());
  EXPECT_EQ(FindFromOrDateColon(text.data(), 50, 50), 50u);
}

}  // namespace
}  // namespace quillon
