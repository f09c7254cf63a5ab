#include "output/save_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "output/file_naming.h"
#include "output/mail_rendering.h"
#include "output/save_run_support.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"
#include "text/code_page.h"

namespace quillon {
namespace {

using test::FilesIn;
using test::kName;
using test::RecordingSaveObserver;
using test::RowName;
using test::SavedImage;

namespace fs = std::filesystem;

TEST(SaveRun, WritesEachMailIntoTheFolderBelowTheChosenOne) {
  SavedImage image({test::SampleMail()});
  ASSERT_EQ(image.Records().size(), 1u);
  ScanStatus status;
  status.stopRequested = true;  // left over from the scan: a run starts afresh
  status.unsavedMails = true;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);

  const fs::path file = image.Folder() / "Mail Box" / (kName + ".eml");
  EXPECT_EQ(FilesIn(image.Folder() / "Mail Box"), std::vector<fs::path>{file});
  EXPECT_EQ(test::ReadFileBytes(file), test::SampleMail());
  EXPECT_EQ(observer.events,
            (std::vector<std::string>{"range:1", "writing", "position:1", "saving:" + kName,
                                      "notice:saved 1", "finished"}));
  EXPECT_TRUE(result.folderCreated);
  EXPECT_TRUE(result.sourceOpened);
  EXPECT_EQ(result.written, 1u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(status.unsavedMails);
  EXPECT_FALSE(status.stopRequested);
}

TEST(SaveRun, SameNamesGetNumbersAndAnExistingFolderIsUsed) {
  SavedImage image({test::SampleMail("Hello", "one\r\n"), test::SampleMail("Hello", "two\r\n"),
                    test::SampleMail("Hello", "three\r\n")});
  ASSERT_EQ(image.Records().size(), 3u);
  fs::create_directory(image.Folder() / "Mail Box");
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  const fs::path box = image.Folder() / "Mail Box";
  EXPECT_EQ(result.written, 3u);
  EXPECT_EQ(test::ReadFileBytes(box / (kName + ".eml")), test::SampleMail("Hello", "one\r\n"));
  EXPECT_EQ(test::ReadFileBytes(box / (kName + "_1.eml")), test::SampleMail("Hello", "two\r\n"));
  EXPECT_EQ(test::ReadFileBytes(box / (kName + "_2.eml")), test::SampleMail("Hello", "three\r\n"));
}

TEST(SaveRun, TextRunWritesTheTextRendering) {
  SavedImage image({test::SampleMail()});
  ScanStatus status;
  RecordingSaveObserver observer;
  EXPECT_EQ(RunSave(image.Request(SaveFormat::Txt), status, observer).written, 1u);
  const fs::path file = image.Folder() / "Mail Box" / (kName + ".txt");
  EXPECT_EQ(test::ReadFileBytes(file), RenderTxt(*image.Records()[0]));
}

TEST(SaveRun, ASourceThatIsGoneGivesTextUnderTxtNamesAndSaysSo) {
  SavedImage image({test::SampleMail()});
  fs::remove(image.ImagePath());
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  const fs::path box = image.Folder() / "Mail Box";
  EXPECT_EQ(FilesIn(box), std::vector<fs::path>{box / (kName + ".txt")});
  EXPECT_EQ(test::ReadFileBytes(box / (kName + ".txt")), RenderTxt(*image.Records()[0]));
  EXPECT_FALSE(result.sourceOpened);
  EXPECT_EQ(result.written, 1u);
  EXPECT_EQ(observer.notices, (std::vector<std::string>{
                                  "source not opened: " + image.ImagePath().string(), "saved 1"}));
}

TEST(SaveRun, AMailThatCannotBeReadBackIsSavedAsTextAndSaysSo) {
  SavedImage image({test::SampleMail("Lost")});
  ASSERT_EQ(image.Records().size(), 1u);
  // The image lost its bytes after the scan: it still opens, but the mail is not there to read.
  fs::resize_file(image.ImagePath(), 0);
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  const fs::path box = image.Folder() / "Mail Box";
  EXPECT_TRUE(result.sourceOpened);
  EXPECT_EQ(result.written, 1u);
  EXPECT_EQ(result.savedAsText, 1u);
  EXPECT_EQ(FilesIn(box), std::vector<fs::path>{box / "Lost_[2009-03-09 10 11 12].txt"});
  EXPECT_EQ(test::ReadFileBytes(box / "Lost_[2009-03-09 10 11 12].txt"),
            RenderTxt(*image.Records()[0]));
  EXPECT_EQ(observer.notices, (std::vector<std::string>{"as text 1", "saved 1"}));
}

TEST(SaveRun, AMissingTargetFolderEndsTheRunWithoutWriting) {
  SavedImage image({test::SampleMail()});
  SaveRunRequest request = image.Request(SaveFormat::Eml);
  request.targetFolder = image.Folder() / "missing";
  ScanStatus status;
  status.unsavedMails = true;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(request, status, observer);
  EXPECT_FALSE(result.folderCreated);
  EXPECT_EQ(
      observer.events,
      (std::vector<std::string>{
          "range:1", "notice:folder not made: " + (request.targetFolder / "Mail Box").string(),
          "finished"}));
  EXPECT_EQ(result.folderError, std::errc::no_such_file_or_directory);
  EXPECT_TRUE(status.unsavedMails);
  EXPECT_FALSE(fs::exists(request.targetFolder));
}

TEST(SaveRun, AFileWhereTheFolderBelongsIsReportedWithTheReason) {
  SavedImage image({test::SampleMail()});
  std::ofstream(image.Folder() / "Mail Box") << "a file";
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  EXPECT_FALSE(result.folderCreated);
  EXPECT_EQ(result.folderError, std::errc::not_a_directory);
  EXPECT_EQ(test::ReadFileBytes(image.Folder() / "Mail Box"), "a file");
}

// Files beyond a size limit cannot be written (EFBIG), as on a disk that fills up: a real failure
// of the write itself, for root too.
TEST(SaveRun, DuplicatesAreSkippedOnlyWhenAsked) {
  SavedImage image({test::SampleMail("Once"), test::SampleMail("Once")});
  ASSERT_EQ(image.Records().size(), 2u);
  image.Records()[1]->duplicateOf = 0;
  for (const bool skip : {false, true}) {
    SaveRunRequest request = image.Request(SaveFormat::Txt);
    request.skipDuplicates = skip;
    request.targetFolder = image.Folder() / (skip ? "skip" : "all");
    fs::create_directory(request.targetFolder);
    ScanStatus status;
    RecordingSaveObserver observer;
    EXPECT_EQ(RunSave(request, status, observer).written, skip ? 1u : 2u);
  }
}

TEST(SaveRun, NoMailsEndsQuietly) {
  test::TemporaryDirectory folder;
  SaveRunRequest request;
  request.targetFolder = folder.path();
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(request, status, observer);
  EXPECT_EQ(observer.events, std::vector<std::string>{"finished"});
  EXPECT_FALSE(fs::exists(folder.path() / "Mail Box"));
  EXPECT_EQ(result.written, 0u);
}

TEST(SaveRun, RunsOnAThreadOfItsOwn) {
  SavedImage image({test::SampleMail()});
  ScanStatus status;
  RecordingSaveObserver observer;
  std::thread run = StartSaveRun(image.Request(SaveFormat::Eml), status, observer);
  run.join();
  EXPECT_EQ(observer.events.back(), "finished");
  EXPECT_TRUE(fs::exists(image.Folder() / "Mail Box" / (kName + ".eml")));
}

// --- Subjects and dates made to hurt ------------------------------------------------------------

struct HurtfulRow {
  const char* name;
  std::u16string subject;
  std::string date;
};

class HurtfulNames : public ::testing::TestWithParam<HurtfulRow> {};

TEST_P(HurtfulNames, AlwaysGiveAFileInsideTheTargetFolder) {
  test::TemporaryDirectory folder;
  const fs::path target = folder.path() / "target";
  fs::create_directory(target);
  std::vector<MailRecordPtr> mails;
  for (int copy = 0; copy < 2; ++copy) {
    auto record = std::make_shared<MailRecord>();
    record->SetSubjectText(GetParam().subject);
    record->date = GetParam().date;
    mails.push_back(record);
  }
  SaveRunRequest request;
  request.format = SaveFormat::Txt;
  request.mails = mails;
  request.targetFolder = target;
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(request, status, observer);
  EXPECT_EQ(result.written, 2u) << result.firstFailure;

  // Everything written lies in target/Mail Box, as two plain files, and nothing else was made.
  std::vector<fs::path> everything;
  for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
    everything.push_back(entry.path());
  ASSERT_EQ(everything.size(), 4u);  // target, Mail Box and the two files
  const std::vector<fs::path> files = FilesIn(target / "Mail Box");
  ASSERT_EQ(files.size(), 2u);
  for (const fs::path& file : files) {
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
    EXPECT_LE(file.filename().string().size(), 255u);
    EXPECT_EQ(test::ReadFileBytes(file), RenderTxt(*mails[0]));
  }
}

std::u16string Repeat(std::u16string_view text, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    SaveRun, HurtfulNames,
    ::testing::Values(
        HurtfulRow{"ParentFolders", u"../../../../tmp/x", "../.."}, HurtfulRow{"DotDot", u"..", ""},
        HurtfulRow{"Dot", u".", ""}, HurtfulRow{"AbsolutePath", u"/etc/passwd", "/"},
        HurtfulRow{"Backslashes", u"..\\..\\windows", "\\"},
        HurtfulRow{"ControlCharacters", std::u16string(u"a\0b\x01\x1F\x7F\r\n", 8),
                   std::string("\x01\t\x7F", 3)},
        HurtfulRow{"ThousandCharacters", Repeat(u"\u6C49", 1000), std::string(1000, 'd')},
        HurtfulRow{"ThousandEightBitDateBytes", u"x", std::string(1000, '\xE9')},
        HurtfulRow{"LoneSurrogates", std::u16string{char16_t(0xD800), u'a', char16_t(0xDFFF)},
                   "\xFF\xFE"},
        HurtfulRow{"Empty", u"", ""}),
    RowName{});

// A mailbox run: one file beside where the folder would be, each mail behind a From_ line, and
// report rows that name the mailbox; a stop before the first mail leaves no empty mailbox but
// still a row for every mail.
TEST(SaveRun, MailboxHoldsEveryMailAndTheReportNamesIt) {
  SavedImage image({test::SampleMail("One", "one\r\n"), test::SampleMail("Two", "two\r\n")});
  ASSERT_EQ(image.Records().size(), 2u);
  ScanStatus status;
  RecordingSaveObserver observer;
  SaveRunRequest request = image.Request(SaveFormat::Mbox);
  request.report = true;
  const SaveRunResult result = RunSave(request, status, observer);
  EXPECT_EQ(result.written, 2u);
  EXPECT_EQ(result.mailbox, image.Folder() / "Mail Box.mbox");
  EXPECT_FALSE(fs::exists(image.Folder() / "Mail Box"));
  const std::string mailbox = test::ReadFileBytes(image.Folder() / "Mail Box.mbox");
  EXPECT_EQ(mailbox.rfind("From ", 0), 0u);
  EXPECT_NE(mailbox.find(test::SampleMail("Two", "two\r\n")), std::string::npos);
  const std::string csv = test::ReadFileBytes(image.Folder() / "report.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
  EXPECT_NE(csv.find("\r\n1,Mail Box.mbox,"), std::string::npos);
  EXPECT_NE(csv.find("\r\n2,Mail Box.mbox,"), std::string::npos);
}

TEST(SaveRun, MailboxStoppedBeforeItsFirstMailLeavesNoFile) {
  SavedImage image({test::SampleMail("One", "one\r\n"), test::SampleMail("Two", "two\r\n")});
  ScanStatus status;
  RecordingSaveObserver observer(&status, 1);
  SaveRunRequest request = image.Request(SaveFormat::Mbox);
  request.report = true;
  const SaveRunResult result = RunSave(request, status, observer);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.written, 0u);
  EXPECT_EQ(FilesIn(image.Folder()),
            (std::vector<fs::path>{image.Folder() / "disk.img", image.Folder() / "report.csv",
                                   image.Folder() / "report.xml"}));
  const std::string csv = test::ReadFileBytes(image.Folder() / "report.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);  // both mails, unsaved
  EXPECT_EQ(csv.find("Mail Box.mbox"), std::string::npos);
}

}  // namespace
}  // namespace quillon
