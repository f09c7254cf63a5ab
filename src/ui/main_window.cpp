#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "output/file_naming.h"
#include "output/preview_text.h"
#include "output/save_run.h"
#include "scan/mail_reader.h"
#include "scan/scan_driver.h"
#include "ui/help_page.h"
#include "ui/icons.h"
#include "ui/link_label.h"
#include "ui/mail_list_model.h"
#include "ui/preview_view.h"
#include "ui/prompts.h"
#include "ui/single_save.h"
#include "ui/skinned_button.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kDataDialogDelayMilliseconds = 500;
constexpr int kLeftPaneMinimum = 200;
constexpr int kRightPaneMinimum = 300;
constexpr int kListPaneMinimum = 100;
constexpr int kSplitterBarWidth = 5;

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

std::thread StartWholeSourceScan(const std::string& sourceName, ScanStatus& status,
                                 FoundMails& mails, ScanObserver& observer) {
  return StartScanThread(sourceName, ScanOptions{}, status, mails, observer);
}

}  // namespace

MainWindow::MainWindow(Prompts& prompts, MainWindowOptions options, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      options_(std::move(options)),
      scanEvents_(this, *this),
      saveEvents_(this, *this) {
  if (!options_.scanStarter) options_.scanStarter = StartWholeSourceScan;
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QString(kWindowCaption));
  setWindowIcon(AppIcon());
  setMinimumSize(800, 600);
  resize(1100, 720);

  BuildControls();
  BuildMenus();
  // The list starts with the focus, ready for F2 and F3, rather than the first usable button.
  list_->setFocus();
  ResetViews(QString());
  ApplyCommandStates();
  qApp->installEventFilter(this);

  if (options_.openDataDialogOnStart)
    QTimer::singleShot(kDataDialogDelayMilliseconds, this, &MainWindow::DataCommand);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  // The workers never wait for this window, so joining them cannot deadlock.
  status_.stopRequested = true;
  if (scanThread_.joinable()) scanThread_.join();
  if (saveThread_.joinable()) saveThread_.join();
}

QToolButton* MainWindow::MakeCommandButton(const QString& caption, const char* icon,
                                           const char* name) {
  auto* button = new SkinnedToolButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(caption);
  button->setIcon(ButtonIcon(icon));
  button->setIconSize(QSize(28, 28));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setMinimumWidth(64);
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return button;
}

