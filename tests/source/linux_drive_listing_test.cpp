#include "source/linux_drive_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A small copy of the parts of /sys and /dev the listing reads, laid out as the kernel and udev
// lay them out: /sys/class/block links into the device tree, where partitions sit inside their
// disk's folder, and /dev/disk/by-* links point at ../../<device>.
class FakeSystem {
 public:
  FakeSystem() {
    roots_.sysClassBlock = root() / "sys" / "class" / "block";
    roots_.devDisk = root() / "dev" / "disk";
    roots_.mounts = root() / "proc" / "mounts";
    fs::create_directories(roots_.sysClassBlock);
    fs::create_directories(roots_.devDisk / "by-label");
    fs::create_directories(roots_.devDisk / "by-uuid");
    fs::create_directories(roots_.mounts.parent_path());
  }

  void AddDisk(const std::string& bus, const std::string& disk) {
    const fs::path folder = root() / "sys" / "devices" / bus / "block" / disk;
    fs::create_directories(folder);
    fs::create_directory_symlink(fs::path("../../devices") / bus / "block" / disk,
                                 roots_.sysClassBlock / disk);
  }

  // `sizeSectors` < 0 leaves the size file out.
  void AddPartition(const std::string& bus, const std::string& disk, const std::string& partition,
                    int number, long sizeSectors = 2048) {
    const fs::path folder = root() / "sys" / "devices" / bus / "block" / disk / partition;
    fs::create_directories(folder);
    std::ofstream(folder / "partition") << number << "\n";
    if (sizeSectors >= 0) std::ofstream(folder / "size") << sizeSectors << "\n";
    fs::create_directory_symlink(fs::path("../../devices") / bus / "block" / disk / partition,
                                 roots_.sysClassBlock / partition);
  }

  void AddLink(const std::string& folder, const std::string& linkName, const std::string& device) {
    fs::create_symlink(fs::path("../..") / device, roots_.devDisk / folder / linkName);
  }

  void WriteMounts(const std::string& text) { std::ofstream(roots_.mounts) << text; }

  const LinuxSystemRoots& roots() const { return roots_; }

 private:
  fs::path root() const { return directory_.path(); }

  test::TemporaryDirectory directory_;
  LinuxSystemRoots roots_;
};

TEST(ListDriveCandidatesTest, ListsPartitionsAndWholeDiskFileSystemsInDiskOrderWithLabels) {
  FakeSystem system;
  system.AddDisk("pci0", "nvme0n1");
  system.AddPartition("pci0", "nvme0n1", "nvme0n1p1", 1);
  system.AddDisk("pci1", "sdaa");
  system.AddPartition("pci1", "sdaa", "sdaa1", 1);
  system.AddDisk("pci1", "sda");
  system.AddPartition("pci1", "sda", "sda10", 10, -1);
  system.AddPartition("pci1", "sda", "sda5", 5);
  system.AddPartition("pci1", "sda", "sda2", 2, 2);  // the extended partition's stub
  system.AddPartition("pci1", "sda", "sda1", 1);
  system.AddDisk("pci1", "sdb");  // a file system straight on the disk
  system.AddDisk("pci1", "sdc");  // blank: a disk to scan, but no drive
  system.AddDisk("virtual", "loop0");
  system.AddPartition("virtual", "loop0", "loop0p1", 1);
  system.AddDisk("virtual", "loop1");
  system.AddDisk("virtual", "zram0");

  system.AddLink("by-label", "My\\x20Data", "sda1");
  system.AddLink("by-label", "Backup", "sdb");
  system.AddLink("by-label", "Caf\\xc3\\xa9", "nvme0n1p1");
  system.AddLink("by-label", "Loop", "loop1");
  system.AddLink("by-uuid", "0a1b-2c3d", "sda1");
  system.AddLink("by-uuid", "5e6f-7a8b", "sda5");
  system.AddLink("by-uuid", "9c0d-1e2f", "sdb");
  system.AddLink("by-uuid", "3a4b-5c6d", "loop1");
  system.AddLink("by-uuid", "7e8f-9a0b", "sda");  // a stale signature on a partitioned disk
  system.WriteMounts(
      "/dev/sda1 /data ext4 rw,relatime 0 0\n"
      "/dev/sda5 /mnt/back\\040up ext4 rw 0 0\n"
      "tmpfs /tmp tmpfs rw 0 0\n"
      "/dev/sda10 /first vfat rw 0 0\n"
      "/dev/sda10 /second vfat rw 0 0\n"
      "/dev/mapper/vg-sdaa1 /crypt ext4 rw 0 0\n");

  const std::vector<DriveCandidate> expected = {
      {"sda1", "sda1  [My Data]"},  {"sda5", "sda5  [/mnt/back up]"},
      {"sda10", "sda10  [/first]"}, {"sdb", "sdb  [Backup]"},
      {"sdaa1", "sdaa1"},           {"nvme0n1p1", "nvme0n1p1  [Caf\xc3\xa9]"},
  };
  const std::vector<DriveCandidate> listed = ListDriveCandidates(system.roots());
  ASSERT_EQ(listed.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(listed[i].name, expected[i].name) << "entry " << i;
    EXPECT_EQ(listed[i].displayText, expected[i].displayText) << "entry " << i;
  }
}

