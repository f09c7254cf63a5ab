#include "source/linux_file_backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

struct PathRow {
  const char* label;
  std::string name;
  std::string path;
};

class LinuxSourcePathTest : public testing::TestWithParam<PathRow> {};

TEST_P(LinuxSourcePathTest, MapsNameToPath) {
  EXPECT_EQ(LinuxSourcePath(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LinuxSourcePathTest,
    testing::Values(PathRow{"Partition", "sda1", "/dev/sda1"},
                    PathRow{"NvmePartition", "nvme0n1p2", "/dev/nvme0n1p2"},
                    PathRow{"DriveLetter", "C:", "/dev/C:"},
                    PathRow{"AbsolutePath", "/srv/images/disk.img", "/srv/images/disk.img"},
                    PathRow{"RelativePath", "images/disk.img", "images/disk.img"},
                    PathRow{"DotPath", "./disk.img", "./disk.img"},
                    PathRow{"DeviceByPath", "/dev/sdb", "/dev/sdb"},
                    PathRow{"BackslashIsNoPath", "C:\\mail.dbx", "/dev/C:\\mail.dbx"}),
    test::RowLabel());

TEST(LinuxFileBackendTest, RegularFileIsAsLargeAsItsLengthAndReadsAtOffsets) {
  test::TemporaryDirectory directory;
  const auto path = directory.path() / "image.bin";
  test::WriteImageFile(path, test::PatternBytes(1500));

  BackendOpening opening = OpenLinuxFile(path.string());
  ASSERT_NE(opening.backend, nullptr) << opening.error;
  EXPECT_EQ(opening.backend->SizeBytes(), 1500u);

  std::uint8_t buffer[600] = {};
  EXPECT_EQ(opening.backend->ReadAt(buffer, 600, 1000), 500);
  EXPECT_EQ(buffer[0], test::PatternByte(1000));
  EXPECT_EQ(buffer[499], test::PatternByte(1499));
  EXPECT_EQ(opening.backend->ReadAt(buffer, 600, 1500), 0);
}

// Sources without a size: nothing to scan up to, and no mail to read back at its position. A
// pipe without a writer must be refused at once rather than hold the open.
struct SizelessRow {
  const char* label;
  std::string path;  // "@" stands for the test's temporary directory
};

class SizelessSourceTest : public testing::TestWithParam<SizelessRow> {};

TEST_P(SizelessSourceTest, IsRefusedWithTheReason) {
  test::TemporaryDirectory directory;
  ASSERT_EQ(::mkfifo((directory.path() / "pipe").c_str(), 0600), 0) << std::strerror(errno);
  std::string path = GetParam().path;
  if (const auto at = path.find('@'); at != std::string::npos)
    path.replace(at, 1, directory.path().string());
  const BackendOpening opening = OpenLinuxFile(path);
  EXPECT_EQ(opening.backend, nullptr);
  EXPECT_EQ(opening.error, kSizeUnknownError);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SizelessSourceTest,
                         testing::Values(SizelessRow{"PipeWithoutWriter", "@/pipe"},
                                         SizelessRow{"Zero", "/dev/zero"},
                                         SizelessRow{"Null", "/dev/null"}),
                         test::RowLabel());

}  // namespace
}  // namespace quillon
