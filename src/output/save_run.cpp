#include "output/save_run.h"

#include <optional>
#include <system_error>
#include <utility>

#include "output/byte_run_tracing.h"
#include "output/file_naming.h"
#include "output/folder_making.h"
#include "output/mail_file_time.h"
#include "output/mail_file_writer.h"
#include "output/mail_rendering.h"
#include "output/mailbox_file.h"
#include "output/save_report.h"
#include "output/save_run_prefetch.h"
#include "source/data_source.h"
#include "text/code_page.h"

namespace quillon {

namespace {

// More "_N" names than any folder holds for one base name; beyond it the folder is not one that
// takes new names.
constexpr std::size_t kMaxNameTries = 100000;

// The bytes of one mail's file and the extension they call for.
struct Rendering {
  std::string content;
  SaveFormat format = SaveFormat::Eml;
  bool cutByStop = false;
  bool readBack = false;         // read back from the source (a stop may cut that short)
  TextOrigin origin;             // where an Eml rendering came from, for the report
  DataSource* source = nullptr;  // the open source it came from, when it is the run's
};

class SaveRun {
 public:
  SaveRun(const SaveRunRequest& request, ScanStatus& status, SaveRunObserver& observer)
      : request_(request), status_(status), observer_(observer) {}

  SaveRunResult Run() {
    status_.stopRequested = false;
    if (request_.mails.empty()) {
      if (request_.report) report_.emplace(request_.creator, request_.source);
      PlaceReport();
      return Finish();
    }

    // One source for the whole run; a mail from another source opens its own.
    sourceName_ = request_.mails.front()->SourceName();
    result_.sourceOpened = source_.Open(sourceName_);
    if (request_.report) report_.emplace(request_.creator, ReportSource());

    observer_.OnProgressRange(request_.mails.size());
    status_.currentSector = 0;
    status_.totalSectors = request_.mails.size();

    if (request_.format == SaveFormat::Mbox) return RunIntoMailbox();
    result_.folder =
        request_.targetFolder / std::filesystem::path(Utf16ToUtf8(request_.folderName));
    result_.folderError = MakeTargetFolder();
    if (result_.folderError) {
      observer_.OnNotice({SaveNoticeKind::FolderNotMade, 0, 0, result_.folder, {}});
      return Finish();
    }
    result_.folderCreated = true;
    writer_.emplace(result_.folder);

    observer_.OnWritingStarted();
    status_.unsavedMails = false;
    WriteMails();
    PlaceReport();
    Report();
    if (result_.written == 0) RemoveEmptyMadeFolders(madeFolders_);
    return Finish();
  }

 private:
  // The source as the request names it, or else as the run opened it.
  ReportedSource ReportSource() const {
    ReportedSource source = request_.source;
    if (!source.name.empty()) return source;
    source.name = sourceName_;
    if (result_.sourceOpened) {
      source.sizeBytes = source_.SizeBytes();
      source.container = SourceContainerLabel(source_.Facts());
    }
    return source;
  }

  // The mails go into one mailbox file beside where the folder would be.
  SaveRunResult RunIntoMailbox() {
    result_.folder = request_.targetFolder;
    std::error_code error;
    if (!std::filesystem::is_directory(request_.targetFolder, error)) {
      result_.folderError =
          error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
      observer_.OnNotice({SaveNoticeKind::FolderNotMade, 0, 0, result_.folder, {}});
      return Finish();
    }
    result_.folderCreated = true;
    const std::string baseName = Utf16ToUtf8(request_.folderName);
    std::string reason;
    const std::time_t scanTime = request_.scanTime != 0 ? request_.scanTime : std::time(nullptr);
    mailbox_.emplace();
    if (!mailbox_->Open(request_.targetFolder, scanTime, reason)) {
      result_.failed = request_.mails.size() - 1;
      CountFailure(request_.targetFolder / (baseName + ".mbox"), reason);
      mailbox_.reset();
      // Every mail still has its row, unsaved.
      for (std::size_t index = 0; index < request_.mails.size(); ++index)
        if (request_.mails[index]) AddToReport(*request_.mails[index], index + 1, nullptr);
    } else {
      observer_.OnWritingStarted();
      status_.unsavedMails = false;
      WriteMails();
      // A run that put no mail into it leaves no empty mailbox behind.
      const std::optional<std::filesystem::path> placed =
          inMailbox_ > 0 ? mailbox_->Finish(baseName, reason) : std::nullopt;
      if (placed) {
        result_.mailbox = *placed;
        result_.written = inMailbox_;
      } else if (inMailbox_ > 0) {
        result_.failed = inMailbox_ - 1;
        CountFailure(request_.targetFolder / (baseName + ".mbox"), reason);
      }
      mailbox_.reset();
    }
    // The rows wait for the mailbox's name.
    for (ReportedMail& reported : mailboxRows_) {
      if (!reported.file.empty()) {
        if (result_.mailbox.empty()) {
          reported.file.clear();
          reported.fileSize = 0;
          reported.sha256.clear();
          reported.byteRuns.clear();
        } else {
          reported.file = result_.mailbox.filename().string();
        }
      }
      if (report_) report_->Add(reported);
    }
    PlaceReport();
    Report();
    return Finish();
  }

