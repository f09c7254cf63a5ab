// The main window's views: the folder tree, the mail list and its selection, the preview, and
// what the scan and the save run report.
#include <QElapsedTimer>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "output/preview_text.h"
#include "output/scan_status_text.h"
#include "scan/mail_reader.h"
#include "ui/icons.h"
#include "ui/list_filter_bar.h"
#include "ui/mail_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/main_window.h"
#include "ui/main_window_p.h"
#include "ui/preview_view.h"
#include "ui/prompts.h"
#include "ui/save_notice_message.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

constexpr int kFolderRole = Qt::UserRole;

std::size_t CopiesIn(const std::vector<MailRecordPtr>& mails) {
  return static_cast<std::size_t>(
      std::count_if(mails.begin(), mails.end(),
                    [](const MailRecordPtr& mail) { return mail->duplicateOf >= 0; }));
}

}  // namespace

// --- the tree and the list ---------------------------------------------------------------------

void MainWindow::ResetViews(const QString& sourceName) {
  folders_.clear();
  mailBoxItem_ = nullptr;
  pendingRows_.clear();
  pendingTimer_->setInterval(kRowBatchMilliseconds);
  scanEnded_ = false;
  tree_->clear();
  model_->Clear();
  commands_.ViewsReset();

  auto* root = new QTreeWidgetItem(tree_, QStringList(RootFolderLabel(sourceName.toStdString())));
  root->setIcon(0, RootFolderIcon());
  root->setData(0, kFolderRole, 0);
  folders_.push_back(MailFolder{QString::fromUtf16(kMailBoxName), {}});
  mailBoxItem_ = new QTreeWidgetItem(root, QStringList(folders_.back().name));
  mailBoxItem_->setIcon(0, MailFolderIcon());
  mailBoxItem_->setData(0, kFolderRole, static_cast<int>(folders_.size()));
  root->setExpanded(true);
  // The mail box is selected from the start so that the mails show up as they are found.
  tree_->setCurrentItem(mailBoxItem_);
  UpdateCounts();
  ApplyCommandStates();
}

MailFolder* MainWindow::FolderOf(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  const int index = item->data(0, kFolderRole).toInt();
  if (index <= 0 || index > static_cast<int>(folders_.size())) return nullptr;
  return &folders_[static_cast<std::size_t>(index - 1)];
}

void MainWindow::ListFolder(const MailFolder* folder) {
  // The folder's list already holds the mails still waiting to be added.
  pendingRows_.clear();
  if (!folder || folder->mails.empty()) {
    model_->Clear();
    UpdateCounts();
    return;
  }
  WaitCursor wait;
  model_->SetMails(folder->mails);
  commands_.MailRowAdded();
  UpdateCounts();
}

void MainWindow::FolderSelectionChanged() {
  ClearPreview();
  ListFolder(FolderOf(tree_->currentItem()));
  commands_.FolderSelected(model_->rowCount() > 0);
  ApplyCommandStates();
}

void MainWindow::UpdateMailBoxLabel() {
  MailFolder* folder = FolderOf(mailBoxItem_);
  if (!folder) return;
  scanEnded_ = true;
  UpdateCounts();
  if (tree_->currentItem() != mailBoxItem_) {
    tree_->setCurrentItem(mailBoxItem_);
    return;
  }
  // Already selected: list the folder again so that the rows stand in found order and show the
  // attachments the scan learnt after adding them; the mails selected stay selected.
  KeepingSelection([this, folder] { ListFolder(folder); });
}

void MainWindow::UpdateCounts() {
  const bool hiding = model_->HidesDuplicates();
  filterBar_->SetCountText(ListCountText(static_cast<std::size_t>(model_->rowCount()),
                                         model_->MailCount(), hiding ? model_->DuplicateCount() : 0,
                                         !model_->QuickFilter().isEmpty()));
  const MailFolder* folder = FolderOf(mailBoxItem_);
  if (!scanEnded_ || !folder) return;
  const std::size_t copies = hiding ? CopiesIn(folder->mails) : 0;
  mailBoxItem_->setText(0, CountedFolderLabel(folder->name, folder->mails.size(), copies));
}

void MainWindow::AddPendingRows() {
  if (pendingRows_.empty()) return;
  QElapsedTimer took;
  took.start();
  model_->InsertAtTop(pendingRows_);
  pendingRows_.clear();
  // Adding rows above a long list costs the view time in proportion to its length: the next
  // batch waits long enough that the window spends at most a fifth of its time on them.
  pendingTimer_->setInterval(std::clamp(static_cast<int>(took.elapsed()) * 5, kRowBatchMilliseconds,
                                        kLongestRowBatchMilliseconds));
  commands_.MailRowAdded();
  ApplyCommandStates();
  UpdateCounts();
}

