// What a save run never does: replace or change a file that is there, write a file twice, leave a
// cut or temporary file, or an empty folder it made.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "output/file_naming.h"
#include "output/mail_rendering.h"
#include "output/save_run.h"
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
  EXPECT_EQ(second.notices, std::vector<std::string>{"saved 0, 2 already there"});
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
  EXPECT_EQ(observer.notices,
            (std::vector<std::string>{"failed 1: " + result.firstFailure, "saved 2"}));
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
  EXPECT_EQ(observer.notices,
            std::vector<std::string>{"saved " + std::to_string(GetParam().written)});
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

}  // namespace
}  // namespace quillon
