#include "source/ewf_segments.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "source/source_test_files.h"

namespace quillon {
namespace {

struct NextRow {
  std::string label;
  std::string name;
  std::string expected;
};

class NextEwfSegmentNameTest : public testing::TestWithParam<NextRow> {};

TEST_P(NextEwfSegmentNameTest, CountsOn) {
  EXPECT_EQ(NextEwfSegmentName(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, NextEwfSegmentNameTest,
                         testing::Values(NextRow{"First", "disk.E01", "disk.E02"},
                                         NextRow{"Tens", "disk.E09", "disk.E10"},
                                         NextRow{"AfterNinetyNine", "disk.E99", "disk.EAA"},
                                         NextRow{"Letters", "disk.EAA", "disk.EAB"},
                                         NextRow{"LetterCarries", "disk.EAZ", "disk.EBA"},
                                         NextRow{"FirstLetterCarries", "disk.EZZ", "disk.FAA"},
                                         NextRow{"LowerCase", "case 7/disk.e99", "case 7/disk.eaa"},
                                         NextRow{"SecondVersion", "disk.Ex01", "disk.Ex01"},
                                         NextRow{"NoExtension", "disk", "disk"}),
                         test::RowLabel());

// A first-version segment: the file header, then sections of the given types and sizes, each
// behind its 76-byte descriptor, chained by their next offsets.
struct Section {
  std::string type;
  std::uint64_t dataBytes;
};

std::vector<std::uint8_t> Segment(const std::vector<Section>& sections) {
  std::vector<std::uint8_t> file = {'E', 'V', 'F', 9, 13, 10, 0xFF, 0, 1, 1, 0, 0, 0};
  for (const Section& section : sections) {
    const std::uint64_t at = file.size();
    const bool last = section.type == "done" || section.type == "next";
    const std::uint64_t size = 76 + section.dataBytes;
    const std::uint64_t next = last ? at : at + size;
    std::vector<std::uint8_t> descriptor(76, 0);
    std::memcpy(descriptor.data(), section.type.data(), section.type.size());
    for (int i = 0; i < 8; ++i) {
      descriptor[16 + i] = static_cast<std::uint8_t>(next >> (8 * i));
      descriptor[24 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    file.insert(file.end(), descriptor.begin(), descriptor.end());
    file.insert(file.end(), section.dataBytes, 0x11);
  }
  return file;
}

SegmentWalk Walk(const std::vector<std::uint8_t>& file, std::uint64_t size) {
  const SegmentReader read = [&](std::uint64_t offset, std::size_t count, void* out) {
    if (offset >= size) return std::size_t{0};
    const std::size_t available =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset));
    std::memcpy(out, file.data() + offset, available);
    return available;
  };
  return WalkEwfSegment(read, size);
}

struct WalkRow {
  std::string label;
  std::vector<Section> sections;
  std::int64_t cut;  // bytes cut off the file's end
  SegmentEnd expected;
};

class WalkEwfSegmentTest : public testing::TestWithParam<WalkRow> {};

TEST_P(WalkEwfSegmentTest, FindsHowTheChainEnds) {
  const std::vector<std::uint8_t> file = Segment(GetParam().sections);
  EXPECT_EQ(Walk(file, file.size() - static_cast<std::uint64_t>(GetParam().cut)).end,
            GetParam().expected);
}

const std::vector<Section> kLast = {
    {"header", 100}, {"volume", 94}, {"sectors", 4096}, {"table", 40}, {"done", 0}};
const std::vector<Section> kMiddle = {{"header", 100}, {"sectors", 4096}, {"next", 0}};

INSTANTIATE_TEST_SUITE_P(
    Chains, WalkEwfSegmentTest,
    testing::Values(WalkRow{"LastSegment", kLast, 0, SegmentEnd::Done},
                    WalkRow{"MiddleSegment", kMiddle, 0, SegmentEnd::Next},
                    WalkRow{"CutInLastDescriptor", kLast, 1, SegmentEnd::Truncated},
                    WalkRow{"CutInSectorData", kMiddle, 76 + 100, SegmentEnd::Truncated},
                    WalkRow{"OnlyTheFileHeader", kMiddle, 4096 + 100 + 3 * 76,
                            SegmentEnd::Truncated}),
    test::RowLabel());

TEST(WalkEwfSegmentTest, TruncationSaysHowFarTheChainReaches) {
  const std::vector<std::uint8_t> file = Segment(kMiddle);
  const SegmentWalk walk = Walk(file, 1000);
  EXPECT_EQ(walk.end, SegmentEnd::Truncated);
  EXPECT_EQ(walk.neededBytes, 13u + 76 + 100 + 76 + 4096);
}

TEST(WalkEwfSegmentTest, GarbageWhereASectionMustStandIsDamage) {
  std::vector<std::uint8_t> file = Segment(kMiddle);
  const std::size_t second = 13 + 76 + 100;
  file[second] = 0xE9;  // the sectors section's type
  const SegmentWalk walk = Walk(file, file.size());
  EXPECT_EQ(walk.end, SegmentEnd::Damaged);
  EXPECT_EQ(walk.neededBytes, second);
}

TEST(WalkEwfSegmentTest, ChainPointingBackwardsIsNoSegment) {
  std::vector<std::uint8_t> file = Segment(kMiddle);
  file[13 + 16] = 5;  // the first section's next offset points into the file header
  for (int i = 1; i < 8; ++i) file[13 + 16 + i] = 0;
  EXPECT_EQ(Walk(file, file.size()).end, SegmentEnd::Unknown);
}

}  // namespace
}  // namespace quillon