MailRecordPtr MainWindow::SelectedRecord() const {
  // The row the keyboard is on, when it is selected; else the first selected one.
  const QItemSelectionModel* selection = list_->selectionModel();
  const QModelIndex current = selection->currentIndex();
  if (current.isValid() && selection->isRowSelected(current.row(), {}))
    return model_->RecordAt(current.row());
  const QModelIndexList rows = selection->selectedRows();
  if (rows.isEmpty()) return nullptr;
  return model_->RecordAt(rows.constFirst().row());
}

std::vector<MailRecordPtr> MainWindow::SelectedRecords() const {
  std::vector<int> rows;
  for (const QModelIndex& row : list_->selectionModel()->selectedRows()) rows.push_back(row.row());
  return model_->RecordsInListedOrder(rows);
}

MainWindow::ListSelection MainWindow::CaptureSelection() const {
  ListSelection selection;
  for (const QModelIndex& row : list_->selectionModel()->selectedRows()) {
    if (const MailRecordPtr record = model_->RecordAt(row.row()))
      selection.selected.push_back(record.get());
  }
  selection.current = model_->RecordAt(list_->selectionModel()->currentIndex().row());
  return selection;
}

void MainWindow::RestoreSelection(const ListSelection& selection) {
  const int lastColumn = model_->columnCount() - 1;
  QItemSelection rows;
  const std::vector<int> found = model_->RowsOf(selection.selected);
  for (std::size_t i = 0; i < found.size();) {
    std::size_t end = i;
    while (end + 1 < found.size() && found[end + 1] == found[end] + 1) ++end;
    rows.select(model_->index(found[i], 0), model_->index(found[end], lastColumn));
    i = end + 1;
  }
  QItemSelectionModel* model = list_->selectionModel();
  if (!rows.isEmpty()) model->select(rows, QItemSelectionModel::ClearAndSelect);
  const int current = selection.current ? model_->RowOf(selection.current.get()) : -1;
  if (current < 0) return;
  const QModelIndex index = model_->index(current, 0);
  model->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void MainWindow::KeepingSelection(const std::function<void()>& relist) {
  const ListSelection selection = CaptureSelection();
  relist();
  RestoreSelection(selection);
  // A mail the list no longer shows is not left in the preview either.
  if (previewRecord_ && model_->RowOf(previewRecord_.get()) < 0) ClearPreview();
}

void MainWindow::SetStatusText(const QString& text) {
  // While a worker runs the bar is its own.
  if (commands_.Busy()) return;
  progress_->SetText(text);
}

// --- the preview -------------------------------------------------------------------------------

void MainWindow::RecreatePreview() {
  if (QThread::currentThread() != thread()) return;
  auto* fresh = new PreviewView;
  fresh->setMinimumHeight(kListPaneMinimum);
  fresh->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fresh, &PreviewView::externalLinkRequested, this,
          [this](const QUrl& url) { prompts_.OpenExternal(url); });
  connect(fresh, &PreviewView::customContextMenuRequested, this, &MainWindow::ShowPreviewMenu);
  if (preview_) {
    QWidget* old = listSplitter_->replaceWidget(listSplitter_->indexOf(preview_), fresh);
    if (old) old->deleteLater();
  } else {
    listSplitter_->addWidget(fresh);
  }
  preview_ = fresh;
}

void MainWindow::CurrentRowChanged(int row) {
  const MailRecordPtr record = model_->RecordAt(row);
  // The same mail at another row (after a sort) is not read again.
  if (!record || record == previewRecord_) return;
  ShowPreview(record);
}

void MainWindow::UseAnsiCodePage(int codePage) {
  if (codePage == render_.ansiCodePage) return;
  render_.ansiCodePage = codePage;
  model_->SetAnsiCodePage(codePage);
  // The preview shows the mail's text as read back already; only its conversion changes.
  if (const MailRecordPtr shown = previewRecord_) {
    previewRecord_.reset();
    ShowPreview(shown);
  }
}

void MainWindow::ShowPreview(const MailRecordPtr& record) {
  WaitCursor wait;
  previewRecord_ = record;
  previewRaw_.clear();
  // A source that cannot be read leaves the raw text empty; the header fields still show.
  (void)ReadMailTextForPreview(*record, previewRaw_);
  const std::u16string html = BuildPreviewDocument(*record, previewRaw_, render_);
  RecreatePreview();
  preview_->ShowDocument(QString::fromStdU16String(html));
  const QString filter = model_->QuickFilter();
  preview_->HighlightText(filter.isEmpty() ? QString::fromStdU16String(findSettings_.text)
                                           : filter);
}

