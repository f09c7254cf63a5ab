// The main window's construction: its controls, their layout and its menus. The views live in
// main_window_views.cpp, the commands in main_window_commands.cpp.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "scan/scan_driver.h"
#include "ui/help_page.h"
#include "ui/icons.h"
#include "ui/link_label.h"
#include "ui/list_filter_bar.h"
#include "ui/mail_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/main_window_p.h"
#include "ui/preview_view.h"
#include "ui/prompts.h"
#include "ui/skinned_button.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

constexpr int kDataDialogDelayMilliseconds = 500;
constexpr int kLeftPaneMinimum = 200;
constexpr int kRightPaneMinimum = 300;
constexpr int kSplitterBarWidth = 5;

}  // namespace

MainWindow::MainWindow(Prompts& prompts, MainWindowOptions options, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      options_(std::move(options)),
      scanEvents_(this, *this),
      saveEvents_(this, *this) {
  if (!options_.scanStarter) {
    // A scan of the whole source, in the code page chosen when it starts.
    options_.scanStarter = [this](const std::string& sourceName, ScanStatus& status,
                                  FoundMails& mails, ScanObserver& observer) {
      ScanOptions scanOptions;
      scanOptions.ansiCodePage = render_.ansiCodePage;
      return StartScanThread(sourceName, scanOptions, status, mails, observer);
    };
  }
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QString(kWindowCaption));
  setWindowIcon(AppIcon());
  setMinimumSize(800, 600);
  resize(1100, 720);

  pendingTimer_ = new QTimer(this);
  pendingTimer_->setSingleShot(true);
  pendingTimer_->setInterval(kRowBatchMilliseconds);
  connect(pendingTimer_, &QTimer::timeout, this, &MainWindow::AddPendingRows);

  BuildControls();
  BuildMenus();
  auto* findShortcut = new QShortcut(QKeySequence::Find, this);
  connect(findShortcut, &QShortcut::activated, this, &MainWindow::FindCommand);
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
  connect(helpButton_, &QToolButton::clicked, this, &MainWindow::OpenGuide);
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
  siteLink->OpenWith([this](const QUrl&) {
    OpenGuide();
    return true;
  });
  auto* supportLink =
      new LinkLabel(QStringLiteral("support@quillon.example.org"), QUrl(QString(kSupportAddress)));
  supportLink->setObjectName(QStringLiteral("supportLink"));
  supportLink->OpenWith([this](const QUrl& target) { return prompts_.OpenExternal(target); });

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

  listSplitter_ = new QSplitter(Qt::Vertical);
  listSplitter_->setObjectName(QStringLiteral("listSplitter"));
  listSplitter_->setHandleWidth(kSplitterBarWidth);
  listSplitter_->setChildrenCollapsible(false);
  listSplitter_->setMinimumWidth(kRightPaneMinimum);
  listSplitter_->addWidget(BuildListPane());
  RecreatePreview();
  listSplitter_->setStretchFactor(0, 2);
  listSplitter_->setStretchFactor(1, 3);
  listSplitter_->setSizes({330, 370});

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

QWidget* MainWindow::BuildListPane() {
  filterBar_ = new ListFilterBar;
  connect(filterBar_, &ListFilterBar::filterChanged, this, [this](const QString& text) {
    KeepingSelection([this, &text] {
      WaitCursor wait;
      model_->SetQuickFilter(text);
    });
    UpdateCounts();
    if (preview_) preview_->HighlightText(text);
  });
  connect(filterBar_, &ListFilterBar::hideDuplicatesChanged, this, [this](bool hide) {
    KeepingSelection([this, hide] {
      WaitCursor wait;
      model_->SetHideDuplicates(hide);
    });
    UpdateCounts();
  });

  model_ = new MailListModel(this);
  list_ = new MailListView;
  list_->setObjectName(QStringLiteral("mailList"));
  list_->setModel(model_);
  list_->SetUpColumns();
  list_->setShowGrid(true);
  list_->setGridStyle(Qt::DotLine);
  list_->setAlternatingRowColors(true);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
  QHeaderView* header = list_->horizontalHeader();
  header->setHighlightSections(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  header->setStretchLastSection(true);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
    KeepingSelection([this, column] {
      WaitCursor wait;
      model_->SortByClick(column);
    });
  });
  // The mark follows the model: a click sets it, a folder listed anew clears it.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    list_->horizontalHeader()->setSortIndicator(model_->SortColumn(), model_->SortOrder());
  });
  for (int column = 0; column < MailListModel::ColumnCount; ++column)
    list_->setColumnWidth(column, DefaultColumnWidth(static_cast<MailListModel::Column>(column)));
  // The marks and a normalised date must fit whole, whatever the font.
  const QFontMetrics metrics = list_->fontMetrics();
  list_->setColumnWidth(MailListModel::MarksColumn,
                        std::max(DefaultColumnWidth(MailListModel::MarksColumn),
                                 metrics.horizontalAdvance(QStringLiteral("!&=^")) + 12));
  list_->setColumnWidth(
      MailListModel::DateColumn,
      std::max(DefaultColumnWidth(MailListModel::DateColumn),
               metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16));
  list_->setMinimumHeight(kListPaneMinimum);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { CurrentRowChanged(current.row()); });
  connect(list_, &QTableView::customContextMenuRequested, this, &MainWindow::ShowListMenu);

  auto* pane = new QWidget;
  pane->setObjectName(QStringLiteral("listPane"));
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(filterBar_);
  layout->addWidget(list_, 1);
  return pane;
}

void MainWindow::BuildMenus() {
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("mailListMenu"));
  QAction* saveMailEml = listMenu_->addAction(QString(kSaveEmlItem));
  saveMailEml->setObjectName(QStringLiteral("saveMailEmlAction"));
  listMenu_->addSeparator();
  QAction* saveMailTxt = listMenu_->addAction(QString(kSaveTxtItem));
  saveMailTxt->setObjectName(QStringLiteral("saveMailTxtAction"));
  connect(saveMailEml, &QAction::triggered, this, [this] { SaveSelectedMails(SaveFormat::Eml); });
  connect(saveMailTxt, &QAction::triggered, this, [this] { SaveSelectedMails(SaveFormat::Txt); });
  listMenu_->addSeparator();
  attachmentMenu_ = listMenu_->addMenu(QString(kSaveAttachmentItem));
  attachmentMenu_->setObjectName(QStringLiteral("attachmentMenu"));
  viewSourceAction_ = listMenu_->addAction(QString(kViewSourceItem));
  viewSourceAction_->setObjectName(QStringLiteral("viewSourceAction"));
  connect(viewSourceAction_, &QAction::triggered, this, [this] {
    if (const MailRecordPtr record = SelectedRecord()) ViewSource(record);
  });
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
  folderMenu_->addSeparator();
  saveFolderMbox_ = folderMenu_->addAction(QString(kSaveMboxItem));
  saveFolderMbox_->setObjectName(QStringLiteral("saveFolderMboxAction"));
  connect(saveFolderEml_, &QAction::triggered, this, [this] { StartFolderSave(SaveFormat::Eml); });
  connect(saveFolderMbox_, &QAction::triggered, this,
          [this] { StartFolderSave(SaveFormat::Mbox); });
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
  saveFolderMbox_->setEnabled(!commands_.Busy());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The tree column never takes more than half the window.
  leftColumn_->setMaximumWidth(std::max(kLeftPaneMinimum, width() / 2));
}

}  // namespace quillon
