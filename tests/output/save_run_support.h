// What the save run tests share: an observer that records every notification, and an image of
// mails on disk scanned as the command line and the window scan it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/save_run.h"
#include "scan/scan_driver.h"
#include "support/paths.h"
#include "text/code_page.h"

namespace quillon::test {

namespace fs = std::filesystem;

// A notice's facts in a line: "saved 3", "saved 0, 2 already there", "failed 1: <detail>",
// "as text 1", "source not opened: <name>", "folder not made: <path>",
// "report not written: <path>: <detail>".
inline std::string Described(const SaveNotice& notice) {
  const std::string count = std::to_string(notice.count);
  switch (notice.kind) {
    case SaveNoticeKind::FolderNotMade:
      return "folder not made: " + notice.path.string();
    case SaveNoticeKind::SourceNotOpened:
      return "source not opened: " + notice.detail;
    case SaveNoticeKind::SavedAsText:
      return "as text " + count;
    case SaveNoticeKind::FilesFailed:
      return "failed " + count + ": " + notice.detail;
    case SaveNoticeKind::ReportNotWritten:
      return "report not written: " + notice.path.string() + ": " + notice.detail;
    case SaveNoticeKind::Saved:
      break;
  }
  return "saved " + count +
         (notice.alreadyThere > 0 ? ", " + std::to_string(notice.alreadyThere) + " already there"
                                  : "");
}

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
  void OnSavingMail(const std::u16string& baseName) override {
    events.push_back("saving:" + Utf16ToUtf8(baseName));
    // The stop button pressed while this mail is being saved.
    if (stopStatus_ && position_ == stopAt_) stopStatus_->stopRequested = true;
  }
  void OnNotice(const SaveNotice& notice) override {
    events.push_back("notice:" + Described(notice));
    notices.push_back(Described(notice));
  }
  void OnRunFinished() override { events.push_back("finished"); }

  std::vector<std::string> events;
  std::vector<std::string> notices;  // Described

 private:
  ScanStatus* stopStatus_;
  std::size_t stopAt_;
  std::size_t position_ = 0;
};

inline std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

inline std::string Lead() {
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
  TemporaryDirectory folder_;
  fs::path path_;
  std::vector<MailRecordPtr> records_;
};

inline const std::string kName = "Hello_[2009-03-09 10 11 12]";

}  // namespace quillon::test
