// The vector look for "\n--" must list what the byte-by-byte look lists, where a match straddles
// two vectors and in the tail too, at every width of steps.
#include "scan/find/dash_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

struct DashRow {
  const char* name;
  std::string text;
  std::size_t lines;
};

constexpr DashLineSteps kEverySteps[] = {DashLineSteps::Bytes, DashLineSteps::Sse2,
                                         DashLineSteps::Avx2, DashLineSteps::Avx512};

class DashLinesTest : public testing::TestWithParam<DashRow> {};

TEST_P(DashLinesTest, ListsWhatTheByteLookLists) {
  const std::string& text = GetParam().text;
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  std::vector<std::uint64_t> plain;
  FindDashLinesPlain(data, text.size(), 1000, plain);
  EXPECT_EQ(plain.size(), GetParam().lines);
  for (const DashLineSteps steps : kEverySteps) {
    std::vector<std::uint64_t> fast;
    FindDashLines(data, text.size(), 1000, fast, steps);
    EXPECT_EQ(fast, plain) << static_cast<int>(steps);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DashLinesTest,
    testing::Values(
        DashRow{"NoneInText", std::string(100, 'a') + "\n-a\n-a--x\n", 0},
        DashRow{"AtTheStart", "\n--b\r\n" + std::string(40, 'x'), 1},
        DashRow{
            "AcrossVectors",
            std::string(15, 'x') + "\n--" + std::string(15, 'x') + "\n--" + std::string(40, 'x'),
            2},
        DashRow{"AtTheVeryEnd", std::string(30, 'x') + "\n--", 1},
        DashRow{"CutAtTheEnd", std::string(30, 'x') + "\n-", 0},
        // The widest steps take 64 bytes and test their two halves at once.
        DashRow{"InTheSecondHalfOfAWideStep", std::string(40, 'Q') + "\n--b" + std::string(60, 'Q'),
                1},
        DashRow{"InBothHalvesOfAWideStep",
                std::string(5, 'Q') + "\n--" + std::string(40, 'Q') + "\n--" + std::string(60, 'Q'),
                2},
        DashRow{
            "AcrossWideSteps",
            std::string(63, 'Q') + "\n--" + std::string(62, 'Q') + "\n--" + std::string(70, 'Q'),
            2},
        DashRow{"LineFeedEndsAWideStepDashesInTheNext",
                std::string(63, 'Q') + "\n-" + std::string(70, 'Q') + "\n--", 1},
        // The step's first dash alone tells it to look: here it is the step's only one.
        DashRow{"AtAWideStepsStart", std::string(64, 'Q') + "\n--b" + std::string(70, 'Q'), 1},
        DashRow{"RunOfDashLines", "\n--\n--\n--\n---\n----\n--\n--\n--\n--\n--", 10}),
    [](const testing::TestParamInfo<DashRow>& row) { return std::string(row.param.name); });

TEST(DashLinesSweep, RandomBytesOfLineFeedsAndDashes) {
  std::mt19937 random(3);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::uint8_t> data(random() % 300);
    for (auto& byte : data) byte = "\n--x"[random() % 4];
    std::vector<std::uint64_t> plain;
    FindDashLinesPlain(data.data(), data.size(), 7, plain);
    for (const DashLineSteps steps : kEverySteps) {
      std::vector<std::uint64_t> fast;
      FindDashLines(data.data(), data.size(), 7, fast, steps);
      ASSERT_EQ(fast, plain) << "round " << round << " steps " << static_cast<int>(steps);
    }
  }
}

}  // namespace
}  // namespace quillon
