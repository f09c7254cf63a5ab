#include "app/cli/save_notice_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

struct NoticeRow {
  const char* name;
  SaveNotice notice;
  std::string expected;  // the text the command line has always printed
};

class SaveNoticeTextTest : public ::testing::TestWithParam<NoticeRow> {};

TEST_P(SaveNoticeTextTest, WordsTheFacts) {
  EXPECT_EQ(SaveNoticeText(GetParam().notice), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Notices, SaveNoticeTextTest,
    ::testing::Values(
        NoticeRow{"Saved", {SaveNoticeKind::Saved, 3, 0, {}, {}}, "Saved 3 mails!"},
        NoticeRow{"SavedNone", {SaveNoticeKind::Saved, 0, 0, {}, {}}, "Saved 0 mails!"},
        NoticeRow{"SomeAlreadyThere",
                  {SaveNoticeKind::Saved, 0, 326, {}, {}},
                  "Saved 0 mails!\n326 mails were already in the folder."},
        NoticeRow{"FolderNotMade",
                  {SaveNoticeKind::FolderNotMade, 0, 0, "/out/Mail Box", {}},
                  "Create directory unsuccessfully!\n/out/Mail Box"},
        NoticeRow{"SourceNotOpened",
                  {SaveNoticeKind::SourceNotOpened, 0, 0, {}, "/gone/disk.img"},
                  "The source could not be opened:\n/gone/disk.img\nThe mails were saved as "
                  "text."},
        NoticeRow{"SavedAsText",
                  {SaveNoticeKind::SavedAsText, 2, 0, {}, {}},
                  "2 mails could not be read back from the source and were saved as text."},
        NoticeRow{"FilesFailed",
                  {SaveNoticeKind::FilesFailed, 1, 0, {}, "/out/Mail Box/x.eml: No space left"},
                  "1 mails could not be saved.\n/out/Mail Box/x.eml: No space left"},
        // A line break inside a name is shown as the window shows it, CR LF made LF.
        NoticeRow{"FailureNameWithLineBreak",
                  {SaveNoticeKind::FilesFailed, 1, 0, {}, "a\r\nb.eml: denied"},
                  "1 mails could not be saved.\na\nb.eml: denied"},
        NoticeRow{"InvalidUtf8Replaced",
                  {SaveNoticeKind::SourceNotOpened, 0, 0, {}, "/x\xff.img"},
                  "The source could not be opened:\n/x\xEF\xBF\xBD.img\nThe mails were saved as "
                  "text."},
        NoticeRow{"ReportNotWritten",
                  {SaveNoticeKind::ReportNotWritten, 0, 0, "/out", "Permission denied"},
                  "The report could not be written into /out:\nPermission denied"}),
    [](const ::testing::TestParamInfo<NoticeRow>& row) { return std::string(row.param.name); });

TEST(SavingMailText, BracketsTheBaseName) {
  EXPECT_EQ(SavingMailText(u"Hello_[2009-03-09 10 11 12]"),
            u"Saving [Hello_[2009-03-09 10 11 12]]");
}

}  // namespace
}  // namespace quillon
