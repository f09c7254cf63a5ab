#include "output/save_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "output/file_naming.h"
#include "output/mail_rendering.h"
#include "scan/mail_reader.h"
#include "scan/scan_driver.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"
#include "text/code_page.h"

namespace quillon {
namespace {

using test::RowName;

namespace fs = std::filesystem;

// Every notification as text, in order.
class RecordingSaveObserver : public SaveRunObserver {
 public:
  explicit RecordingSaveObserver(ScanStatus* stopAfter = nullptr, std::size_t stopAt = 0)
      : stopStatus_(stopAfter), stopAt_(stopAt) {}

  void OnWritingStarted() override { events.push_back("writing"); }
  void OnProgressRange(std::size_t mailCount) override {
    events.push_back("range:" + std::to_string(mailCount));
  }
  void OnProgressPosition(std::size_t index) override {
    events.push_back("position:" + std::to_string(index));
    position_ = index;
  }
  void OnStatusText(const std::u16string& text) override {
    events.push_back("status:" + Utf16ToUtf8(text));
    // The stop button pressed while this mail is being saved.
    if (stopStatus_ && position_ == stopAt_) stopStatus_->stopRequested = true;
  }
  void OnMessage(const std::u16string& text) override {
    events.push_back("message:" + Utf16ToUtf8(text));
    messages.push_back(Utf16ToUtf8(text));
  }
  void OnRunFinished() override { events.push_back("finished"); }

  std::vector<std::string> events;
  std::vector<std::string> messages;

 private:
  ScanStatus* stopStatus_;
  std::size_t stopAt_;
  std::size_t position_ = 0;
};

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Lead() {
  return std::string(62, 'n') + "\r\n";
}

// An image of mails on disk, scanned as the command line and the window scan it.
class SavedImage {
 public:
  explicit SavedImage(const std::vector<std::string>& mails) {
    std::string image;
    for (const std::string& mail : mails) {
      image += Lead() + mail;
      image.resize((image.size() / 512 + 2) * 512, '\0');
    }
    path_ = folder_.path() / "disk.img";
    std::ofstream(path_, std::ios::binary) << image;
    ScanStatus status;
    FoundMails found;
    ScanObserver quiet;
    const ScanResult result = RunScanOfSource(path_.string(), {}, status, found, quiet);
    EXPECT_TRUE(result.opened);
    records_ = found.Snapshot();
  }

  const fs::path& Folder() const { return folder_.path(); }
  const fs::path& ImagePath() const { return path_; }
  const std::vector<MailRecordPtr>& Records() const { return records_; }

  SaveRunRequest Request(SaveFormat format) const {
    SaveRunRequest request;
    request.format = format;
    request.mails = records_;
    request.targetFolder = folder_.path();
    return request;
  }

