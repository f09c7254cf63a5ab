#include "source/split_raw_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/source_test_files.h"

namespace quillon {
namespace {

struct ReadingRow {
  std::string label;
  std::string fileName;
  // Each reading as stem|width|index, the letters' readings marked with an 'L'.
  std::vector<std::string> expected;
};

std::string Describe(const SplitReading& reading) {
  return reading.naming.stem + "|" + std::to_string(reading.naming.width) +
         (reading.naming.letters ? "L" : "") + "|" + std::to_string(reading.index);
}

class SplitReadingsTest : public testing::TestWithParam<ReadingRow> {};

TEST_P(SplitReadingsTest, ReadsTheNameAsAPiece) {
  std::vector<std::string> readings;
  for (const SplitReading& reading : SplitReadings(GetParam().fileName))
    readings.push_back(Describe(reading));
  EXPECT_EQ(readings, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SplitReadingsTest,
    testing::Values(
        ReadingRow{"NumberFromOne", "disk.001", {"disk.|3|1"}},
        ReadingRow{"NumberFromZero", "disk.img.000", {"disk.img.|3|0"}},
        ReadingRow{"LaterNumber", "disk.017", {"disk.|3|17"}},
        ReadingRow{"TwoDigits", "disk.01", {"disk.|2|1"}},
        ReadingRow{"OneDigitIsNoPiece", "disk.1", {}},
        // Numbers count only behind a dot: "photo02" is a name, not a piece.
        ReadingRow{"NumberWithoutDot", "photo02", {}}, ReadingRow{"Letters", "xaa", {"x|2L|0"}},
        ReadingRow{"LaterLetters", "disk.ab", {"disk.|2L|1"}},
        ReadingRow{"WidestFirst", "xaaa", {"x|3L|0", "xa|2L|0"}},
        ReadingRow{"LettersBehindDot", "disk.img.az", {"disk.img.|2L|25"}},
        ReadingRow{"WordAloneIsNoPiece", "aa", {}}, ReadingRow{"UpperCaseIsNoPiece", "diskAA", {}},
        ReadingRow{"ExtensionReadsAsLetters", "disk.img", {"disk.|3L|5726", "disk.i|2L|318"}},
        ReadingRow{"Empty", "", {}}),
    test::RowLabel());

struct NameRow {
  std::string label;
  SplitNaming naming;
  std::uint64_t index;
  std::string expected;  // empty: no name
};

class SplitNameOfTest : public testing::TestWithParam<NameRow> {};

TEST_P(SplitNameOfTest, NamesThePieceAndReadsItBack) {
  const NameRow& row = GetParam();
  const std::optional<std::string> name = row.naming.NameOf(row.index);
  EXPECT_EQ(name.value_or(""), row.expected);
  if (name) {
    EXPECT_EQ(row.naming.IndexOf(*name), row.index);
  }
}

INSTANTIATE_TEST_SUITE_P(Indices, SplitNameOfTest,
                         testing::Values(NameRow{"First", {"disk.", false, 3}, 1, "disk.001"},
                                         NameRow{"Zero", {"disk.", false, 3}, 0, "disk.000"},
                                         NameRow{"Carries", {"disk.", false, 3}, 100, "disk.100"},
                                         NameRow{"Last", {"disk.", false, 3}, 999, "disk.999"},
                                         NameRow{"BeyondWidth", {"disk.", false, 3}, 1000, ""},
                                         NameRow{"LetterFirst", {"x", true, 2}, 0, "xaa"},
                                         NameRow{"LetterCarries", {"x", true, 2}, 26, "xba"},
                                         NameRow{"LetterLast", {"x", true, 2}, 675, "xzz"},
                                         NameRow{"LetterBeyondWidth", {"x", true, 2}, 676, ""}),
                         test::RowLabel());

TEST(SplitNamingTest, IndexOfRefusesOtherNames) {
  const SplitNaming numbers{"disk.", false, 3};
  EXPECT_FALSE(numbers.IndexOf("disk.01"));
  EXPECT_FALSE(numbers.IndexOf("disk.0a1"));
  EXPECT_FALSE(numbers.IndexOf("disc.001"));
  const SplitNaming letters{"x", true, 2};
  EXPECT_FALSE(letters.IndexOf("xa1"));
  EXPECT_FALSE(letters.IndexOf("xAA"));
  EXPECT_EQ(letters.IndexOf("xab"), 1u);
}

}  // namespace
}  // namespace quillon