void MainWindow::BuildControls() {
  dataButton_ = MakeCommandButton(QStringLiteral("&Data"), "data", "dataButton");
  saveButton_ = MakeCommandButton(QStringLiteral("&Save"), "save", "saveButton");
  findButton_ = MakeCommandButton(QStringLiteral("&Find"), "find", "findButton");
  stopButton_ = MakeCommandButton(QStringLiteral("S&top"), "stop", "stopButton");
  helpButton_ = MakeCommandButton(QStringLiteral("&Help"), "help", "helpButton");
  aboutButton_ = MakeCommandButton(QStringLiteral("&About"), "about", "aboutButton");
  connect(dataButton_, &QToolButton::clicked, this, &MainWindow::DataCommand);
  connect(saveButton_, &QToolButton::clicked, this, &MainWindow::SaveCommand);
  connect(stopButton_, &QToolButton::clicked, this, &MainWindow::StopCommand);
  connect(findButton_, &QToolButton::clicked, this, &MainWindow::FindCommand);
  // Whether the browser opened the guide changes nothing here.
  connect(helpButton_, &QToolButton::clicked, this,
          [this] { (void)prompts_.OpenExternal(HelpPageUrl()); });
  connect(aboutButton_, &QToolButton::clicked, this, [this] { prompts_.ShowAbout(this); });

  progress_ = new TextProgressBar(this);
  progress_->setObjectName(QStringLiteral("progressBar"));

  auto* commandRow = new QHBoxLayout;
  commandRow->setSpacing(6);
  for (QToolButton* button :
       {dataButton_, saveButton_, findButton_, stopButton_, helpButton_, aboutButton_})
    commandRow->addWidget(button);
  commandRow->addSpacing(8);
  commandRow->addWidget(progress_, 1);

  tree_ = new QTreeWidget;
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(16, 16));
  tree_->setUniformRowHeights(true);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QTreeWidget::currentItemChanged, this, &MainWindow::FolderSelectionChanged);
  connect(tree_, &QTreeWidget::customContextMenuRequested, this, &MainWindow::ShowFolderMenu);

  // Under the tree: the maker's links, and a third line that stays hidden but keeps its place.
  auto* hiddenFooter = new QLabel(QString(kProductName));
  hiddenFooter->setObjectName(QStringLiteral("hiddenFooter"));
  QSizePolicy keepPlace = hiddenFooter->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  hiddenFooter->setSizePolicy(keepPlace);
  hiddenFooter->hide();
  auto* siteLink = new LinkLabel(QString(kGuideLinkText), HelpPageUrl());
  siteLink->setObjectName(QStringLiteral("siteLink"));
  auto* supportLink =
      new LinkLabel(QStringLiteral("support@quillon.example.org"), QUrl(QString(kSupportAddress)));
  supportLink->setObjectName(QStringLiteral("supportLink"));
  for (LinkLabel* link : {siteLink, supportLink})
    link->OpenWith([this](const QUrl& target) { return prompts_.OpenExternal(target); });

  leftColumn_ = new QWidget;
  leftColumn_->setObjectName(QStringLiteral("leftColumn"));
  leftColumn_->setMinimumWidth(kLeftPaneMinimum);
  auto* leftLayout = new QVBoxLayout(leftColumn_);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(4);
  leftLayout->addWidget(tree_, 1);
  for (QLabel* line :
       {hiddenFooter, static_cast<QLabel*>(siteLink), static_cast<QLabel*>(supportLink)}) {
    line->setFixedHeight(std::max(15, line->fontMetrics().height()));
    leftLayout->addWidget(line);
  }

  model_ = new MailListModel(this);
  list_ = new QTableView;
  list_->setObjectName(QStringLiteral("mailList"));
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setShowGrid(true);
  list_->setGridStyle(Qt::DotLine);
  list_->setAlternatingRowColors(true);
  list_->setWordWrap(false);
  list_->setTextElideMode(Qt::ElideRight);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
  list_->horizontalHeader()->setHighlightSections(false);
  list_->horizontalHeader()->setSectionsClickable(true);
  list_->horizontalHeader()->setSortIndicatorShown(true);
  list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    WaitCursor wait;
    model_->SortByClick(column);
  });
  // The mark follows the model: a click sets it, a folder listed anew clears it.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    list_->horizontalHeader()->setSortIndicator(model_->SortColumn(), model_->SortOrder());
  });
  list_->horizontalHeader()->setStretchLastSection(true);
  for (int column = 0; column < MailListModel::ColumnCount; ++column)
    list_->setColumnWidth(column, DefaultColumnWidth(static_cast<MailListModel::Column>(column)));
  // A normalised date must fit whole, whatever the font.
  list_->setColumnWidth(
      MailListModel::DateColumn,
      std::max(DefaultColumnWidth(MailListModel::DateColumn),
               list_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16));
  list_->setMinimumHeight(kListPaneMinimum);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected) {
            if (selected.isEmpty() || keepPreview_) return;
            ShowPreviewOfRow(selected.indexes().constFirst().row());
          });
  connect(list_, &QTableView::customContextMenuRequested, this, &MainWindow::ShowListMenu);

  listSplitter_ = new QSplitter(Qt::Vertical);
  listSplitter_->setObjectName(QStringLiteral("listSplitter"));
  listSplitter_->setHandleWidth(kSplitterBarWidth);
  listSplitter_->setChildrenCollapsible(false);
  listSplitter_->setMinimumWidth(kRightPaneMinimum);
  listSplitter_->addWidget(list_);
  RecreatePreview();
  listSplitter_->setStretchFactor(0, 2);
  listSplitter_->setStretchFactor(1, 3);
  listSplitter_->setSizes({280, 400});

  mainSplitter_ = new QSplitter(Qt::Horizontal);
  mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
  mainSplitter_->setHandleWidth(kSplitterBarWidth);
  mainSplitter_->setChildrenCollapsible(false);
  mainSplitter_->addWidget(leftColumn_);
  mainSplitter_->addWidget(listSplitter_);
  mainSplitter_->setStretchFactor(0, 0);
  mainSplitter_->setStretchFactor(1, 1);
  mainSplitter_->setSizes({240, 860});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 12, 10);
  layout->setSpacing(10);
  layout->addLayout(commandRow);
  layout->addWidget(mainSplitter_, 1);
}

