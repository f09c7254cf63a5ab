#include "source/source_name.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

struct NameRow {
  const char* label;
  std::string name;
  SourceNameKind kind;
  unsigned diskIndex = 0;
};

class SourceNameTest : public testing::TestWithParam<NameRow> {};

TEST_P(SourceNameTest, ClassifiesName) {
  const NameRow& row = GetParam();
  const SourceNameForm form = ClassifySourceName(row.name);
  EXPECT_EQ(form.kind, row.kind);
  if (row.kind == SourceNameKind::WholeDisk) {
    EXPECT_EQ(form.diskIndex, row.diskIndex);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SourceNameTest,
    testing::Values(NameRow{"Empty", "", SourceNameKind::Empty},
                    NameRow{"OneCharacter", "a", SourceNameKind::Other},
                    NameRow{"TwoLetters", "AB", SourceNameKind::RefusedShort},
                    NameRow{"BareHd", "HD", SourceNameKind::RefusedShort},
                    NameRow{"TwoDigits", "12", SourceNameKind::RefusedShort},
                    NameRow{"DriveLetter", "C:", SourceNameKind::Other},
                    NameRow{"ColonFirst", ":C", SourceNameKind::Other},
                    NameRow{"DiskZero", "HD0", SourceNameKind::WholeDisk, 0},
                    NameRow{"DiskZeroLowerCase", "hd0", SourceNameKind::WholeDisk, 0},
                    NameRow{"DiskMixedCase", "hD7", SourceNameKind::WholeDisk, 7},
                    NameRow{"DiskTwoDigits", "HD12", SourceNameKind::WholeDisk, 12},
                    NameRow{"DiskLeadingZero", "HD07", SourceNameKind::WholeDisk, 7},
                    NameRow{"DiskLargestIndex", "HD99", SourceNameKind::WholeDisk, 99},
                    NameRow{"DiskThreeDigits", "HD123", SourceNameKind::Other},
                    NameRow{"OldIdeDevice", "hda", SourceNameKind::Other},
                    NameRow{"OldIdePartition", "hda1", SourceNameKind::Other},
                    NameRow{"DigitThenLetter", "HD1a", SourceNameKind::Other},
                    NameRow{"HdPath", "HD/0", SourceNameKind::Other},
                    NameRow{"DrivePath", "C:\\", SourceNameKind::Other},
                    NameRow{"Partition", "sda1", SourceNameKind::Other},
                    NameRow{"AbsolutePath", "/tmp/disk.img", SourceNameKind::Other}),
    test::RowLabel());

// What a typed name means, from a folder that holds a file "disk.img", a folder "sda1", a pipe
// "pipe" and a file "HD0": the command line and the window both take a name this way.
struct ResolveRow {
  const char* label;
  std::string name;
  std::string resolved;
};

class ResolveSourceNameTest : public testing::TestWithParam<ResolveRow> {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::ofstream(directory_.path() / "disk.img") << "image";
    std::ofstream(directory_.path() / "HD0") << "image";
    std::filesystem::create_directory(directory_.path() / "sda1");
    ASSERT_EQ(::mkfifo((directory_.path() / "pipe").c_str(), 0600), 0);
    std::filesystem::current_path(directory_.path());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  test::TemporaryDirectory directory_;
  std::filesystem::path previous_;
};

TEST_P(ResolveSourceNameTest, AFileInTheCurrentFolderWins) {
  EXPECT_EQ(ResolveSourceName(GetParam().name), GetParam().resolved);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ResolveSourceNameTest,
    testing::Values(ResolveRow{"FileHere", "disk.img", "./disk.img"},
                    ResolveRow{"FileNamedLikeADisk", "HD0", "./HD0"},
                    ResolveRow{"PipeHereIsRefusedAsItself", "pipe", "./pipe"},
                    ResolveRow{"FolderHereLeavesTheDevice", "sda1", "sda1"},
                    ResolveRow{"NothingHere", "sdb", "sdb"}, ResolveRow{"WholeDisk", "HD1", "HD1"},
                    ResolveRow{"PathStaysAsTyped", "sub/disk.img", "sub/disk.img"},
                    ResolveRow{"AbsolutePath", "/srv/disk.img", "/srv/disk.img"}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
