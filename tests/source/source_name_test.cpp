#include "source/source_name.h"

#include <gtest/gtest.h>

#include <string>

#include "source/source_test_files.h"

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

}  // namespace
}  // namespace quillon