void MainWindow::BuildMenus() {
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("mailListMenu"));
  QAction* saveMailEml = listMenu_->addAction(QString(kSaveEmlItem));
  saveMailEml->setObjectName(QStringLiteral("saveMailEmlAction"));
  listMenu_->addSeparator();
  QAction* saveMailTxt = listMenu_->addAction(QString(kSaveTxtItem));
  saveMailTxt->setObjectName(QStringLiteral("saveMailTxtAction"));
  connect(saveMailEml, &QAction::triggered, this, [this] { SaveSingleMail(SaveFormat::Eml); });
  connect(saveMailTxt, &QAction::triggered, this, [this] { SaveSingleMail(SaveFormat::Txt); });
  attributeSeparator_ = listMenu_->addSeparator();
  attributeAction_ = listMenu_->addAction(QString(kAttributeItem));
  attributeAction_->setObjectName(QStringLiteral("attributeAction"));
  connect(attributeAction_, &QAction::triggered, this, &MainWindow::ShowAttribute);

  folderMenu_ = new QMenu(this);
  folderMenu_->setObjectName(QStringLiteral("folderMenu"));
  saveFolderEml_ = folderMenu_->addAction(QString(kSaveEmlItem));
  saveFolderEml_->setObjectName(QStringLiteral("saveFolderEmlAction"));
  folderMenu_->addSeparator();
  saveFolderTxt_ = folderMenu_->addAction(QString(kSaveTxtItem));
  saveFolderTxt_->setObjectName(QStringLiteral("saveFolderTxtAction"));
  connect(saveFolderEml_, &QAction::triggered, this, [this] { StartFolderSave(SaveFormat::Eml); });
  connect(saveFolderTxt_, &QAction::triggered, this, [this] { StartFolderSave(SaveFormat::Txt); });

  windowMenu_ = new QMenu(this);
  windowMenu_->setObjectName(QStringLiteral("windowMenu"));
  QAction* about = windowMenu_->addAction(QString(kAboutMenuItem));
  about->setObjectName(QStringLiteral("aboutAction"));
  connect(about, &QAction::triggered, this, [this] { prompts_.ShowAbout(this); });
}

void MainWindow::ApplyCommandStates() {
  const CommandFlags& flags = commands_.Flags();
  dataButton_->setEnabled(flags.data);
  saveButton_->setEnabled(flags.save);
  stopButton_->setEnabled(flags.stop);
  findButton_->setEnabled(flags.find);
  // A second worker would share the stop flag and the progress bar with the first: while one
  // runs, the folder menu cannot start a save run.
  saveFolderEml_->setEnabled(!commands_.Busy());
  saveFolderTxt_->setEnabled(!commands_.Busy());
}

// --- views -----------------------------------------------------------------------------------

void MainWindow::ResetViews(const QString& sourceName) {
  folders_.clear();
  mailBoxItem_ = nullptr;
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
  ApplyCommandStates();
}

MailFolder* MainWindow::FolderOf(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  const int index = item->data(0, kFolderRole).toInt();
  if (index <= 0 || index > static_cast<int>(folders_.size())) return nullptr;
  return &folders_[static_cast<std::size_t>(index - 1)];
}

void MainWindow::ListFolder(const MailFolder* folder) {
  if (!folder || folder->mails.empty()) {
    model_->Clear();
    return;
  }
  WaitCursor wait;
  model_->SetMails(folder->mails);
  commands_.MailRowAdded();
}

void MainWindow::FolderSelectionChanged() {
  RecreatePreview();
  ListFolder(FolderOf(tree_->currentItem()));
  commands_.FolderSelected(model_->rowCount() > 0);
  ApplyCommandStates();
}

void MainWindow::UpdateMailBoxLabel() {
  MailFolder* folder = FolderOf(mailBoxItem_);
  if (!folder) return;
  mailBoxItem_->setText(0, CountedFolderLabel(folder->name, folder->mails.size()));
  if (tree_->currentItem() != mailBoxItem_) {
    tree_->setCurrentItem(mailBoxItem_);
    return;
  }
  // Already selected: list the folder again so that the rows stand in found order and show the
  // attachments the scan learnt after adding them; the mail being read stays selected.
  const MailRecordPtr reading = SelectedRecord();
  ListFolder(folder);
  if (!reading) return;
  const auto found = std::find(folder->mails.begin(), folder->mails.end(), reading);
  if (found == folder->mails.end()) return;
  keepPreview_ = true;
  list_->selectRow(static_cast<int>(found - folder->mails.begin()));
  keepPreview_ = false;
}