void MainWindow::ClearPreview() {
  previewRecord_.reset();
  previewRaw_.clear();
  RecreatePreview();
}

// --- what the scan reports ---------------------------------------------------------------------

void MainWindow::ScanStarted() {
  if (commands_.CurrentActivity() != Activity::Scanning) commands_.ScanStarting();
  ApplyCommandStates();
}

void MainWindow::ViewsReset(const QString& sourceName) {
  ResetViews(sourceName);
}

void MainWindow::ProgressRange(std::uint64_t totalSectors) {
  scanSectors_ = totalSectors;
  progress_->SetRange(totalSectors);
  progress_->SetPosition(0);
}

void MainWindow::Progress(std::uint64_t sector, const QString& statusText) {
  scanSector_ = sector;
  progress_->SetPosition(sector);
  progress_->SetText(statusText);
}

void MainWindow::MailsFound(const std::vector<MailRecordPtr>& records) {
  MailFolder* folder = FolderOf(mailBoxItem_);
  if (!folder) return;
  folder->mails.insert(folder->mails.end(), records.begin(), records.end());
  if (tree_->currentItem() != mailBoxItem_ || records.empty()) return;
  pendingRows_.insert(pendingRows_.end(), records.begin(), records.end());
  if (!pendingTimer_->isActive()) pendingTimer_->start();
}

void MainWindow::UnreadableSectors(const std::vector<SectorRange>& ranges) {
  unreadableStatus_.clear();
  if (ranges.empty()) return;
  // The bar has room for a few ranges; the command line lists them all.
  constexpr std::size_t kShownRanges = 6;
  const std::vector<SectorRange> shown(ranges.begin(),
                                       ranges.begin() + std::min(ranges.size(), kShownRanges));
  QString list = QString::fromStdString(SectorRangesText(shown));
  if (ranges.size() > kShownRanges) list += QStringLiteral(", \u2026");
  unreadableStatus_ =
      QString(kUnreadableSectorsStatus).arg(QString::number(SectorCount(ranges)), list);
}

void MainWindow::ScanFinished(int foundCount) {
  JoinScanThread();
  pendingTimer_->stop();
  AddPendingRows();
  progress_->SetAnimating(false);
  progress_->Reset();
  // Damaged mails are known only now.
  model_->RefreshMarks();
  commands_.ScanFinished(false);
  UpdateMailBoxLabel();
  commands_.FolderSelected(model_->rowCount() > 0);
  ApplyCommandStates();
  const QString unreadable = std::exchange(unreadableStatus_, QString());
  if (scanStopped_ && scanSectors_ > 0) {
    // A stopped scan leaves a list that holds only part of the source: say how much. Its first
    // line stays; what could not be read replaces the second when sectors failed.
    const std::uint64_t reached = std::min(scanSector_, scanSectors_);
    QString text = QString(kScanStoppedStatus)
                       .arg(static_cast<qulonglong>(reached))
                       .arg(static_cast<qulonglong>(scanSectors_))
                       .arg(static_cast<qulonglong>(reached * 100 / scanSectors_));
    if (!unreadable.isEmpty())
      text = text.section(QStringLiteral("\r\n"), 0, 0) + QStringLiteral("\r\n") + unreadable;
    SetStatusText(text);
  } else if (!unreadable.isEmpty()) {
    // What could not be read stays in view once the scan is over.
    SetStatusText(QString::fromStdU16String(FoundMailsText(foundCount)) + QStringLiteral("\r\n") +
                  unreadable);
  }
  emit scanFinished(foundCount);
}

// --- what a save run reports -------------------------------------------------------------------

void MainWindow::SaveWritingStarted() {
  commands_.SaveRunWriting();
  ApplyCommandStates();
}

void MainWindow::SaveProgressRange(std::size_t mailCount) {
  progress_->SetRange(mailCount);
  progress_->SetPosition(0);
}

void MainWindow::SaveProgress(std::size_t index, const QString& statusText) {
  progress_->SetPosition(index);
  progress_->SetText(statusText);
}

void MainWindow::SaveNoticed(const SaveNotice& notice) {
  const QString text = SaveNoticeMessage(notice);
  // The closing count of a run also says where the files went (unless it has more to say).
  if (notice.kind == SaveNoticeKind::Saved && notice.alreadyThere == 0 && !savedFolder_.isEmpty()) {
    prompts_.ShowInformation(
        this, text + QStringLiteral("\r\n") + QString(kSavedWhere).arg(savedFolder_));
    return;
  }
  prompts_.ShowInformation(this, text);
}

void MainWindow::SaveRunFinished() {
  JoinSaveThread();
  progress_->Reset();
  commands_.SaveRunFinished();
  ApplyCommandStates();
  emit saveRunFinished();
}

}  // namespace quillon