 private:
  test::TemporaryDirectory folder_;
  fs::path path_;
  std::vector<MailRecordPtr> records_;
};

const std::string kName = "Hello_[2009-03-09 10 11 12]";

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
  EXPECT_EQ(observer.events, (std::vector<std::string>{"range:1", "writing", "position:1",
                                                       "status:Saving [" + kName + "]",
                                                       "message:Saved 1 mails!", "finished"}));
  EXPECT_TRUE(result.folderCreated);
  EXPECT_TRUE(result.sourceOpened);
  EXPECT_EQ(result.written, 1u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(status.unsavedMails);
  EXPECT_FALSE(status.stopRequested);
  EXPECT_EQ(status.StatusText(), u"Saving [" + Utf8ToUtf16(kName) + u"]");
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

TEST(SaveRun, ASecondRunIntoTheSameFolderWritesNothingNew) {
  SavedImage image({test::SampleMail("Hello", "one\r\n"), test::SampleMail("Hello", "two\r\n")});
  ASSERT_EQ(image.Records().size(), 2u);
  const fs::path box = image.Folder() / "Mail Box";
  ScanStatus status;
  RecordingSaveObserver first;
  EXPECT_EQ(RunSave(image.Request(SaveFormat::Eml), status, first).written, 2u);
  const fs::file_time_type firstWrite = fs::last_write_time(box / (kName + ".eml"));

  RecordingSaveObserver second;
  const SaveRunResult again = RunSave(image.Request(SaveFormat::Eml), status, second);
  EXPECT_EQ(again.written, 0u);
  EXPECT_EQ(again.alreadyThere, 2u);
  EXPECT_EQ(second.messages,
            std::vector<std::string>{"Saved 0 mails!\r\n2 mails were already in the folder."});
  EXPECT_EQ(FilesIn(box),
            (std::vector<fs::path>{box / (kName + ".eml"), box / (kName + "_1.eml")}));
  EXPECT_EQ(fs::last_write_time(box / (kName + ".eml")), firstWrite) << "the file was rewritten";
  EXPECT_EQ(test::ReadFileBytes(box / (kName + "_1.eml")), test::SampleMail("Hello", "two\r\n"));
}

// --- Files that are there already ---------------------------------------------------------------

// What the folder holds before the run: file name and content ("/" makes a folder of that name).
struct ExistingRow {
  const char* name;
  std::vector<std::pair<std::string, std::string>> before;
  std::size_t written;
  std::size_t alreadyThere;
  std::string savedAs;  // the file that holds the mail afterwards
};

class ExistingFiles : public ::testing::TestWithParam<ExistingRow> {};

TEST_P(ExistingFiles, AreNeverReplacedOrChanged) {
  SavedImage image({test::SampleMail()});
  ASSERT_EQ(image.Records().size(), 1u);
  const fs::path box = image.Folder() / "Mail Box";
  fs::create_directory(box);
  for (const auto& [name, content] : GetParam().before) {
    if (content == "/") {
      fs::create_directory(box / name);
    } else {
      std::ofstream(box / name, std::ios::binary) << content;
    }
  }
  ScanStatus status;
  RecordingSaveObserver observer;
  const SaveRunResult result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  EXPECT_EQ(result.written, GetParam().written);
  EXPECT_EQ(result.alreadyThere, GetParam().alreadyThere);
  EXPECT_EQ(result.failed, 0u) << result.firstFailure;
  EXPECT_EQ(test::ReadFileBytes(box / GetParam().savedAs), test::SampleMail());
  for (const auto& [name, content] : GetParam().before) {
    if (content != "/") {
      EXPECT_EQ(test::ReadFileBytes(box / name), content) << name;
    }
  }
  EXPECT_EQ(FilesIn(box).size(), GetParam().before.size() + GetParam().written);
}

const std::string kMail = test::SampleMail();

INSTANTIATE_TEST_SUITE_P(
    SaveRun, ExistingFiles,
    ::testing::Values(
        ExistingRow{"EditedByTheUser", {{kName + ".eml", "my notes"}}, 1, 0, kName + "_1.eml"},
        ExistingRow{"NameInOtherLetterCase",
                    {{"HELLO_[2009-03-09 10 11 12].EML", "other"}},
                    1,
                    0,
                    kName + "_1.eml"},
        ExistingRow{"SameMailInOtherLetterCase",
                    {{"hello_[2009-03-09 10 11 12].eml", kMail}},
                    0,
                    1,
                    "hello_[2009-03-09 10 11 12].eml"},
        ExistingRow{"SameMailUnderItsNumberedName",
                    {{kName + ".eml", "my notes"}, {kName + "_1.eml", kMail}},
                    0,
                    1,
                    kName + "_1.eml"},
        ExistingRow{
            "SameMailCutShort", {{kName + ".eml", kMail.substr(0, 100)}}, 1, 0, kName + "_1.eml"},
        ExistingRow{"SameMailWithMore", {{kName + ".eml", kMail + "x"}}, 1, 0, kName + "_1.eml"},
        ExistingRow{"FolderOfThatName", {{kName + ".eml", "/"}}, 1, 0, kName + "_1.eml"},
        ExistingRow{"NumberedNamesTakenToo",
                    {{kName + ".eml", "a"}, {kName + "_1.eml", "b"}, {kName + "_2.EML", "c"}},
                    1,
                    0,
                    kName + "_3.eml"},
        ExistingRow{
            "TextFileOfTheSameNameIsNoClash", {{kName + ".txt", "text"}}, 1, 0, kName + ".eml"}),
    RowName{});

// Two runs into one folder at once: the names are given so that neither replaces what the other
// wrote, and what one wrote counts as already there for the other.
TEST(SaveRun, TwoRunsIntoOneFolderAtOnceWriteEachMailOnce) {
  std::vector<std::string> mails;
  for (int i = 0; i < 40; ++i) mails.push_back(test::SampleMail("M" + std::to_string(i % 7)));
  SavedImage image(mails);
  ASSERT_EQ(image.Records().size(), 40u);
  for (int round = 0; round < 3; ++round) {
    const fs::path target = image.Folder() / ("round" + std::to_string(round));
    fs::create_directory(target);
    SaveRunRequest request = image.Request(SaveFormat::Eml);
    request.targetFolder = target;
    ScanStatus statuses[2];
    RecordingSaveObserver observers[2];
    SaveRunResult results[2];
    std::thread other([&] { results[1] = RunSave(request, statuses[1], observers[1]); });
    results[0] = RunSave(request, statuses[0], observers[0]);
    other.join();
    EXPECT_EQ(results[0].failed + results[1].failed, 0u);
    EXPECT_EQ(results[0].written + results[1].written, 40u) << "round " << round;
    EXPECT_EQ(results[0].alreadyThere + results[1].alreadyThere, 40u) << "round " << round;
    const std::vector<fs::path> files = FilesIn(target / "Mail Box");
    ASSERT_EQ(files.size(), 40u) << "round " << round;
    for (const fs::path& file : files) {
      EXPECT_EQ(test::ReadFileBytes(file).size(), test::SampleMail("M0").size()) << file;
      EXPECT_NE(file.filename().string().front(), '.') << "a temporary file was left: " << file;
    }
  }
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
  ASSERT_EQ(observer.messages.size(), 2u);
  EXPECT_EQ(observer.messages[0], "The source could not be opened:\r\n" +
                                      image.ImagePath().string() +
                                      "\r\nThe mails were saved as text.");
  EXPECT_EQ(observer.messages[1], "Saved 1 mails!");
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
  EXPECT_EQ(observer.messages,
            (std::vector<std::string>{
                "1 mails could not be read back from the source and were saved as text.",
                "Saved 1 mails!"}));
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
  EXPECT_EQ(observer.events,
            (std::vector<std::string>{"range:1",
                                      "message:Create directory unsuccessfully!\r\n" +
                                          (request.targetFolder / "Mail Box").string(),
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
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST(SaveRun, FilesThatCannotBeWrittenAreCountedAndReportedAndLeaveNothing) {
  SavedImage image({test::SampleMail("First", std::string(6000, 'x') + "\r\n"),
                    test::SampleMail("Second"), test::SampleMail("Third")});
  ASSERT_EQ(image.Records().size(), 3u);
  const fs::path box = image.Folder() / "Mail Box";
  ScanStatus status;
  RecordingSaveObserver observer;
  SaveRunResult result;
  {
    FileSizeLimit limit(4096);
    result = RunSave(image.Request(SaveFormat::Eml), status, observer);
  }
  const fs::path first = box / "First_[2009-03-09 10 11 12].eml";
  EXPECT_EQ(result.written, 2u);
  EXPECT_EQ(result.failed, 1u);
  EXPECT_EQ(result.firstFailure, first.string() + ": " + std::strerror(EFBIG));
  EXPECT_EQ(observer.messages,
            (std::vector<std::string>{"1 mails could not be saved.\r\n" + result.firstFailure,
                                      "Saved 2 mails!"}));
  // No partial or temporary file is left behind.
  EXPECT_EQ(FilesIn(box), (std::vector<fs::path>{box / "Second_[2009-03-09 10 11 12].eml",
                                                 box / "Third_[2009-03-09 10 11 12].eml"}));
}

TEST(SaveRun, ARunThatWritesNothingTakesAwayOnlyTheFolderItMade) {
  SavedImage image({test::SampleMail("Big", std::string(6000, 'x') + "\r\n")});
  for (const bool boxThereBefore : {false, true}) {
    const fs::path box = image.Folder() / "Mail Box";
    if (boxThereBefore) fs::create_directory(box);
    ScanStatus status;
    RecordingSaveObserver observer;
    SaveRunResult result;
    {
      FileSizeLimit limit(4096);
      result = RunSave(image.Request(SaveFormat::Eml), status, observer);
    }
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(fs::exists(box), boxThereBefore);
    if (boxThereBefore) {
      EXPECT_TRUE(FilesIn(box).empty());
    }
  }
}

// The stop button pressed while a mail is being saved: a text rendering is whole and is written;
// the raw text read back from the source may have been cut by the stop and is not.
struct StopRow {
  const char* name;
  SaveFormat format;
  std::size_t written;
};

class Stopping : public ::testing::TestWithParam<StopRow> {};

TEST_P(Stopping, NeverLeavesACutFile) {
  std::vector<std::string> mails;
  for (int i = 0; i < 10; ++i) mails.push_back(test::SampleMail("M" + std::to_string(i)));
  SavedImage image(mails);
  ASSERT_EQ(image.Records().size(), 10u);
  ScanStatus status;
  RecordingSaveObserver observer(&status, 3);
  const SaveRunResult result = RunSave(image.Request(GetParam().format), status, observer);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.written, GetParam().written);
  EXPECT_EQ(observer.messages,
            std::vector<std::string>{"Saved " + std::to_string(GetParam().written) + " mails!"});
  const std::vector<fs::path> files = FilesIn(image.Folder() / "Mail Box");
  ASSERT_EQ(files.size(), GetParam().written);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const MailRecord& record = *image.Records()[i];
    EXPECT_EQ(test::ReadFileBytes(files[i]), GetParam().format == SaveFormat::Txt
                                                 ? RenderTxt(record)
                                                 : RenderEml(record, nullptr, nullptr));
  }
}

INSTANTIATE_TEST_SUITE_P(SaveRun, Stopping,
                         ::testing::Values(StopRow{"TextIsFinished", SaveFormat::Txt, 3},
                                           StopRow{"CutRawTextIsNotWritten", SaveFormat::Eml, 2}),
                         RowName{});

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
    record->subjectText = GetParam().subject;
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

}  // namespace
}  // namespace quillon