void MainWindow::RecreatePreview() {
  if (QThread::currentThread() != thread()) return;
  auto* fresh = new PreviewView;
  fresh->setMinimumHeight(kListPaneMinimum);
  connect(fresh, &PreviewView::externalLinkRequested, this,
          [this](const QUrl& url) { prompts_.OpenExternal(url); });
  if (preview_) {
    QWidget* old = listSplitter_->replaceWidget(listSplitter_->indexOf(preview_), fresh);
    if (old) old->deleteLater();
  } else {
    listSplitter_->addWidget(fresh);
  }
  preview_ = fresh;
}

void MainWindow::ShowPreviewOfRow(int row) {
  const MailRecordPtr record = model_->RecordAt(row);
  if (!record) return;
  WaitCursor wait;
  std::string rawText;
  // A source that cannot be read leaves the raw text empty, and with it the pane.
  (void)ReadMailTextForPreview(*record, rawText);
  const std::u16string html = BuildPreviewText(*record, rawText);
  RecreatePreview();
  preview_->ShowDocument(QString::fromStdU16String(html));
}

MailRecordPtr MainWindow::SelectedRecord() const {
  const QModelIndexList rows = list_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  return model_->RecordAt(rows.constFirst().row());
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
  progress_->SetRange(totalSectors);
  progress_->SetPosition(0);
}

void MainWindow::Progress(std::uint64_t sector, const QString& statusText) {
  progress_->SetPosition(sector);
  progress_->SetText(statusText);
}

