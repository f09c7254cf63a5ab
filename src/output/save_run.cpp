#include "output/save_run.h"

#include <optional>
#include <system_error>
#include <utility>

#include "output/file_naming.h"
#include "output/folder_making.h"
#include "output/mail_file_writer.h"
#include "output/mail_rendering.h"
#include "source/data_source.h"
#include "text/code_page.h"

namespace quillon {

namespace {

// More "_N" names than any folder holds for one base name; beyond it the folder is not one that
// takes new names.
constexpr std::size_t kMaxNameTries = 100000;

std::u16string NumberText(std::size_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string PathText(const std::filesystem::path& path) {
  return Utf8ToUtf16(path.string());
}

// The bytes of one mail's file and the extension they call for.
struct Rendering {
  std::string content;
  SaveFormat format = SaveFormat::Eml;
  bool cutByStop = false;
};

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
    result_.folderError = MakeTargetFolder();
    if (result_.folderError) {
      observer_.OnMessage(u"Create directory unsuccessfully!\r\n" + PathText(result_.folder));
      return Finish();
    }
    result_.folderCreated = true;
    writer_.emplace(result_.folder);

    observer_.OnWritingStarted();
    status_.unsavedMails = false;
    WriteMails();
    Report();
    if (result_.written == 0) RemoveEmptyMadeFolders(madeFolders_);
    return Finish();
  }

 private:
  // The folder the mails go into: made one level deep when missing (the chosen folder itself
  // must exist).
  std::error_code MakeTargetFolder() {
    std::error_code error;
    if (!std::filesystem::is_directory(request_.targetFolder, error))
      return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
    return MakeFolders(result_.folder, madeFolders_);
  }

  void WriteMails() {
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

      const std::u16string base = BatchFileName(*mail, request_.render);
      const std::u16string statusText = u"Saving [" + base + u"]";
      status_.SetStatusText(statusText);
      observer_.OnStatusText(statusText);

      const Rendering rendering = Render(*mail);
      if (rendering.cutByStop) {
        result_.stopped = true;
        break;
      }
      if (rendering.content.empty()) continue;
      if (rendering.format == SaveFormat::Txt && request_.format == SaveFormat::Eml &&
          result_.sourceOpened)
        ++result_.savedAsText;
      Place(base, rendering);
    }
  }

  Rendering Render(const MailRecord& mail) {
    // Without the source the mail cannot be read back; its text rendering is still written, so
    // that nothing found is lost, under the name of what it is.
    if (request_.format == SaveFormat::Txt || !result_.sourceOpened)
      return {RenderTxt(mail), SaveFormat::Txt};
    DataSource* source = mail.sourceName == sourceName_ ? &source_ : nullptr;
    std::string raw = RenderEml(mail, source, &status_.stopRequested);
    // The reader stops reading when asked to: what it gives then may be cut anywhere.
    if (status_.stopRequested) return {{}, SaveFormat::Eml, true};
    if (!raw.empty()) return {std::move(raw), SaveFormat::Eml};
    return {RenderTxt(mail), SaveFormat::Txt};
  }

  void Place(const std::u16string& base, const Rendering& rendering) {
    const std::string_view extension = FileExtension(rendering.format);
    std::filesystem::path path;
    std::string failure;
    for (std::size_t attempt = 0; attempt < kMaxNameTries; ++attempt) {
      path = ReservePath(used_, result_.folder, base, extension);
      path += std::string(extension);
      switch (writer_->Place(path.filename().string(), rendering.content, failure)) {
        case PlaceOutcome::Written:
          ++result_.written;
          return;
        case PlaceOutcome::AlreadyThere:
          ++result_.alreadyThere;
          return;
        case PlaceOutcome::NameTaken:
          continue;
        case PlaceOutcome::Failed:
          CountFailure(path, failure);
          return;
      }
    }
    CountFailure(path, "no free name");
  }

  void CountFailure(const std::filesystem::path& path, const std::string& reason) {
    if (result_.failed == 0) result_.firstFailure = path.string() + ": " + reason;
    ++result_.failed;
  }

  void Report() {
    if (request_.format == SaveFormat::Eml && !result_.sourceOpened) {
      observer_.OnMessage(u"The source could not be opened:\r\n" + Utf8ToUtf16(sourceName_) +
                          u"\r\nThe mails were saved as text.");
    }
    if (result_.savedAsText > 0) {
      observer_.OnMessage(NumberText(result_.savedAsText) +
                          u" mails could not be read back from the source and were saved as "
                          u"text.");
    }
    if (result_.failed > 0) {
      observer_.OnMessage(NumberText(result_.failed) + u" mails could not be saved.\r\n" +
                          Utf8ToUtf16(result_.firstFailure));
    }
    std::u16string saved = u"Saved " + NumberText(result_.written) + u" mails!";
    if (result_.alreadyThere > 0)
      saved += u"\r\n" + NumberText(result_.alreadyThere) + u" mails were already in the folder.";
    observer_.OnMessage(saved);
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
  std::vector<std::filesystem::path> madeFolders_;
  std::optional<MailFileWriter> writer_;
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