TEST(ListDriveCandidatesTest, WholeDiskFileSystemFoundByLabelAloneIsListed) {
  FakeSystem system;
  system.AddDisk("usb", "sdb");
  system.AddLink("by-label", "STICK", "sdb");
  const std::vector<DriveCandidate> listed = ListDriveCandidates(system.roots());
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], (DriveCandidate{"sdb", "sdb  [STICK]"}));
}

TEST(ListDriveCandidatesTest, MissingSystemFoldersListNothing) {
  test::TemporaryDirectory directory;
  LinuxSystemRoots roots;
  roots.sysClassBlock = directory.path() / "no-sys";
  roots.devDisk = directory.path() / "no-dev";
  roots.mounts = directory.path() / "no-mounts";
  EXPECT_TRUE(ListDriveCandidates(roots).empty());
}

TEST(ListDriveCandidatesTest, UnlabelledUnmountedPartitionShowsItsNameAlone) {
  FakeSystem system;
  system.AddDisk("pci", "vda");
  system.AddPartition("pci", "vda", "vda1", 1);
  const std::vector<DriveCandidate> listed = ListDriveCandidates(system.roots());
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], (DriveCandidate{"vda1", "vda1"}));
}

struct UnescapeRow {
  const char* label;
  std::string escaped;
  std::string plain;
};

class UdevNameTest : public testing::TestWithParam<UnescapeRow> {};

TEST_P(UdevNameTest, Unescapes) {
  EXPECT_EQ(UnescapeUdevName(GetParam().escaped), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(Rows, UdevNameTest,
                         testing::Values(UnescapeRow{"Plain", "Data", "Data"},
                                         UnescapeRow{"Blank", "My\\x20Data", "My Data"},
                                         UnescapeRow{"Slash", "a\\x2fb", "a/b"},
                                         UnescapeRow{"UpperCaseHex", "a\\x2Fb", "a/b"},
                                         UnescapeRow{"Utf8", "Caf\\xc3\\xa9", "Caf\xc3\xa9"},
                                         UnescapeRow{"AtEnd", "x\\x41", "xA"},
                                         UnescapeRow{"AtStart", "\\x41x", "Ax"},
                                         UnescapeRow{"OneHexDigit", "x\\x4", "x\\x4"},
                                         UnescapeRow{"NotHex", "\\xZZ", "\\xZZ"},
                                         UnescapeRow{"LoneBackslash", "a\\b", "a\\b"},
                                         UnescapeRow{"Empty", "", ""}),
                         test::RowLabel());

class MountFieldTest : public testing::TestWithParam<UnescapeRow> {};

TEST_P(MountFieldTest, Unescapes) {
  EXPECT_EQ(UnescapeMountField(GetParam().escaped), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(Rows, MountFieldTest,
                         testing::Values(UnescapeRow{"Plain", "/mnt/data", "/mnt/data"},
                                         UnescapeRow{"Blank", "/mnt/back\\040up", "/mnt/back up"},
                                         UnescapeRow{"Tab", "a\\011b", "a\tb"},
                                         UnescapeRow{"Newline", "a\\012b", "a\nb"},
                                         UnescapeRow{"Backslash", "a\\134b", "a\\b"},
                                         UnescapeRow{"HighestByte", "\\377", "\xff"},
                                         UnescapeRow{"BeyondAByte", "\\400", "\\400"},
                                         UnescapeRow{"NotOctal", "\\08x", "\\08x"},
                                         UnescapeRow{"TwoDigits", "a\\04", "a\\04"},
                                         UnescapeRow{"Empty", "", ""}),
                         test::RowLabel());

}  // namespace
}  // namespace quillon