void MainWindow::MailsFound(const std::vector<MailRecordPtr>& records) {
  MailFolder* folder = FolderOf(mailBoxItem_);
  if (!folder) return;
  const bool showing = tree_->currentItem() == mailBoxItem_;
  for (const MailRecordPtr& record : records) {
    folder->mails.push_back(record);
    if (showing) model_->InsertAtTop(record);
  }
  if (showing && !records.empty()) {
    commands_.MailRowAdded();
    ApplyCommandStates();
  }
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
  progress_->SetAnimating(false);
  progress_->Reset();
  // What could not be read stays in view once the scan is over.
  model_->RefreshMarks();
  const QString unreadable = std::exchange(unreadableStatus_, QString());
  if (!unreadable.isEmpty())
    progress_->SetText(QString::fromStdU16String(FoundMailsText(foundCount)) +
                       QStringLiteral("\r\n") + unreadable);
  commands_.ScanFinished(false);
  UpdateMailBoxLabel();
  commands_.FolderSelected(model_->rowCount() > 0);
  ApplyCommandStates();
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

void MainWindow::SaveMessage(const QString& text) {
  prompts_.ShowInformation(this, text);
}

void MainWindow::SaveRunFinished() {
  JoinSaveThread();
  progress_->Reset();
  commands_.SaveRunFinished();
  ApplyCommandStates();
  emit saveRunFinished();
}

// --- commands ----------------------------------------------------------------------------------

void MainWindow::DataCommand() {
  if (!commands_.Flags().data || commands_.Busy()) return;
  commands_.DataFlowStarted();
  ApplyCommandStates();
  if (!status_.unsavedMails.load() || prompts_.AskYesNo(this, QString(kRescanQuestion))) {
    if (const auto source = prompts_.ChooseSource(this)) StartScan(*source);
  }
  commands_.DataFlowEnded();
  ApplyCommandStates();
}

bool MainWindow::StartScan(const std::string& sourceName) {
  if (commands_.Busy() || scanThread_.joinable()) return false;
  currentSourceName_ = sourceName;
  RecreatePreview();
  // A stop asked for after the last worker ended must not end this scan before it starts.
  status_.stopRequested = false;
  commands_.ScanStarting();
  ApplyCommandStates();
  progress_->SetAnimating(true);
  scanThread_ = options_.scanStarter(sourceName, status_, foundMails_, scanEvents_);
  return true;
}

void MainWindow::StopCommand() {
  if (!commands_.Flags().stop) return;
  if (!prompts_.AskYesNo(this, QString(kStopQuestion))) return;
  status_.stopRequested = true;
  commands_.StopConfirmed();
  ApplyCommandStates();
}

void MainWindow::SaveCommand() {
  if (!commands_.Flags().save) return;
  folderMenu_->popup(saveButton_->mapToGlobal(QPoint(0, saveButton_->height())));
}

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
  if (!SelectedRecord()) return;
  const bool attribute = AttributeKeysHeld();
  attributeSeparator_->setVisible(attribute);
  attributeAction_->setVisible(attribute);
  listMenu_->popup(list_->viewport()->mapToGlobal(position));
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

void MainWindow::ShowAttribute() {
  const MailRecordPtr record = SelectedRecord();
  if (!record) return;
  prompts_.ShowInformation(this, QString(kAttributeText)
                                     .arg(QString::fromStdString(currentSourceName_))
                                     .arg(static_cast<qulonglong>(record->startSector)));
}

void MainWindow::FindCommand() {
  if (model_->rowCount() == 0) return;
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
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  const int selectedRow = selected.isEmpty() ? -1 : selected.constFirst().row();
  const int found = FindRow(model_->rowCount(), selectedRow, direction, [this](int row) {
    const MailRecordPtr record = model_->RecordAt(row);
    if (!record) return RowTest::NoRecord;
    return MailMatches(*record, findSettings_) ? RowTest::Match : RowTest::NoMatch;
  });
  if (found < 0) {
    list_->selectionModel()->clear();
    return;
  }
  list_->selectRow(found);
  list_->scrollTo(model_->index(found, 0));
  list_->setFocus();
}

void MainWindow::StartFolderSave(SaveFormat format) {
  if (commands_.Busy()) return;
  const MailFolder* folder = FolderOf(tree_->currentItem());
  commands_.SaveRunChoosingFolder();
  ApplyCommandStates();
  status_.stopRequested = false;
  QString target;
  if (folder && !folder->mails.empty()) target = prompts_.ChooseSaveFolder(this);
  if (target.isEmpty()) {
    commands_.SaveRunAbandoned();
    commands_.FolderSelected(model_->rowCount() > 0);
    ApplyCommandStates();
    return;
  }
  SaveRunRequest request;
  request.format = format;
  request.folderName = folder->name.toStdU16String();
  request.mails = folder->mails;
  request.targetFolder = std::filesystem::path(QFile::encodeName(target).toStdString());
  saveThread_ = StartSaveRun(std::move(request), status_, saveEvents_);
}

void MainWindow::SaveSingleMail(SaveFormat format) {
  const MailRecordPtr record = SelectedRecord();
  if (!record) return;
  std::string bytes;
  {
    WaitCursor wait;
    bytes = RenderSingleSave(*record, format);
  }
  if (bytes.empty()) return;  // the mail could not be read back: nothing to save
  const QString path = prompts_.ChooseSaveFile(
      this, QString::fromStdU16String(DefaultFileName(*record, format)), format);
  if (path.isEmpty()) return;
  if (!WriteFileBytes(std::filesystem::path(QFile::encodeName(path).toStdString()), bytes))
    prompts_.ShowError(this, QString(kSaveFileError));
}

void MainWindow::JoinScanThread() {
  if (scanThread_.joinable()) scanThread_.join();
}

void MainWindow::JoinSaveThread() {
  if (saveThread_.joinable()) saveThread_.join();
}

// --- window events -----------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  if (scanThread_.joinable()) {
    if (prompts_.AskYesNo(this, QString(kCloseWhileScanningQuestion))) {
      event->ignore();
      return;
    }
    status_.stopRequested = true;
    commands_.StopConfirmed();
    ApplyCommandStates();
    // The scan posts its reports and never waits for this thread, so it ends on its own.
    JoinScanThread();
  }
  if (status_.unsavedMails.load() &&
      prompts_.AskOkCancel(this, QString(kCloseWithUnsavedQuestion))) {
    event->ignore();
    return;
  }
  if (saveThread_.joinable()) {
    status_.stopRequested = true;
    JoinSaveThread();
  }
  event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The tree column never takes more than half the window.
  leftColumn_->setMaximumWidth(std::max(kLeftPaneMinimum, width() / 2));
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  windowMenu_->popup(event->globalPos());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  TrackAttributeKeys(event);
  // F3 and F2 in the list repeat the last find, once there is one.
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F3 || key == Qt::Key_F2) {
      if (model_->rowCount() > 0 && !findSettings_.text.empty())
        Find(key == Qt::Key_F3 ? FindDirection::Next : FindDirection::Previous);
      return true;
    }
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
