#include "source/rename_without_replacing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  return test::ReadFileBytes(path);
}

struct RenameRow {
  const char* label;
  bool fromThere;
  const char* targetBefore;  // nullptr: no target; "/": a folder
  RenameOutcome outcome;
};

class RenameWithoutReplacingTest : public testing::TestWithParam<RenameRow> {};

TEST_P(RenameWithoutReplacingTest, NeverTouchesWhatHoldsTheName) {
  test::TemporaryDirectory directory;
  const fs::path from = directory.path() / ".new.tmp";
  const fs::path to = directory.path() / "mail.eml";
  if (GetParam().fromThere) std::ofstream(from) << "new";
  const char* before = GetParam().targetBefore;
  if (before && std::string(before) == "/") {
    fs::create_directory(to);
  } else if (before) {
    std::ofstream(to) << before;
  }

  std::error_code error;
  EXPECT_EQ(RenameWithoutReplacing(from, to, error), GetParam().outcome);
  switch (GetParam().outcome) {
    case RenameOutcome::Renamed:
      EXPECT_FALSE(error);
      EXPECT_EQ(Contents(to), "new");
      EXPECT_FALSE(fs::exists(from));
      break;
    case RenameOutcome::NameTaken:
      EXPECT_FALSE(error);
      EXPECT_EQ(Contents(from), "new");
      if (std::string(before) != "/") {
        EXPECT_EQ(Contents(to), before);
      }
      break;
    case RenameOutcome::Failed:
      EXPECT_EQ(error, std::errc::no_such_file_or_directory);
      EXPECT_FALSE(fs::exists(to));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameWithoutReplacingTest,
    testing::Values(RenameRow{"FreeName", true, nullptr, RenameOutcome::Renamed},
                    RenameRow{"FileHoldsTheName", true, "mine", RenameOutcome::NameTaken},
                    RenameRow{"EmptyFileHoldsTheName", true, "", RenameOutcome::NameTaken},
                    RenameRow{"FolderHoldsTheName", true, "/", RenameOutcome::NameTaken},
                    RenameRow{"NothingToRename", false, nullptr, RenameOutcome::Failed}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
