// A save run: writes every mail of a folder into a folder on disk, one file per mail, on a worker
// thread of its own, polling the stop flag before each mail. It never replaces or changes a file
// that is there: a mail whose file is already there byte for byte is not written again (so a
// run repeated into the same folder writes nothing new), and a name held by another file makes
// the mail take the next free "_N" name.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "output/render_options.h"
#include "output/report_records.h"
#include "output/save_format.h"
#include "scan/mail_record.h"
#include "scan/scan_status.h"

namespace quillon {

// What a run has to tell its user, as facts: the front ends word them (a message box, a line on
// the terminal).
enum class SaveNoticeKind {
  FolderNotMade,     // `path`: the folder the mails were to go into; nothing was written
  SourceNotOpened,   // `detail`: the source's name; every mail was saved as its text rendering
  SavedAsText,       // `count` mails could not be read back and were saved as their text
  FilesFailed,       // `count` mails could not be saved; `detail`: the first ("path: reason")
  ReportNotWritten,  // `path`: the folder it was to go into; `detail`: why
  Saved,             // `count` files written; `alreadyThere` mails whose file was there already
};

struct SaveNotice {
  SaveNoticeKind kind = SaveNoticeKind::Saved;
  std::size_t count = 0;
  std::size_t alreadyThere = 0;
  std::filesystem::path path;
  std::string detail;  // UTF-8

  bool operator==(const SaveNotice&) const = default;
};

// What a save run tells its front end. Calls arrive on the run's thread.
class SaveRunObserver {
 public:
  virtual ~SaveRunObserver() = default;
  // Writing starts: "Data" and "Save" stay off, "Stop" goes on.
  virtual void OnWritingStarted() {}
  virtual void OnProgressRange(std::size_t mailCount) { (void)mailCount; }
  virtual void OnProgressPosition(std::size_t index) { (void)index; }
  // The mail at the last position is being saved under `baseName` (BatchFileName: no folder,
  // no extension).
  virtual void OnSavingMail(const std::u16string& baseName) { (void)baseName; }
  // Facts for the user, in the order they are to be told. A run that got to writing ends with
  // a Saved notice (also when it was stopped); one whose folder could not be made sends only
  // FolderNotMade.
  virtual void OnNotice(const SaveNotice& notice) { (void)notice; }
  // Sent at the end of every run.
  virtual void OnRunFinished() {}
};

struct SaveRunRequest {
  SaveFormat format = SaveFormat::Eml;
  std::u16string folderName = u"Mail Box";  // the subfolder written into targetFolder
  std::vector<MailRecordPtr> mails;         // in found order
  std::filesystem::path targetFolder;       // the folder the user chose; it must exist
  bool skipDuplicates = false;              // save each message once
  // Also write report.xml and report.csv into targetFolder (the next free report_N names when
  // those are taken): where every saved file's bytes lie in the source, and a row per mail.
  bool report = false;
  ReportCreator creator;
  // Mbox: when the scan ran, for the From_ line of a mail without a usable date; 0 for now.
  std::time_t scanTime = 0;
  ReportedSource source;
  RenderOptions render;  // how the mails' file names read their dates
};

struct SaveRunResult {
  bool folderCreated = false;     // the folder is there to write into (made by this run or not)
  std::error_code folderError;    // why it could not be made
  bool sourceOpened = false;      // false: every mail was saved as its TXT rendering
  std::size_t written = 0;        // files written whole
  std::size_t alreadyThere = 0;   // mails whose file the folder held already, byte for byte
  std::size_t savedAsText = 0;    // Eml mails that could not be read back: saved as .txt
  std::size_t failed = 0;         // files that could not be created or written
  std::string firstFailure;       // path and reason of the first failure
  bool stopped = false;           // the stop flag ended the run before its last mail
  std::filesystem::path folder;   // targetFolder / folderName; targetFolder for Mbox
  std::filesystem::path mailbox;  // Mbox: the mailbox written (folderName + ".mbox" or "_N")
  std::vector<std::filesystem::path> reportFiles;  // the reports written
  std::string reportFailure;                       // why they could not be written; else empty
};

// Runs on the calling thread, which names and writes the files and calls the observer; a worker
// of the run's own reads the next mails back meanwhile. Clears status.stopRequested at its start
// and status.unsavedMails when writing starts.
//
// A stop never leaves a cut file: a mail whose reading back from the source was cut short by it
// is not written (nor counted); a file being written is finished. A run that wrote nothing takes
// away the folder it made.
SaveRunResult RunSave(const SaveRunRequest& request, ScanStatus& status, SaveRunObserver& observer);

std::thread StartSaveRun(SaveRunRequest request, ScanStatus& status, SaveRunObserver& observer);

}  // namespace quillon
