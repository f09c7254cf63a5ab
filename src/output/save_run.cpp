#include "output/save_run.h"

#include <system_error>
#include <utility>

#include "output/file_naming.h"
#include "output/mail_file_writer.h"
#include "output/mail_rendering.h"
#include "source/data_source.h"
#include "text/code_page.h"

namespace quillon {

namespace {

std::u16string NumberText(std::size_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string PathText(const std::filesystem::path& path) {
  return Utf8ToUtf16(path.string());
}

// The folder the mails go into: created one level deep when missing (the chosen folder itself
// must exist).
bool MakeTargetFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  std::filesystem::create_directory(folder, error);
  return !error && std::filesystem::is_directory(folder, error);
}

class SaveRun {
 public:
  SaveRun(const SaveRunRequest& request, ScanStatus& status, SaveRunObserver& observer)
      : request_(request), status_(status), observer_(observer) {}

  SaveRunResult Run() {
    status_.stopRequested = false;
    if (request_.mails.empty()) return Finish();

    // One source for the whole run; a mail from another source opens its own.
    sourceName_ = request_.mails.front()->sourceName;
    result_.sourceOpened = source_.Open(sourceName_);

    observer_.OnProgressRange(request_.mails.size());
    status_.currentSector = 0;
    status_.totalSectors = request_.mails.size();

    result_.folder =
        request_.targetFolder / std::filesystem::path(Utf16ToUtf8(request_.folderName));
    if (!MakeTargetFolder(result_.folder)) {
      observer_.OnMessage(u"Create directory unsuccessfully!\r\n" + PathText(result_.folder));
      return Finish();
    }
    result_.folderCreated = true;

    observer_.OnWritingStarted();
    status_.unsavedMails = false;
    WriteMails();
    Report();
    return Finish();
  }

 private:
  void WriteMails() {
    const std::string_view extension = FileExtension(request_.format);
    std::size_t index = 0;
    for (const MailRecordPtr& mail : request_.mails) {
      if (status_.stopRequested) {
        result_.stopped = true;
        break;
      }
      ++index;
      observer_.OnProgressPosition(index);
      status_.currentSector = index;
      if (!mail || (request_.skipDuplicates && mail->duplicateOf >= 0)) continue;

      const std::u16string base = BatchFileName(*mail);
      const std::u16string statusText = u"Saving [" + base + u"]";
      status_.SetStatusText(statusText);
      observer_.OnStatusText(statusText);

      std::filesystem::path path = ReservePath(used_, result_.folder, base, extension);
      path += std::string(extension);
      const std::string content = Content(*mail);
      if (content.empty()) continue;

      std::string failure;
      if (WriteMailFile(path, content, index, failure)) {
        ++result_.written;
      } else {
        if (result_.failed == 0) result_.firstFailure = path.string() + ": " + failure;
        ++result_.failed;
      }
    }
  }

  std::string Content(const MailRecord& mail) {
    if (request_.format == SaveFormat::Txt) return RenderTxt(mail);
    // Without the source the mail cannot be read back; its text rendering is still written, so
    // that nothing found is lost.
    if (result_.sourceOpened) {
      DataSource* source = mail.sourceName == sourceName_ ? &source_ : nullptr;
      std::string raw = RenderEml(mail, source, &status_.stopRequested);
      if (!raw.empty()) return raw;
    }
    return RenderTxt(mail);
  }

  void Report() {
    if (request_.format == SaveFormat::Eml && !result_.sourceOpened) {
      observer_.OnMessage(u"The source could not be opened:\r\n" + Utf8ToUtf16(sourceName_) +
                          u"\r\nThe mails were saved as text.");
    }
    if (result_.failed > 0) {
      observer_.OnMessage(NumberText(result_.failed) + u" mails could not be saved.\r\n" +
                          Utf8ToUtf16(result_.firstFailure));
    }
    observer_.OnMessage(u"Saved " + NumberText(result_.written) + u" mails!");
  }

  SaveRunResult Finish() {
    source_.Close();
    observer_.OnRunFinished();
    return std::move(result_);
  }

  const SaveRunRequest& request_;
  ScanStatus& status_;
  SaveRunObserver& observer_;
  DataSource source_;
  std::string sourceName_;
  UsedNameSet used_;
  SaveRunResult result_;
};

}  // namespace

SaveRunResult RunSave(const SaveRunRequest& request, ScanStatus& status,
                      SaveRunObserver& observer) {
  return SaveRun(request, status, observer).Run();
}

std::thread StartSaveRun(SaveRunRequest request, ScanStatus& status, SaveRunObserver& observer) {
  return std::thread([request = std::move(request), &status, &observer] {
    (void)RunSave(request, status, observer);
  });
}

}  // namespace quillon
