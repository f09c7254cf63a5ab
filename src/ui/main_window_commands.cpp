// What the main window's buttons, menus and keys do, and its close flow.
#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "output/file_naming.h"
#include "output/mail_attachments.h"
#include "output/save_run.h"
#include "scan/mail_reader.h"
#include "ui/help_page.h"
#include "ui/mail_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/mail_source_view.h"
#include "ui/main_window.h"
#include "ui/main_window_p.h"
#include "ui/preview_view.h"
#include "ui/prompts.h"
#include "ui/single_save.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

std::filesystem::path LocalPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

void MainWindow::DataCommand() {
  if (!commands_.Flags().data || commands_.Busy()) return;
  commands_.DataFlowStarted();
  ApplyCommandStates();
  if (!status_.unsavedMails.load() ||
      prompts_.AskYesNo(this, QString(kRescanQuestion), SafeAnswer::Second)) {
    if (const auto choice = prompts_.ChooseSource(this)) {
      UseAnsiCodePage(choice->ansiCodePage);
      StartScan(choice->sourceName);
    }
  }
  commands_.DataFlowEnded();
  ApplyCommandStates();
}

bool MainWindow::StartScan(const std::string& sourceName) {
  if (commands_.Busy() || scanThread_.joinable()) return false;
  currentSourceName_ = sourceName;
  ClearPreview();
  // A stop asked for after the last worker ended must not end this scan before it starts.
  status_.stopRequested = false;
  scanStopped_ = false;
  scanSector_ = 0;
  scanSectors_ = 0;
  commands_.ScanStarting();
  ApplyCommandStates();
  progress_->SetAnimating(true);
  scanThread_ = options_.scanStarter(sourceName, status_, foundMails_, scanEvents_);
  return true;
}

void MainWindow::StopCommand() {
  if (!commands_.Flags().stop) return;
  if (!prompts_.AskYesNo(this, QString(kStopQuestion), SafeAnswer::Second)) return;
  status_.stopRequested = true;
  if (scanThread_.joinable()) scanStopped_ = true;
  commands_.StopConfirmed();
  ApplyCommandStates();
}

void MainWindow::SaveCommand() {
  if (!commands_.Flags().save) return;
  folderMenu_->popup(saveButton_->mapToGlobal(QPoint(0, saveButton_->height())));
}

void MainWindow::OpenGuide() {
  // Without a web browser the guide still shows, in the program's own viewer.
  const QUrl guide = HelpPageUrl();
  if (!prompts_.OpenExternal(guide)) prompts_.ShowGuide(this, guide);
}

// --- menus -------------------------------------------------------------------------------------

void MainWindow::ShowFolderMenu(const QPoint& position) {
  if (QTreeWidgetItem* clicked = tree_->itemAt(position);
      clicked && clicked != tree_->currentItem())
    tree_->setCurrentItem(clicked);
  QTreeWidgetItem* item = tree_->currentItem();
  if (!item || !item->parent()) return;
  const MailFolder* folder = FolderOf(item);
  if (!folder || folder->mails.empty()) return;
  folderMenu_->popup(tree_->viewport()->mapToGlobal(position));
}

void MainWindow::ShowListMenu(const QPoint& position) {
  const MailRecordPtr record = SelectedRecord();
  if (!record) return;
  const bool attribute = AttributeKeysHeld();
  attributeSeparator_->setVisible(attribute);
  attributeAction_->setVisible(attribute);
  FillAttachmentMenu(attachmentMenu_, record);
  listMenu_->popup(list_->viewport()->mapToGlobal(position));
}

