#include "source/source_enumeration.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "source/data_source.h"
#include "source/source_entries.h"
#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

struct LabelRow {
  const char* label;
  std::string text;
  std::uint64_t sectors;
  std::string expected;
};

class FormatSourceLabelTest : public testing::TestWithParam<LabelRow> {};

TEST_P(FormatSourceLabelTest, Formats) {
  EXPECT_EQ(FormatSourceLabel(GetParam().text, GetParam().sectors), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatSourceLabelTest,
    testing::Values(LabelRow{"Empty", "HD3", 0, "HD3  (0.00M)"},
                    LabelRow{"OneSector", "x.img", 1, "x.img  (0.00M)"},
                    LabelRow{"HalfMebibyteRoundsUp", "x.img", 1023, "x.img  (0.50M)"},
                    LabelRow{"OneMebibyte", "x.img", 2048, "x.img  (1.00M)"},
                    LabelRow{"MillionByteImage", "x.img", 1954, "x.img  (0.95M)"},
                    LabelRow{"BelowTheBoundary", "D:", 2091007, "D:  (1021.00M)"},
                    LabelRow{"AtTheBoundary", "D:", 2091008, "D:  (1021.00M)"},
                    LabelRow{"AboveTheBoundary", "D:", 2091009, "D:  (1.00G)"},
                    LabelRow{"OneGibibyteInGibibytes", "D:", 2097152, "D:  (1.00G)"},
                    LabelRow{"TypicalDisk", "HD0", 156301488, "HD0  (74.53G)"},
                    LabelRow{"DriveWithLabel", "sda1  [Data]", 156301488, "sda1  [Data]  (74.53G)"},
                    LabelRow{"TwoTebibytes", "HD1", std::uint64_t{1} << 32, "HD1  (2048.00G)"},
                    LabelRow{"ThreeTebibytes", "HD1", std::uint64_t{3} << 31, "HD1  (3072.00G)"},
                    LabelRow{"EmptyText", "", 2048, "  (1.00M)"}),
    test::RowLabel());

TEST(ComposeSourceEntriesTest, ListsWhatOpensInOrderAndSkipsTheRestSilently) {
  test::TemporaryDirectory directory;
  const std::string small = (directory.path() / "small.img").string();
  const std::string large = (directory.path() / "large.img").string();
  const std::string missing = (directory.path() / "missing.img").string();
  test::WriteImageFile(small, test::PatternBytes(1000000));
  test::WriteImageFile(large, test::PatternBytes(4096 * 512));

  const std::vector<DriveCandidate> drives = {
      {missing, "gone  [Lost]"}, {small, "small  [Mail]"}, {"AB", "refused"}, {large, "large"}};
  const std::vector<std::string> disks = {"HD98", large, "HD99", small};
  const std::vector<SourceEntry> entries = ComposeSourceEntries(drives, disks);

  struct Expected {
    std::string name;
    std::string label;
    SourceIconKind icon;
  };
  const std::vector<Expected> expected = {
      {small, "small  [Mail]  (0.95M)", SourceIconKind::Drive},
      {large, "large  (2.00M)", SourceIconKind::Drive},
      {large, large + "  (2.00M)", SourceIconKind::Disk},
      {small, small + "  (0.95M)", SourceIconKind::Disk},
  };
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].name) << "entry " << i;
    EXPECT_EQ(entries[i].label, expected[i].label) << "entry " << i;
    EXPECT_EQ(entries[i].icon, expected[i].icon) << "entry " << i;
  }
}

TEST(EnumerateSourcesTest, EveryEntryOpensAndDrivesComeBeforeDisks) {
  const std::vector<SourceEntry> entries = EnumerateSources();
  const std::regex diskName("HD[0-7]");
  bool seenDisk = false;
  std::string previousDisk;
  for (const SourceEntry& entry : entries) {
    DataSource source;
    ASSERT_TRUE(source.Open(entry.name)) << entry.name << ": " << source.LastError();
    EXPECT_TRUE(entry.label.ends_with(FormatSourceLabel("", source.TotalSectors()))) << entry.label;
    if (entry.icon == SourceIconKind::Disk) {
      EXPECT_TRUE(std::regex_match(entry.name, diskName)) << entry.name;
      EXPECT_EQ(entry.label, FormatSourceLabel(entry.name, source.TotalSectors()));
      EXPECT_LT(previousDisk, entry.name) << "disks out of order";
      previousDisk = entry.name;
      seenDisk = true;
    } else {
      EXPECT_EQ(entry.icon, SourceIconKind::Drive);
      EXPECT_FALSE(seenDisk) << entry.name << " listed after a disk";
      EXPECT_TRUE(entry.label.starts_with(entry.name)) << entry.label;
    }
  }
}

}  // namespace
}  // namespace quillon
