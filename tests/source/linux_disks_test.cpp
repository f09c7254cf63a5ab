#include "source/linux_disks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

struct DiskNameRow {
  const char* label;
  std::string name;
  bool isDisk;
};

class WholeDiskNameTest : public testing::TestWithParam<DiskNameRow> {};

TEST_P(WholeDiskNameTest, TellsRealDisksFromTheRest) {
  EXPECT_EQ(IsWholeDiskName(GetParam().name), GetParam().isDisk);
}

INSTANTIATE_TEST_SUITE_P(
    Names, WholeDiskNameTest,
    testing::Values(DiskNameRow{"Scsi", "sda", true}, DiskNameRow{"ScsiTwoLetters", "sdaa", true},
                    DiskNameRow{"Ide", "hdb", true}, DiskNameRow{"VirtIo", "vda", true},
                    DiskNameRow{"Xen", "xvdc", true}, DiskNameRow{"Nvme", "nvme0n1", true},
                    DiskNameRow{"NvmeLargeNumbers", "nvme12n34", true},
                    DiskNameRow{"MemoryCard", "mmcblk0", true},
                    DiskNameRow{"ScsiPartition", "sda1", false},
                    DiskNameRow{"VirtIoPartition", "vda2", false},
                    DiskNameRow{"NvmePartition", "nvme0n1p1", false},
                    DiskNameRow{"NvmeController", "nvme0", false},
                    DiskNameRow{"NvmeMissingNamespace", "nvme0n", false},
                    DiskNameRow{"NvmeMultipathPath", "nvme0c0n1", false},
                    DiskNameRow{"MemoryCardPartition", "mmcblk0p1", false},
                    DiskNameRow{"MemoryCardBootArea", "mmcblk0boot0", false},
                    DiskNameRow{"MemoryCardRpmb", "mmcblk0rpmb", false},
                    DiskNameRow{"BareScsiPrefix", "sd", false},
                    DiskNameRow{"UpperCase", "SDA", false}, DiskNameRow{"Loop", "loop0", false},
                    DiskNameRow{"Ram", "ram0", false}, DiskNameRow{"Zram", "zram0", false},
                    DiskNameRow{"DeviceMapper", "dm-0", false}, DiskNameRow{"Raid", "md0", false},
                    DiskNameRow{"Optical", "sr0", false}, DiskNameRow{"Empty", "", false}),
    test::RowLabel());

// Every name before its successor; the walk covers each family and each kind of numbering.
const std::vector<std::string> kOrderedDisks = {
    "sda",     "sdb",     "sdz",      "sdaa",    "sdab",    "sdba",    "hda",     "hdb",
    "vda",     "vdz",     "vdaa",     "xvda",    "xvdb",    "nvme0n1", "nvme0n2", "nvme0n10",
    "nvme1n1", "nvme2n1", "nvme10n1", "mmcblk0", "mmcblk1", "mmcblk2", "mmcblk10"};

TEST(DiskNameOrderTest, EachNameComesBeforeItsSuccessorAndNotAfter) {
  for (std::size_t i = 0; i + 1 < kOrderedDisks.size(); ++i) {
    EXPECT_TRUE(DiskNameLess(kOrderedDisks[i], kOrderedDisks[i + 1]))
        << kOrderedDisks[i] << " < " << kOrderedDisks[i + 1];
    EXPECT_FALSE(DiskNameLess(kOrderedDisks[i + 1], kOrderedDisks[i]))
        << kOrderedDisks[i + 1] << " < " << kOrderedDisks[i];
  }
  for (const std::string& name : kOrderedDisks) EXPECT_FALSE(DiskNameLess(name, name)) << name;
}

class FakeSysBlock {
 public:
  explicit FakeSysBlock(const std::vector<std::string>& names) {
    for (const std::string& name : names) fs::create_directories(path() / name);
  }
  fs::path path() const { return directory_.path() / "sys" / "block"; }

 private:
  test::TemporaryDirectory directory_;
};

TEST(ListWholeDisksTest, ListsRealDisksInCountingOrderWhateverTheDirectoryOrder) {
  std::vector<std::string> names = kOrderedDisks;
  for (const char* other : {"loop0", "loop7", "zram0", "ram0", "dm-0", "md127", "sr0"})
    names.push_back(other);
  std::shuffle(names.begin(), names.end(), std::mt19937(20240521));
  FakeSysBlock sysBlock(names);
  EXPECT_EQ(ListWholeDisks(sysBlock.path()), kOrderedDisks);
}

TEST(ListWholeDisksTest, MissingRootListsNothing) {
  test::TemporaryDirectory directory;
  EXPECT_TRUE(ListWholeDisks(directory.path() / "absent").empty());
}

struct IndexRow {
  unsigned index;
  std::optional<std::string> disk;
};

class WholeDiskIndexTest : public testing::TestWithParam<IndexRow> {};

TEST_P(WholeDiskIndexTest, CountsOnlyRealDisks) {
  FakeSysBlock sysBlock({"loop0", "vda", "sdb", "zram0", "nvme0n1", "sda", "sr0"});
  EXPECT_EQ(WholeDiskName(GetParam().index, sysBlock.path()), GetParam().disk);
}

INSTANTIATE_TEST_SUITE_P(Indexes, WholeDiskIndexTest,
                         testing::Values(IndexRow{0, "sda"}, IndexRow{1, "sdb"}, IndexRow{2, "vda"},
                                         IndexRow{3, "nvme0n1"}, IndexRow{4, std::nullopt},
                                         IndexRow{99, std::nullopt}));

}  // namespace
}  // namespace quillon
