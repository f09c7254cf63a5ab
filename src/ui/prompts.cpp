#include "ui/prompts.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>

#include "source/source_enumeration.h"
#include "ui/about_dialog.h"
#include "ui/data_source_dialog.h"
#include "ui/find_dialog.h"
#include "ui/help_viewer.h"
#include "ui/source_dialog_session.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

bool AskQuestion(QWidget* parent, const QString& text, QMessageBox::StandardButton first,
                 QMessageBox::StandardButton second, SafeAnswer safe) {
  QMessageBox box(QMessageBox::Question, QString(kProductName), ForDisplay(text), first | second,
                  parent);
  box.setDefaultButton(first);
  // Esc and the close button of the box's title bar both give the escape button.
  box.setEscapeButton(safe == SafeAnswer::First ? first : second);
  box.exec();
  return box.clickedButton() == box.button(first);
}

void ShowReport(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QString(kProductName), ForDisplay(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

DesktopPrompts::DesktopPrompts() = default;

DesktopPrompts::~DesktopPrompts() = default;

bool DesktopPrompts::AskYesNo(QWidget* parent, const QString& text, SafeAnswer safe) {
  return AskQuestion(parent, text, QMessageBox::Yes, QMessageBox::No, safe);
}

bool DesktopPrompts::AskOkCancel(QWidget* parent, const QString& text, SafeAnswer safe) {
  return AskQuestion(parent, text, QMessageBox::Ok, QMessageBox::Cancel, safe);
}

void DesktopPrompts::ShowInformation(QWidget* parent, const QString& text) {
  ShowReport(parent, text, QMessageBox::Information);
}

void DesktopPrompts::ShowError(QWidget* parent, const QString& text) {
  ShowReport(parent, text, QMessageBox::Warning);
}

std::optional<SourceChoice> DesktopPrompts::ChooseSource(QWidget* parent) {
  // Made on first use, so that a run that never opens the dialog reads no settings.
  if (!session_) {
    settings_ = std::make_unique<QSettings>(QString(kProductName), QStringLiteral("quillon-gui"));
    session_ = std::make_unique<SourceDialogSession>(settings_.get());
  }
  DataSourceDialog dialog(*this, EnumerateSources(), *session_, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return SourceChoice{dialog.ChosenSourceName(), dialog.ChosenCodePage()};
}

QString DesktopPrompts::ChooseImageFile(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                      QString(kImageFileFilter) + QStringLiteral(";;") +
                                          QString(kForensicImageFilter) + QStringLiteral(";;") +
                                          QString(kAllFilesFilter));
}

SaveFolderChoice DesktopPrompts::ChooseSaveFolder(QWidget* parent) {
  // A window title holds one line; the whole warning is shown in red inside the dialog, which is
  // why this is Qt's own folder dialog and not the desktop's.
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const QString title = ForDisplay(QString(kSaveFolderTitle));
  QCheckBox* report = nullptr;
  dialog.setWindowTitle(title.section(QLatin1Char('\n'), 0, 0));
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    auto* warning = new QLabel(title, &dialog);
    warning->setObjectName(QStringLiteral("saveFolderWarning"));
    warning->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    warning->setWordWrap(true);
    grid->addWidget(warning, grid->rowCount(), 0, 1, grid->columnCount());
    report = new QCheckBox(QString(kSaveReportCheck), &dialog);
    report->setObjectName(QStringLiteral("saveReportCheck"));
    report->setChecked(saveReport_);
    grid->addWidget(report, grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  if (report) saveReport_ = report->isChecked();
  return {dialog.selectedFiles().constFirst(), saveReport_};
}

QString DesktopPrompts::ChooseSaveFile(QWidget* parent, const QString& defaultName,
                                       SaveFormat format) {
  const QString filter =
      format == SaveFormat::Eml ? QString(kEmlFileFilter) : QString(kTxtFileFilter);
  return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), defaultName, filter);
}

QString DesktopPrompts::ChooseAttachmentFile(QWidget* parent, const QString& defaultName) {
  return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Attachment"), defaultName,
                                      QString(kAllFilesFilter));
}

std::optional<FindSettings> DesktopPrompts::ChooseFindSettings(QWidget* parent,
                                                               const FindSettings& current) {
  FindDialog dialog(*this, current, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

void DesktopPrompts::ShowAbout(QWidget* parent) {
  AboutDialog dialog(*this, parent);
  dialog.exec();
}

bool DesktopPrompts::OpenExternal(const QUrl& url) {
  // The desktop hands a page to its opener program even when no browser is there to show it,
  // and reports success: without a browser the page is not handed over at all.
  if (ShowsInBrowser(url) && !WebBrowserInstalled()) return false;
  return QDesktopServices::openUrl(url);
}

void DesktopPrompts::ShowGuide(QWidget* parent, const QUrl& page) {
  HelpViewer viewer(
      page, [this](const QUrl& url) { return OpenExternal(url); }, parent);
  viewer.exec();
}

}  // namespace quillon
