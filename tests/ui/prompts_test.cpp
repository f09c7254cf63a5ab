// The desktop's side of the prompts: the message boxes carry the texts, icons, buttons and
// default buttons the window asks for, and the save-folder dialog shows its warning in red.
#include "ui/prompts.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/look.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

// Runs `inspect` on the next modal dialog of that type, once it is up.
template <typename Dialog>
void WhenModal(std::function<void(Dialog*)> inspect) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll->stop();
    poll->deleteLater();
    inspect(dialog);
  });
  poll->start(10);
}

}  // namespace

class PromptsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ApplyQuillonLook(*qApp); }

  void Questions_data() {
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<bool>("pressFirst");
    QTest::newRow("Yes") << true << true;
    QTest::newRow("No") << true << false;
    QTest::newRow("OK") << false << true;
    QTest::newRow("Cancel") << false << false;
  }

  void Questions() {
    QFETCH(bool, yesNo);
    QFETCH(bool, pressFirst);
    const QMessageBox::StandardButton first = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const QMessageBox::StandardButton second = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons shownButtons;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* firstButton = nullptr;
    bool screenshotSaved = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      screenshotSaved = test::SaveTestScreenshot(*box, QStringLiteral("question"));
      shownText = box->text();
      shownIcon = box->icon();
      shownButtons = box->standardButtons();
      defaultButton = box->defaultButton();
      firstButton = box->button(first);
      box->button(pressFirst ? first : second)->click();
    });
    DesktopPrompts prompts;
    const bool answer = yesNo ? prompts.AskYesNo(nullptr, QString(kRescanQuestion))
                              : prompts.AskOkCancel(nullptr, QString(kCloseWithUnsavedQuestion));
    QCOMPARE(answer, pressFirst);
    QCOMPARE(shownIcon, QMessageBox::Question);
    QCOMPARE(shownButtons, QMessageBox::StandardButtons(first | second));
    QVERIFY(firstButton && defaultButton == firstButton);
    QCOMPARE(shownText,
             ForDisplay(yesNo ? QString(kRescanQuestion) : QString(kCloseWithUnsavedQuestion)));
    QVERIFY(!shownText.contains(u'\r'));
    QVERIFY(screenshotSaved);
  }

  void Reports_data() {
    QTest::addColumn<bool>("error");
    QTest::newRow("information") << false;
    QTest::newRow("error") << true;
  }

  void Reports() {
    QFETCH(bool, error);
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons shownButtons;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      shownIcon = box->icon();
      shownButtons = box->standardButtons();
      box->button(QMessageBox::Ok)->click();
    });
    DesktopPrompts prompts;
    if (error)
      prompts.ShowError(nullptr, QString(kSaveFileError));
    else
      prompts.ShowInformation(nullptr, QStringLiteral("Saved 3 mails!"));
    QCOMPARE(shownIcon, error ? QMessageBox::Warning : QMessageBox::Information);
    QCOMPARE(shownButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  // A window title holds one line: the whole warning stands in red inside the dialog.
  void SaveFolderDialogWarnsInRed_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
  }

  void SaveFolderDialogWarnsInRed() {
    QFETCH(bool, accept);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QString title;
    QString warning;
    QColor warningColour;
    bool foldersOnly = false;
    bool screenshotSaved = false;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      title = dialog->windowTitle();
      foldersOnly = dialog->fileMode() == QFileDialog::Directory;
      if (const auto* label = dialog->findChild<QLabel*>(QStringLiteral("saveFolderWarning"))) {
        warning = label->text();
        warningColour = label->palette().color(label->foregroundRole());
      }
      screenshotSaved = test::SaveTestScreenshot(*dialog, QStringLiteral("save-folder-dialog"));
      if (!accept) {
        dialog->reject();
        return;
      }
      dialog->setDirectory(folder.path());
      dialog->selectFile(folder.path());
      static_cast<QDialog*>(dialog)->accept();  // public as a QDialog
    });
    DesktopPrompts prompts;
    const QString chosen = prompts.ChooseSaveFolder(nullptr);
    QCOMPARE(title, QStringLiteral("Please select a directory to save mail."));
    QCOMPARE(warning, QStringLiteral("Please select a directory to save mail.\nDo not save to the "
                                     "drive that is same as source drive."));
    QCOMPARE(warningColour, QColor(255, 0, 0));
    QVERIFY(foldersOnly);
    QVERIFY(screenshotSaved);
    if (accept)
      QCOMPARE(QDir(chosen), QDir(folder.path()));
    else
      QVERIFY(chosen.isEmpty());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::PromptsTest)
#include "prompts_test.moc"