  // The folder the mails go into: made one level deep when missing (the chosen folder itself
  // must exist).
  std::error_code MakeTargetFolder() {
    std::error_code error;
    if (!std::filesystem::is_directory(request_.targetFolder, error))
      return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
    return MakeFolders(result_.folder, madeFolders_);
  }

  // What the worker works out for a mail ahead of its writing: all that needs no file.
  struct PreparedMail {
    bool wanted = false;  // to be saved: there, and not a copy the run skips
    std::u16string base;
    Rendering rendering;
    std::optional<ReportedMail> row;  // with the file's facts but not yet its name
  };

  PreparedMail Prepare(std::size_t position) const {
    PreparedMail prepared;
    const MailRecordPtr& mail = request_.mails[position];
    if (!mail || (request_.skipDuplicates && mail->duplicateOf >= 0)) return prepared;
    prepared.wanted = true;
    prepared.base = BatchFileName(*mail, request_.render);
    // Nothing more is read once the user asked to stop: the writer stops before this mail.
    if (status_.stopRequested) {
      prepared.rendering.cutByStop = true;
      return prepared;
    }
    prepared.rendering = Render(*mail);
    const Rendering& rendering = prepared.rendering;
    if (!report_ || rendering.cutByStop || rendering.content.empty()) return prepared;
    ReportedMail& row =
        prepared.row.emplace(ReportedMailOf(*mail, position + 1, request_.render.ansiCodePage));
    row.fileSize = rendering.content.size();
    row.sha256 = Sha256Hex(rendering.content);
    if (rendering.format != SaveFormat::Txt) {
      row.bytes = rendering.content.size();
      if (rendering.source)
        row.byteRuns = TraceByteRuns(rendering.content, rendering.origin, *rendering.source);
    }
    return prepared;
  }

  // The source is read on a worker, ahead of this thread, which names and writes the files in
  // found order: the reading of the next mails and the writing of this one overlap.
  void WriteMails() {
    // A text rendering needs no reading back: it is made here, when its turn comes.
    std::optional<OrderedPrefetch<PreparedMail>> ahead;
    if (request_.format != SaveFormat::Txt && result_.sourceOpened)
      ahead.emplace(
          request_.mails.size(), [this](std::size_t position) { return Prepare(position); },
          [](const PreparedMail& prepared) {
            return sizeof(PreparedMail) + prepared.rendering.content.size();
          });
    auto prepareNext = [&](std::size_t position) -> std::optional<PreparedMail> {
      if (ahead) return ahead->Take();
      return Prepare(position);
    };
    std::size_t index = 0;
    for (const MailRecordPtr& mail : request_.mails) {
      ++index;
      if (!result_.stopped && status_.stopRequested) result_.stopped = true;
      // Mails a stop left unsaved still get their rows in the report.
      if (result_.stopped) {
        if (ahead) ahead->Stop();
        if (mail) AddToReport(*mail, index, nullptr);
        continue;
      }
      observer_.OnProgressPosition(index);
      status_.currentSector = index;
      std::optional<PreparedMail> prepared = prepareNext(index - 1);
      if (!mail) continue;
      if (!prepared || !prepared->wanted) {
        AddToReport(*mail, index, nullptr);
        continue;
      }
      observer_.OnSavingMail(prepared->base);

      const Rendering& rendering = prepared->rendering;
      // A stop that came before this mail's turn would have cut its reading back on one thread:
      // the mail is dropped as it would have been, so that a run stops at the same mail however
      // far the worker had read ahead.
      if (rendering.cutByStop || (rendering.readBack && status_.stopRequested)) {
        result_.stopped = true;
        AddToReport(*mail, index, nullptr);
        continue;
      }
      if (rendering.content.empty()) {
        AddToReport(*mail, index, nullptr);
        continue;
      }
      if (rendering.format == SaveFormat::Txt && request_.format != SaveFormat::Txt &&
          result_.sourceOpened)
        ++result_.savedAsText;
      if (mailbox_) {
        mailbox_->Add({rendering.content, mail->from.String(), mail->date.String()});
        ++inMailbox_;
        AddToReport(*mail, index, &*prepared, "-");
        continue;
      }
      const std::optional<std::string> fileName = Place(prepared->base, rendering);
      AddToReport(*mail, index, fileName ? &*prepared : nullptr, fileName.value_or(""));
    }
  }

