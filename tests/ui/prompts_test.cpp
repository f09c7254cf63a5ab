// The desktop's side of the prompts: the message boxes carry the texts, icons, buttons and
// default buttons the window asks for, and the save-folder dialog shows its warning in red.
#include "ui/prompts.h"

#include <QAbstractButton>
#include <QCheckBox>
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
    QTest::addColumn<int>("safe");
    const int first = static_cast<int>(SafeAnswer::First);
    const int second = static_cast<int>(SafeAnswer::Second);
    QTest::newRow("Yes") << true << true << second;
    QTest::newRow("No") << true << false << second;
    QTest::newRow("OK") << false << true << first;
    QTest::newRow("Cancel") << false << false << first;
  }

  void Questions() {
    QFETCH(bool, yesNo);
    QFETCH(bool, pressFirst);
    QFETCH(int, safe);
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
    const auto safeAnswer = static_cast<SafeAnswer>(safe);
    const bool answer =
        yesNo ? prompts.AskYesNo(nullptr, QString(kRescanQuestion), safeAnswer)
              : prompts.AskOkCancel(nullptr, QString(kCloseWithUnsavedQuestion), safeAnswer);
    QCOMPARE(answer, pressFirst);
    QCOMPARE(shownIcon, QMessageBox::Question);
    QCOMPARE(shownButtons, QMessageBox::StandardButtons(first | second));
    QVERIFY(firstButton && defaultButton == firstButton);
    QCOMPARE(shownText,
             ForDisplay(yesNo ? QString(kRescanQuestion) : QString(kCloseWithUnsavedQuestion)));
    QVERIFY(!shownText.contains(u'\r'));
    QVERIFY(screenshotSaved);
  }

  // Esc and the question's own close button give the answer that loses nothing, whichever
  // button that is; they never give the other one.
  void EscapeAndCloseGiveTheSafeAnswer_data() {
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<int>("safe");
    QTest::addColumn<bool>("escape");  // false: the box's close button
    QTest::addColumn<bool>("answer");
    const int first = static_cast<int>(SafeAnswer::First);
    const int second = static_cast<int>(SafeAnswer::Second);
    QTest::newRow("close question, Esc keeps the window") << false << first << true << true;
    QTest::newRow("close question, close button keeps it") << false << first << false << true;
    QTest::newRow("scanning question, Esc scans on") << true << first << true << true;
    QTest::newRow("re-scan question, Esc keeps the results") << true << second << true << false;
    QTest::newRow("stop question, close button goes on") << true << second << false << false;
  }

  void EscapeAndCloseGiveTheSafeAnswer() {
    QFETCH(bool, yesNo);
    QFETCH(int, safe);
    QFETCH(bool, escape);
    QFETCH(bool, answer);
    WhenModal<QMessageBox>([escape](QMessageBox* box) {
      if (escape)
        QTest::keyClick(box, Qt::Key_Escape);
      else
        box->close();
    });
    DesktopPrompts prompts;
    const auto safeAnswer = static_cast<SafeAnswer>(safe);
    const bool given =
        yesNo ? prompts.AskYesNo(nullptr, QString(kCloseWhileScanningQuestion), safeAnswer)
              : prompts.AskOkCancel(nullptr, QString(kCloseWithUnsavedQuestion), safeAnswer);
    QCOMPARE(given, answer);
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
      // The folder shown is the answer of an empty name field; selecting the folder by its path
      // would go through the name field, which the dialog leaves alone while it has the focus.
      dialog->setDirectory(folder.path());
      static_cast<QDialog*>(dialog)->accept();  // public as a QDialog
    });
    DesktopPrompts prompts;
    const QString chosen = prompts.ChooseSaveFolder(nullptr).folder;
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

  // The report check box answers with the folder, and starts the next time as it was left.
  void SaveFolderDialogOffersTheReport() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    DesktopPrompts prompts;
    QList<bool> shownChecked;
    for (const bool tick : {true, false}) {
      WhenModal<QFileDialog>([&, tick](QFileDialog* dialog) {
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("saveReportCheck"));
        shownChecked << (box && box->isChecked());
        if (box) box->setChecked(tick);
        dialog->setDirectory(folder.path());
        static_cast<QDialog*>(dialog)->accept();
      });
      const SaveFolderChoice choice = prompts.ChooseSaveFolder(nullptr);
      QCOMPARE(QDir(choice.folder), QDir(folder.path()));
      QCOMPARE(choice.report, tick);
    }
    QCOMPARE(shownChecked, (QList<bool>{false, true}));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::PromptsTest)
#include "prompts_test.moc"