void MainWindow::ShowPreviewMenu(const QPoint& position) {
  QMenu* menu = preview_->createStandardContextMenu(position);
  menu->setObjectName(QStringLiteral("previewMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (const MailRecordPtr record = previewRecord_) {
    menu->addSeparator();
    QMenu* attachments = menu->addMenu(QString(kSaveAttachmentItem));
    attachments->setObjectName(QStringLiteral("previewAttachmentMenu"));
    FillAttachmentMenu(attachments, record);
    QAction* source = menu->addAction(QString(kViewSourceItem));
    source->setObjectName(QStringLiteral("previewViewSourceAction"));
    connect(source, &QAction::triggered, this, [this, record] { ViewSource(record); });
  }
  menu->popup(preview_->viewport()->mapToGlobal(position));
}

void MainWindow::FillAttachmentMenu(QMenu* menu, const MailRecordPtr& record) {
  menu->clear();
  const std::vector<MailAttachment> attachments =
      ListAttachments(RawTextOf(record), *record, render_);
  for (std::size_t index = 0; index < attachments.size(); ++index) {
    QString label = QString::fromStdU16String(attachments[index].fileName);
    // A mail cut short in its source may end inside a file.
    if (!attachments[index].complete) label += QStringLiteral(" (incomplete)");
    QAction* save = menu->addAction(label);
    save->setObjectName(QStringLiteral("saveAttachment%1").arg(index));
    connect(save, &QAction::triggered, this,
            [this, record, index] { SaveAttachment(record, index); });
  }
  menu->menuAction()->setEnabled(!attachments.empty());
}

const std::string& MainWindow::RawTextOf(const MailRecordPtr& record) {
  if (record == previewRecord_) return previewRaw_;
  // A mail chosen without being previewed (a right click on another row) is read for itself.
  if (record != menuRecord_) {
    WaitCursor wait;
    menuRecord_ = record;
    menuRaw_.clear();
    (void)ReadMailTextForPreview(*record, menuRaw_);
  }
  return menuRaw_;
}

// --- saving ------------------------------------------------------------------------------------

void MainWindow::StartFolderSave(SaveFormat format) {
  if (commands_.Busy()) return;
  const MailFolder* folder = FolderOf(tree_->currentItem());
  std::vector<MailRecordPtr> mails;
  if (folder) mails = folder->mails;
  // Copies hidden in the list are skipped by the save as well, as --skip-duplicates does.
  BeginSaveRun(format, std::move(mails), folder ? folder->name.toStdU16String() : u"",
               model_->HidesDuplicates());
}

void MainWindow::BeginSaveRun(SaveFormat format, std::vector<MailRecordPtr> mails,
                              std::u16string folderName, bool skipDuplicates) {
  if (commands_.Busy()) return;
  commands_.SaveRunChoosingFolder();
  ApplyCommandStates();
  status_.stopRequested = false;
  SaveFolderChoice choice;
  if (!mails.empty()) choice = prompts_.ChooseSaveFolder(this);
  const QString target = choice.folder;
  if (target.isEmpty()) {
    commands_.SaveRunAbandoned();
    commands_.FolderSelected(model_->rowCount() > 0);
    ApplyCommandStates();
    return;
  }
  // A mailbox lies in the chosen folder itself.
  savedFolder_ = QDir::toNativeSeparators(QDir::cleanPath(
      format == SaveFormat::Mbox ? target
                                 : QDir(target).filePath(QString::fromStdU16String(folderName))));
  SaveRunRequest request;
  request.format = format;
  request.folderName = std::move(folderName);
  request.mails = std::move(mails);
  request.targetFolder = LocalPath(target);
  request.skipDuplicates = skipDuplicates;
  request.report = choice.report;
  request.creator.version = QUILLON_FULL_VERSION;
  request.creator.commandLine = QCoreApplication::arguments().join(u' ').toStdString();
  request.creator.startTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
  request.render = render_;
  saveThread_ = StartSaveRun(std::move(request), status_, saveEvents_);
}

void MainWindow::SaveSelectedMails(SaveFormat format) {
  std::vector<MailRecordPtr> records = SelectedRecords();
  if (records.empty()) return;
  if (records.size() == 1) {
    SaveSingleMail(records.front(), format);
    return;
  }
  // Several mails go into the chosen folder itself, as a save run.
  BeginSaveRun(format, std::move(records), u"", false);
}

void MainWindow::SaveSingleMail(const MailRecordPtr& record, SaveFormat format) {
  std::string bytes;
  {
    WaitCursor wait;
    bytes = RenderSingleSave(*record, format);
  }
  if (bytes.empty()) return;  // the mail could not be read back: nothing to save
  const QString path = prompts_.ChooseSaveFile(
      this, QString::fromStdU16String(DefaultFileName(*record, format, render_)), format);
  if (path.isEmpty()) return;
  if (!WriteMailFile(LocalPath(path), bytes)) prompts_.ShowError(this, QString(kSaveFileError));
}

void MainWindow::SaveAttachment(const MailRecordPtr& record, std::size_t index) {
  const std::string& raw = RawTextOf(record);
  const std::vector<MailAttachment> attachments = ListAttachments(raw, *record, render_);
  if (index >= attachments.size()) return;
  const QString path =
      prompts_.ChooseAttachmentFile(this, QString::fromStdU16String(attachments[index].fileName));
  if (path.isEmpty()) return;
  if (!WriteFileBytes(LocalPath(path), DecodeAttachment(raw, attachments[index])))
    prompts_.ShowError(this, QString(kSaveFileError));
}

void MainWindow::ViewSource(const MailRecordPtr& record) {
  const std::string& raw = RawTextOf(record);
  if (raw.empty()) {
    prompts_.ShowError(this, QString(kNotReadBack));
    return;
  }
  auto* view = new MailSourceView(QString::fromStdU16String(record->SubjectText()), raw,
                                  render_.ansiCodePage, this);
  view->show();
}

// --- finding -----------------------------------------------------------------------------------

void MainWindow::FindCommand() {
  if (model_->rowCount() == 0 || !commands_.Flags().find) return;
  emit findRequested();
  const std::optional<FindSettings> chosen = prompts_.ChooseFindSettings(this, findSettings_);
  if (!chosen) return;
  findSettings_ = *chosen;
  if (!findSettings_.text.empty()) FindNext();
}

void MainWindow::FindNext() {
  Find(FindDirection::Next);
}

void MainWindow::FindPrevious() {
  Find(FindDirection::Previous);
}

void MainWindow::Find(FindDirection direction) {
  WaitCursor wait;
  const MailRecordPtr selected = SelectedRecord();
  const int selectedRow = selected ? model_->RowOf(selected.get()) : -1;
  const int found = model_->FindRow(selectedRow, direction, findSettings_);
  if (found < 0) {
    list_->selectionModel()->clear();
    ClearPreview();
    SetStatusText(QString(kFindNotFound).arg(QString::fromStdU16String(findSettings_.text)));
    return;
  }
  SetStatusText(QString());
  // The found row alone, whatever keys are held (F3 may come with Shift or Ctrl down).
  const QModelIndex row = model_->index(found, 0);
  list_->selectionModel()->setCurrentIndex(
      row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(row);
  list_->setFocus();
  // The same mail found again keeps its preview; the match is marked all the same.
  if (preview_) preview_->HighlightText(QString::fromStdU16String(findSettings_.text));
}

void MainWindow::ShowAttribute() {
  const MailRecordPtr record = SelectedRecord();
  if (!record) return;
  prompts_.ShowInformation(this, QString(kAttributeText)
                                     .arg(QString::fromStdString(currentSourceName_))
                                     .arg(static_cast<qulonglong>(record->startSector)));
}

bool MainWindow::AttributeKeysHeld() const {
  const bool control =
      controlHeld_ || (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
  return control && qHeld_;
}

void MainWindow::TrackAttributeKeys(const QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate) {
    controlHeld_ = false;
    qHeld_ = false;
    return;
  }
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return;
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (key->isAutoRepeat()) return;
  const bool down = event->type() == QEvent::KeyPress;
  if (key->key() == Qt::Key_Control)
    controlHeld_ = down;
  else if (key->key() == Qt::Key_Q)
    qHeld_ = down;
}

void MainWindow::JoinScanThread() {
  if (scanThread_.joinable()) scanThread_.join();
}

void MainWindow::JoinSaveThread() {
  if (saveThread_.joinable()) saveThread_.join();
}

// --- window events -----------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  // Esc and the questions' own close buttons keep the window: only a click on "No" or "Cancel"
  // leaves the found mails behind.
  if (scanThread_.joinable()) {
    if (prompts_.AskYesNo(this, QString(kCloseWhileScanningQuestion), SafeAnswer::First)) {
      event->ignore();
      return;
    }
    status_.stopRequested = true;
    scanStopped_ = true;
    commands_.StopConfirmed();
    ApplyCommandStates();
    // The scan posts its reports and never waits for this thread, so it ends on its own.
    JoinScanThread();
  }
  if (status_.unsavedMails.load() &&
      prompts_.AskOkCancel(this, QString(kCloseWithUnsavedQuestion), SafeAnswer::First)) {
    event->ignore();
    return;
  }
  if (saveThread_.joinable()) {
    status_.stopRequested = true;
    JoinSaveThread();
  }
  event->accept();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  windowMenu_->popup(event->globalPos());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  TrackAttributeKeys(event);
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // F3 and F2 in the list repeat the last find, once there is one.
    if (key == Qt::Key_F3 || key == Qt::Key_F2) {
      if (model_->rowCount() > 0 && !findSettings_.text.empty())
        Find(key == Qt::Key_F3 ? FindDirection::Next : FindDirection::Previous);
      return true;
    }
    // Nothing is ever deleted from the list: found mails stay until the next scan.
    if (key == Qt::Key_Delete || key == Qt::Key_Backspace) return true;
  }
  // Enter and Esc do nothing anywhere in this window: no default button, no closing.
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
      const auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget->window() == this) return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quillon