  // The report's row of a mail, with its saved file when `saved` was given its content.
  void AddToReport(const MailRecord& mail, std::size_t index, PreparedMail* saved,
                   const std::string& fileName = {}) {
    if (!report_) return;
    ReportedMail reported;
    if (saved && saved->row) {
      reported = std::move(*saved->row);
      reported.file = Utf16ToUtf8(request_.folderName) + "/" + fileName;
    } else {
      reported = ReportedMailOf(mail, index, request_.render.ansiCodePage);
    }
    // In a mailbox the row's file is the mailbox, named when it is whole.
    if (mailbox_)
      mailboxRows_.push_back(std::move(reported));
    else
      report_->Add(reported);
  }

  void PlaceReport() {
    if (!report_) return;
    if (!report_->Place(request_.targetFolder, result_.reportFiles, result_.reportFailure) &&
        result_.reportFailure.empty())
      result_.reportFailure = "the report could not be written";
  }

  Rendering Render(const MailRecord& mail) const {
    // Without the source the mail cannot be read back; its text rendering is still written, so
    // that nothing found is lost, under the name of what it is.
    if (request_.format == SaveFormat::Txt || !result_.sourceOpened) return TextRendering(mail);
    DataSource* source = mail.SourceName() == sourceName_ ? &source_ : nullptr;
    Rendering rendering;
    rendering.readBack = true;
    rendering.content =
        RenderEml(mail, source, &status_.stopRequested, report_ ? &rendering.origin : nullptr);
    // The reader stops reading when asked to: what it gives then may be cut anywhere.
    if (status_.stopRequested) {
      rendering.content.clear();
      rendering.cutByStop = true;
      return rendering;
    }
    if (!rendering.content.empty()) {
      rendering.source = source;
      return rendering;
    }
    return TextRendering(mail);
  }

  static Rendering TextRendering(const MailRecord& mail) {
    Rendering rendering;
    rendering.content = RenderTxt(mail);
    rendering.format = SaveFormat::Txt;
    return rendering;
  }

  // The name of the file that holds the mail (written now or there already), or none.
  std::optional<std::string> Place(const std::u16string& base, const Rendering& rendering) {
    const std::string_view extension = FileExtension(rendering.format);
    std::filesystem::path path;
    std::string failure;
    for (std::size_t attempt = 0; attempt < kMaxNameTries; ++attempt) {
      path = ReservePath(used_, result_.folder, base, extension);
      path += std::string(extension);
      switch (writer_->Place(path.filename().string(), rendering.content, failure)) {
        case PlaceOutcome::Written:
          ++result_.written;
          // A time that cannot be set leaves the file as written: nothing of the mail is lost.
          (void)StampMailFileTime(path, rendering.content);
          return path.filename().string();
        case PlaceOutcome::AlreadyThere:
          ++result_.alreadyThere;
          return path.filename().string();
        case PlaceOutcome::NameTaken:
          continue;
        case PlaceOutcome::Failed:
          CountFailure(path, failure);
          return std::nullopt;
      }
    }
    CountFailure(path, "no free name");
    return std::nullopt;
  }

  void CountFailure(const std::filesystem::path& path, const std::string& reason) {
    if (result_.failed == 0) result_.firstFailure = path.string() + ": " + reason;
    ++result_.failed;
  }

  void Report() {
    if (request_.format != SaveFormat::Txt && !result_.sourceOpened)
      observer_.OnNotice({SaveNoticeKind::SourceNotOpened, 0, 0, {}, sourceName_});
    if (result_.savedAsText > 0)
      observer_.OnNotice({SaveNoticeKind::SavedAsText, result_.savedAsText, 0, {}, {}});
    if (result_.failed > 0) {
      observer_.OnNotice(
          {SaveNoticeKind::FilesFailed, result_.failed, 0, {}, result_.firstFailure});
    }
    if (!result_.reportFailure.empty()) {
      observer_.OnNotice(
          {SaveNoticeKind::ReportNotWritten, 0, 0, request_.targetFolder, result_.reportFailure});
    }
    observer_.OnNotice({SaveNoticeKind::Saved, result_.written, result_.alreadyThere, {}, {}});
  }

  SaveRunResult Finish() {
    source_.Close();
    observer_.OnRunFinished();
    return std::move(result_);
  }

  const SaveRunRequest& request_;
  ScanStatus& status_;
  SaveRunObserver& observer_;
  // Read by the worker alone while the mails are written.
  mutable DataSource source_;
  std::string sourceName_;
  UsedNameSet used_;
  std::vector<std::filesystem::path> madeFolders_;
  std::optional<MailFileWriter> writer_;
  std::optional<SaveReport> report_;
  std::optional<MailboxFile> mailbox_;
  std::size_t inMailbox_ = 0;
  std::vector<ReportedMail> mailboxRows_;
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
