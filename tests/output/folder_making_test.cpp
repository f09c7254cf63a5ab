#include "output/folder_making.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/paths.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

using test::RowName;

struct MakeRow {
  const char* name;
  std::vector<std::string> foldersBefore;  // relative to the test's folder
  std::vector<std::string> filesBefore;
  std::string wanted;
  std::vector<std::string> made;  // what the call must report as made, outermost first
  std::errc error;                // std::errc{} for none
};

class MakingFolders : public ::testing::TestWithParam<MakeRow> {};

TEST_P(MakingFolders, MakesWhatIsMissingAndReportsWhatItMade) {
  test::TemporaryDirectory root;
  for (const std::string& folder : GetParam().foldersBefore)
    fs::create_directories(root.path() / folder);
  for (const std::string& file : GetParam().filesBefore)
    std::ofstream(root.path() / file) << "a file";

  std::vector<fs::path> made;
  const std::error_code error = MakeFolders(root.path() / GetParam().wanted, made);
  if (GetParam().error == std::errc{}) {
    EXPECT_FALSE(error) << error.message();
  } else {
    EXPECT_EQ(error, GetParam().error) << error.message();
  }
  std::vector<fs::path> expected;
  for (const std::string& folder : GetParam().made)
    expected.push_back((root.path() / folder).lexically_normal());
  EXPECT_EQ(made, expected);
  if (!error) {
    EXPECT_TRUE(fs::is_directory(root.path() / GetParam().wanted));
  } else {
    // Nothing it made stays behind.
    std::size_t entries = 0;
    for (auto at = fs::recursive_directory_iterator(root.path());
         at != fs::recursive_directory_iterator(); ++at)
      ++entries;
    EXPECT_EQ(entries, GetParam().foldersBefore.size() + GetParam().filesBefore.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    FolderMaking, MakingFolders,
    ::testing::Values(
        MakeRow{"ThereAlready", {"out"}, {}, "out", {}, std::errc{}},
        MakeRow{"OneLevel", {}, {}, "out", {"out"}, std::errc{}},
        MakeRow{"ThreeLevels", {}, {}, "a/b/c", {"a", "a/b", "a/b/c"}, std::errc{}},
        MakeRow{"BelowAnExistingOne", {"a"}, {}, "a/b/c", {"a/b", "a/b/c"}, std::errc{}},
        MakeRow{"TrailingSlash", {}, {}, "a/b/", {"a", "a/b"}, std::errc{}},
        MakeRow{"FileWhereItBelongs", {}, {"out"}, "out", {}, std::errc::not_a_directory},
        MakeRow{"FileOnTheWay", {"a"}, {"a/b"}, "a/b/c", {}, std::errc::not_a_directory}),
    RowName{});

TEST(FolderMaking, AFailureLowerDownTakesAwayTheLevelsItMade) {
  test::TemporaryDirectory root;
  // A name longer than any file system takes fails the last level after two were made.
  const fs::path wanted = root.path() / "a" / "b" / std::string(300, 'n');
  std::vector<fs::path> made;
  EXPECT_EQ(MakeFolders(wanted, made), std::errc::filename_too_long);
  EXPECT_TRUE(made.empty());
  EXPECT_FALSE(fs::exists(root.path() / "a"));
}

TEST(FolderMaking, RemovesOnlyEmptyFoldersFromTheInsideOut) {
  test::TemporaryDirectory root;
  std::vector<fs::path> made;
  ASSERT_FALSE(MakeFolders(root.path() / "a" / "b" / "c", made));
  std::ofstream(root.path() / "a" / "kept.txt") << "kept";
  RemoveEmptyMadeFolders(made);
  EXPECT_FALSE(fs::exists(root.path() / "a" / "b"));
  EXPECT_TRUE(fs::exists(root.path() / "a" / "kept.txt"));

  std::vector<fs::path> again;
  ASSERT_FALSE(MakeFolders(root.path() / "x" / "y", again));
  RemoveEmptyMadeFolders(again);
  EXPECT_FALSE(fs::exists(root.path() / "x"));
  EXPECT_TRUE(fs::exists(root.path()));
}

}  // namespace
}  // namespace quillon
