#include "ui/data_source_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "text/code_page.h"
#include "ui/icons.h"
#include "ui/prompts.h"
#include "ui/skinned_button.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

constexpr int kSourceIndexRole = Qt::UserRole;

}  // namespace

DataSourceDialog::DataSourceDialog(Prompts& prompts, const std::vector<SourceEntry>& sources,
                                   SourceDialogSession& session, QWidget* parent)
    : QDialog(parent), prompts_(prompts), session_(session) {
  setObjectName(QStringLiteral("dataSourceDialog"));
  setWindowTitle(QString(kDataDialogCaption));
  setWindowIcon(AppIcon());

  auto* prompt = new QLabel(ForDisplay(QString(kDataDialogPrompt)), this);
  prompt->setObjectName(QStringLiteral("sourcePrompt"));
  auto* openFile = new SkinnedPushButton(QStringLiteral("Open a &File"), this);
  openFile->setObjectName(QStringLiteral("openFileButton"));
  openFile->setAutoDefault(false);

  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("sourceTree"));
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setUniformRowHeights(true);
  tree_->setIconSize(QSize(16, 16));

  okButton_ = new SkinnedPushButton(QStringLiteral("&OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  auto* cancel = new SkinnedPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setAutoDefault(false);

  auto* top = new QHBoxLayout;
  top->addWidget(prompt, 1);
  top->addWidget(openFile, 0, Qt::AlignBottom);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(BuildCodePageChoice());
  bottom->addStretch(1);
  bottom->addWidget(okButton_);
  bottom->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(10);
  layout->addLayout(top);
  layout->addWidget(tree_, 1);
  layout->addLayout(bottom);
  resize(560, 380);

  QApplication::setOverrideCursor(Qt::WaitCursor);
  BuildTree(sources);
  QApplication::restoreOverrideCursor();

  connect(tree_, &QTreeWidget::currentItemChanged, this, &DataSourceDialog::UpdateOkButton);
  connect(tree_, &QTreeWidget::itemSelectionChanged, this, &DataSourceDialog::UpdateOkButton);
  connect(openFile, &QPushButton::clicked, this, &DataSourceDialog::OpenFile);
  connect(okButton_, &QPushButton::clicked, this, &DataSourceDialog::AcceptChoice);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  UpdateOkButton();
}

void DataSourceDialog::BuildTree(const std::vector<SourceEntry>& sources) {
  localDriveGroup_ = new QTreeWidgetItem(tree_, QStringList(QString(kLocalDriveGroup)));
  localDriveGroup_->setIcon(0, SourceIcon(static_cast<int>(SourceIconKind::Disk)));
  localDriveGroup_->setData(0, kSourceIndexRole, 0);
  for (const SourceEntry& entry : sources) {
    AddSourceItem(localDriveGroup_, QString::fromStdString(entry.label),
                  static_cast<int>(entry.icon), entry.name);
  }
  localDriveGroup_->setExpanded(true);
  tree_->setCurrentItem(localDriveGroup_);

  imageFileGroup_ = new QTreeWidgetItem(tree_, QStringList(QString(kImageFileGroup)));
  imageFileGroup_->setIcon(0, SourceIcon(static_cast<int>(SourceIconKind::ImageFile)));
  imageFileGroup_->setData(0, kSourceIndexRole, 0);
  // Files opened before, as far as they still open; none is selected.
  for (const QString& path : session_.recentFiles.Files()) {
    const std::string name = path.toStdString();
    if (const auto label = ImageFileLabel(name)) {
      AddImageFile(name, *label);
      imageFileGroup_->setExpanded(true);
    }
  }
}

QWidget* DataSourceDialog::BuildCodePageChoice() {
  auto* choice = new QWidget(this);
  auto* label = new QLabel(QStringLiteral("Code &page:"), choice);
  codePageBox_ = new QComboBox(choice);
  codePageBox_->setObjectName(QStringLiteral("codePageBox"));
  codePageBox_->setToolTip(
      QStringLiteral("The code page of header and body text that names no "
                     "charset; it applies to the scan started with OK"));
  label->setBuddy(codePageBox_);
  for (const CodePageChoice& page : AnsiCodePageChoices()) {
    codePageBox_->addItem(
        QStringLiteral("%1 (%2)")
            .arg(page.codePage)
            .arg(QString::fromLatin1(page.name.data(), static_cast<qsizetype>(page.name.size()))),
        page.codePage);
  }
  // A page from the environment that the table does not name is still offered.
  const int current = session_.codePage.Value();
  if (codePageBox_->findData(current) < 0)
    codePageBox_->insertItem(0, QString::number(current), current);
  codePageBox_->setCurrentIndex(codePageBox_->findData(current));
  auto* row = new QHBoxLayout(choice);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(label);
  row->addWidget(codePageBox_);
  return choice;
}

int DataSourceDialog::ChosenCodePage() const {
  return codePageBox_->currentData().toInt();
}

void DataSourceDialog::AddImageFile(const std::string& path, const std::string& label) {
  AddSourceItem(imageFileGroup_, QString::fromStdString(label),
                static_cast<int>(SourceIconKind::ImageFile), path);
}

QTreeWidgetItem* DataSourceDialog::AddSourceItem(QTreeWidgetItem* group, const QString& label,
                                                 int iconKind, std::string name) {
  auto* item = new QTreeWidgetItem(group, QStringList(label));
  item->setIcon(0, SourceIcon(iconKind));
  item->setData(0, kSourceIndexRole, sources_.Add(std::move(name)));
  return item;
}

void DataSourceDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (session_.missingDrivesReported || localDriveGroup_->childCount() > 0) return;
  session_.missingDrivesReported = true;
  // Told once the dialog is on screen, so that the message stands in front of it.
  QTimer::singleShot(0, this, [this] {
    prompts_.ShowInformation(this, MissingDrivesMessage(session_.explainMissingDrives()));
  });
}

int DataSourceDialog::SelectedIndex() const {
  const QTreeWidgetItem* item = tree_->currentItem();
  if (!item || !item->isSelected()) return 0;
  return item->data(0, kSourceIndexRole).toInt();
}

void DataSourceDialog::UpdateOkButton() {
  okButton_->setEnabled(sources_.IsChoosable(SelectedIndex()));
}

void DataSourceDialog::OpenFile() {
  const QString path = prompts_.ChooseImageFile(this);
  if (path.isEmpty()) return;
  const std::string name = path.toStdString();
  std::string error;
  const auto label = ImageFileLabel(name, &error);
  // Unreadable or empty files are not offered, without a word; an image that cannot be read
  // whole (a segment missing) is named with the reason.
  if (!label && !error.empty()) {
    prompts_.ShowError(this, QString(kSourceOpenError).arg(path, QString::fromStdString(error)));
  }
  if (!label) return;
  AddImageFile(name, *label);
  session_.recentFiles.Remember(path);
  imageFileGroup_->setExpanded(true);
  tree_->setCurrentItem(imageFileGroup_->child(imageFileGroup_->childCount() - 1));
}

void DataSourceDialog::AcceptChoice() {
  const int index = SelectedIndex();
  if (!sources_.IsChoosable(index)) return;
  const std::string name = sources_.NameAt(index);
  std::string error;
  if (!ProbeSource(name, error)) {
    prompts_.ShowError(
        this,
        QString(kSourceOpenError).arg(QString::fromStdString(name), QString::fromStdString(error)));
    return;
  }
  chosenSourceName_ = name;
  session_.codePage.Remember(ChosenCodePage());
  accept();
}

}  // namespace quillon
