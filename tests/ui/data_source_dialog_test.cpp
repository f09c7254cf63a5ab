// The data-source dialog: its tree, when OK can be pressed, adding files and accepting a source.
#include "ui/data_source_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>

#include "source/data_source.h"
#include "source/source_enumeration.h"
#include "ui/look.h"
#include "ui/source_dialog_session.h"
#include "ui/source_list.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

struct DialogParts {
  QTreeWidget* tree;
  QPushButton* ok;
  QPushButton* openFile;
  QTreeWidgetItem* localDrive;
  QTreeWidgetItem* imageFile;
};

DialogParts PartsOf(DataSourceDialog& dialog) {
  DialogParts parts{dialog.findChild<QTreeWidget*>(QStringLiteral("sourceTree")),
                    dialog.findChild<QPushButton*>(QStringLiteral("okButton")),
                    dialog.findChild<QPushButton*>(QStringLiteral("openFileButton")), nullptr,
                    nullptr};
  if (parts.tree && parts.tree->topLevelItemCount() == 2) {
    parts.localDrive = parts.tree->topLevelItem(0);
    parts.imageFile = parts.tree->topLevelItem(1);
  }
  return parts;
}

void WriteBytes(const QString& path, std::size_t size) {
  std::ofstream(path.toStdString(), std::ios::binary) << std::string(size, 'x');
}

}  // namespace

class DataSourceDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ApplyQuillonLook(*qApp);
    QVERIFY(directory_.isValid());
    image_ = directory_.path() + QStringLiteral("/disk.img");
    WriteBytes(image_, 3000 * 512);
  }

  void SourceListIndices_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("choosable");
    QTest::newRow("placeholder") << 0 << false;
    QTest::newRow("first source") << 1 << true;
    QTest::newRow("last source") << 2 << true;
    QTest::newRow("past the end") << 3 << false;
    QTest::newRow("negative") << -1 << false;
  }

  void SourceListIndices() {
    QFETCH(int, index);
    QFETCH(bool, choosable);
    SourceList list;
    QCOMPARE(list.Add("HD0"), 1);
    QCOMPARE(list.Add("/tmp/a.img"), 2);
    QCOMPARE(list.IsChoosable(index), choosable);
    QCOMPARE(list.NameAt(index).empty(), !choosable);
  }

  void TextsAndStart() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(
        prompts, {SourceEntry{image_.toStdString(), "sdz1  (1.46M)", SourceIconKind::Drive}},
        session);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select data to scan Outlook Express & Foxmail"));
    const auto* prompt = dialog.findChild<QLabel*>(QStringLiteral("sourcePrompt"));
    QVERIFY(prompt);
    QCOMPARE(prompt->text(),
             QStringLiteral("Please select the source.\nCan be a file or a drive or a hard disk."));
    const DialogParts parts = PartsOf(dialog);
    QVERIFY(parts.localDrive && parts.imageFile);
    QCOMPARE(parts.openFile->text(), QStringLiteral("Open a &File"));
    QCOMPARE(parts.ok->text(), QStringLiteral("&OK"));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
             QStringLiteral("&Cancel"));
    QCOMPARE(parts.localDrive->text(0), QStringLiteral("Local Drive"));
    QCOMPARE(parts.imageFile->text(0), QStringLiteral("Image File"));
    QCOMPARE(parts.localDrive->childCount(), 1);
    QCOMPARE(parts.localDrive->child(0)->text(0), QStringLiteral("sdz1  (1.46M)"));
    QVERIFY(parts.localDrive->isExpanded());
    // "Local Drive" starts selected, and a group is not a source.
    QCOMPARE(parts.tree->currentItem(), parts.localDrive);
    QVERIFY(!parts.ok->isEnabled());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(20);
    QVERIFY2(prompts.calls.isEmpty(), qPrintable(prompts.calls.join(u'|')));
    QVERIFY(test::SaveTestScreenshot(dialog, QStringLiteral("data-source-dialog")));
  }

  void OkFollowsTheSelection_data() {
    QTest::addColumn<QString>("select");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("drive") << QStringLiteral("drive") << true;
    QTest::newRow("Local Drive group") << QStringLiteral("localDrive") << false;
    QTest::newRow("Image File group") << QStringLiteral("imageFile") << false;
    QTest::newRow("nothing") << QStringLiteral("none") << false;
  }

  void OkFollowsTheSelection() {
    QFETCH(QString, select);
    QFETCH(bool, enabled);
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(
        prompts, {SourceEntry{image_.toStdString(), "sdz1  (1.46M)", SourceIconKind::Drive}},
        session);
    const DialogParts parts = PartsOf(dialog);
    QTreeWidgetItem* drive = parts.localDrive->child(0);
    parts.tree->setCurrentItem(drive);  // from a state where OK is on
    QVERIFY(parts.ok->isEnabled());
    if (select == QLatin1String("drive")) parts.tree->setCurrentItem(drive);
    if (select == QLatin1String("localDrive")) parts.tree->setCurrentItem(parts.localDrive);
    if (select == QLatin1String("imageFile")) parts.tree->setCurrentItem(parts.imageFile);
    if (select == QLatin1String("none")) parts.tree->clearSelection();
    QCOMPARE(parts.ok->isEnabled(), enabled);
  }

  // Without any drive or disk, the user is told once, and can still add a file.
  void NoDriveIsReported() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    session.explainMissingDrives = [] { return MissingDrivesReason::NoPermission; };
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    QCOMPARE(parts.localDrive->childCount(), 0);
    dialog.show();
    QTRY_COMPARE(prompts.calls.size(), 1);
    QCOMPARE(prompts.calls.at(0), QStringLiteral("info:") + QString(kNoDrivesMessage));
    QVERIFY(prompts.calls.at(0).contains(QStringLiteral("Open a File")));
    dialog.hide();
    dialog.show();
    QTest::qWait(20);
    QCOMPARE(prompts.calls.size(), 1);

    prompts.files.push_back(image_);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    QCOMPARE(parts.imageFile->childCount(), 1);
    QVERIFY(parts.ok->isEnabled());
  }

  // The message says why no drive is offered: none is there, or they need more rights.
  void MissingDrivesSayWhy_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("message");
    QTest::newRow("none found") << static_cast<int>(MissingDrivesReason::NoneFound)
                                << QString(kNoDrivesFoundMessage);
    QTest::newRow("no permission")
        << static_cast<int>(MissingDrivesReason::NoPermission) << QString(kNoDrivesMessage);
  }

  void MissingDrivesSayWhy() {
    QFETCH(int, reason);
    QFETCH(QString, message);
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    session.explainMissingDrives = [reason] { return static_cast<MissingDrivesReason>(reason); };
    DataSourceDialog dialog(prompts, {}, session);
    dialog.show();
    QTRY_COMPARE(prompts.calls, QStringList{QStringLiteral("info:") + message});
  }

  // Once told, the session does not tell again, however often the dialog opens; drives that are
  // there need no word at all.
  void MissingDrivesAreToldOncePerSession() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    session.explainMissingDrives = [] { return MissingDrivesReason::NoneFound; };
    for (int opening = 0; opening < 3; ++opening) {
      DataSourceDialog dialog(prompts, {}, session);
      dialog.show();
      QTest::qWait(30);
    }
    QCOMPARE(prompts.calls.size(), 1);
    SourceDialogSession withDrives;
    DataSourceDialog dialog(
        prompts, {SourceEntry{image_.toStdString(), "sdz1", SourceIconKind::Drive}}, withDrives);
    dialog.show();
    QTest::qWait(30);
    QCOMPARE(prompts.calls.size(), 1);
    QVERIFY(!withDrives.missingDrivesReported);
  }

  void OpenErrorsTellTheReason_data() {
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<int>("reason");
    const int none = static_cast<int>(MissingDrivesReason::NoneFound);
    const int rights = static_cast<int>(MissingDrivesReason::NoPermission);
    QTest::newRow("no disk at all") << QStringList{} << none;
    QTest::newRow("no device nodes")
        << QStringList{QStringLiteral("No such file or directory"), QStringLiteral("no such disk")}
        << none;
    QTest::newRow("refused") << QStringList{QStringLiteral("no such disk"),
                                            QStringLiteral("Permission denied")}
                             << rights;
    QTest::newRow("not permitted")
        << QStringList{QStringLiteral("Operation not permitted")} << rights;
  }

  void OpenErrorsTellTheReason() {
    QFETCH(QStringList, errors);
    QFETCH(int, reason);
    std::vector<std::string> texts;
    for (const QString& error : errors) texts.push_back(error.toStdString());
    QCOMPARE(static_cast<int>(ClassifyOpenErrors(texts)), reason);
  }

  // Image files opened before are offered again in the next run, as long as they still open;
  // none of them is selected.
  void RecentFilesAreOfferedAgain() {
    QTemporaryDir settingsFolder;
    const QString settingsPath = settingsFolder.path() + QStringLiteral("/quillon.conf");
    const QString gone = directory_.path() + QStringLiteral("/gone.img");
    WriteBytes(gone, 4 * 512);
    {
      QSettings settings(settingsPath, QSettings::IniFormat);
      SourceDialogSession session(&settings);
      test::ScriptedPrompts prompts;
      DataSourceDialog dialog(prompts, {}, session);
      prompts.files = {gone, image_};
      const DialogParts parts = PartsOf(dialog);
      QTest::mouseClick(parts.openFile, Qt::LeftButton);
      QTest::mouseClick(parts.openFile, Qt::LeftButton);
      QCOMPARE(session.recentFiles.Files(), (QStringList{image_, gone}));
    }
    QVERIFY(QFile::remove(gone));
    QSettings settings(settingsPath, QSettings::IniFormat);
    SourceDialogSession nextRun(&settings);
    test::ScriptedPrompts prompts;
    DataSourceDialog dialog(prompts, {}, nextRun);
    const DialogParts parts = PartsOf(dialog);
    QCOMPARE(parts.imageFile->childCount(), 1);
    QVERIFY(parts.imageFile->child(0)->text(0).startsWith(image_));
    QVERIFY(parts.imageFile->isExpanded());
    QCOMPARE(parts.tree->currentItem(), parts.localDrive);
    parts.tree->setCurrentItem(parts.imageFile->child(0));
    QVERIFY(parts.ok->isEnabled());
    QTest::mouseClick(parts.ok, Qt::LeftButton);
    QCOMPARE(dialog.ChosenSourceName(), image_.toStdString());
  }

  // The code page of text without a charset: the environment's at first (the tests run with
  // 1252), every page the converter has on offer, and the one chosen on OK remembered for the
  // next run; Cancel and a page stored that no longer converts change nothing.
  void CodePageChoice_data() {
    QTest::addColumn<int>("stored");  // in the settings before the dialog opens; 0: none
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("shownFirst");
    QTest::addColumn<int>("nextRun");
    QTest::newRow("FirstRunTakesTheEnvironments") << 0 << 1251 << true << 1252 << 1251;
    QTest::newRow("StoredPageIsShown") << 932 << 1253 << true << 932 << 1253;
    QTest::newRow("CancelKeepsTheStoredPage") << 932 << 1253 << false << 932 << 932;
    QTest::newRow("PageWithoutConverterFallsBack") << 12345 << 1252 << true << 1252 << 1252;
  }

  void CodePageChoice() {
    QFETCH(int, stored);
    QFETCH(int, chosen);
    QFETCH(bool, accepted);
    QFETCH(int, shownFirst);
    QFETCH(int, nextRun);
    QTemporaryDir settingsFolder;
    const QString settingsPath = settingsFolder.path() + QStringLiteral("/quillon.conf");
    if (stored) QSettings(settingsPath, QSettings::IniFormat).setValue("ansiCodePage", stored);
    {
      QSettings settings(settingsPath, QSettings::IniFormat);
      SourceDialogSession session(&settings);
      test::ScriptedPrompts prompts;
      prompts.files = {image_};
      DataSourceDialog dialog(prompts, {}, session);
      auto* box = dialog.findChild<QComboBox*>(QStringLiteral("codePageBox"));
      QVERIFY(box);
      QCOMPARE(box->currentData().toInt(), shownFirst);
      QCOMPARE(dialog.ChosenCodePage(), shownFirst);
      for (int page : {932, 936, 1250, 1251, 1252, 1253, 65001})
        QVERIFY2(box->findData(page) >= 0, qPrintable(QString::number(page)));
      QCOMPARE(box->findData(1200), -1);
      QVERIFY(box->itemText(box->findData(1251)).contains(QStringLiteral("1251")));
      box->setCurrentIndex(box->findData(chosen));
      QCOMPARE(dialog.ChosenCodePage(), chosen);
      const DialogParts parts = PartsOf(dialog);
      QTest::mouseClick(parts.openFile, Qt::LeftButton);
      if (accepted)
        QTest::mouseClick(parts.ok, Qt::LeftButton);
      else
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
      QCOMPARE(dialog.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(session.codePage.Value(), accepted ? chosen : shownFirst);
    }
    QSettings settings(settingsPath, QSettings::IniFormat);
    SourceDialogSession nextRunSession(&settings);
    QCOMPARE(nextRunSession.codePage.Value(), nextRun);
  }

  void RecentFilesKeepTheNewestEight() {
    RecentImageFiles recent;
    for (int file = 0; file < 10; ++file) recent.Remember(QStringLiteral("/img/%1.img").arg(file));
    QCOMPARE(recent.Files().size(), RecentImageFiles::kMaximum);
    QCOMPARE(recent.Files().constFirst(), QStringLiteral("/img/9.img"));
    QCOMPARE(recent.Files().constLast(), QStringLiteral("/img/2.img"));
    recent.Remember(QStringLiteral("/img/5.img"));
    QCOMPARE(recent.Files().constFirst(), QStringLiteral("/img/5.img"));
    QCOMPARE(recent.Files().size(), RecentImageFiles::kMaximum);
    QCOMPARE(recent.Files().count(QStringLiteral("/img/5.img")), 1);
  }

  void AddingFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("added");
    QTest::newRow("image") << QStringLiteral("disk.img") << 1;
    QTest::newRow("zero-length") << QStringLiteral("empty.img") << 0;
    QTest::newRow("one byte is one sector") << QStringLiteral("tiny.dbx") << 1;
    QTest::newRow("missing") << QStringLiteral("missing.img") << 0;
    QTest::newRow("a folder") << QStringLiteral(".") << 0;
    QTest::newRow("cancelled") << QString() << 0;
  }

  void AddingFiles() {
    QFETCH(QString, file);
    QFETCH(int, added);
    WriteBytes(directory_.path() + QStringLiteral("/empty.img"), 0);
    WriteBytes(directory_.path() + QStringLiteral("/tiny.dbx"), 1);
    const QString path = file.isEmpty() ? QString() : directory_.path() + u'/' + file;
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    prompts.files.push_back(path);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    QCOMPARE(parts.imageFile->childCount(), added);
    QVERIFY(!prompts.calls.join(u'|').contains(QStringLiteral("error:")));
    if (!added) return;
    QTreeWidgetItem* item = parts.imageFile->child(0);
    QCOMPARE(parts.tree->currentItem(), item);
    QVERIFY(parts.ok->isEnabled());
    DataSource probe;
    QVERIFY(probe.Open(path.toStdString()));
    QCOMPARE(item->text(0),
             QString::fromStdString(FormatSourceLabel(path.toStdString(), probe.TotalSectors())));
  }

  // A file holding a disk image says what it holds; one that cannot be read whole says why.
  void AddingImageContainers_data() {
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("error");
    QTest::newRow("split raw") << QStringList{"set.001", "set.002", "set.003"}
                               << QStringLiteral(" [split raw, 3 pieces]  (0.00M)") << QString();
    QTest::newRow("piece missing")
        << QStringList{"gap.001", "gap.003"} << QString()
        << QStringLiteral("piece gap.002 of the split image is missing (gap.003 comes after it)");
  }

  void AddingImageContainers() {
    QFETCH(QStringList, pieces);
    QFETCH(QString, label);
    QFETCH(QString, error);
    for (const QString& piece : pieces) WriteBytes(directory_.path() + u'/' + piece, 1024);
    const QString path = directory_.path() + u'/' + pieces.first();
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    prompts.files.push_back(path);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    if (error.isEmpty()) {
      QCOMPARE(parts.imageFile->childCount(), 1);
      QCOMPARE(parts.imageFile->child(0)->text(0), path + label);
      QCOMPARE(prompts.calls, QStringList{QStringLiteral("image")});
    } else {
      QCOMPARE(parts.imageFile->childCount(), 0);
      QCOMPARE(prompts.calls, (QStringList{QStringLiteral("image"),
                                           QStringLiteral("error:") +
                                               QString(kSourceOpenError).arg(path, error)}));
    }
  }

  void SameFileTwiceGivesTwoItems() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    prompts.files = {image_, image_};
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    QCOMPARE(parts.imageFile->childCount(), 2);
    QCOMPARE(parts.imageFile->child(0)->text(0), parts.imageFile->child(1)->text(0));
    QCOMPARE(parts.tree->currentItem(), parts.imageFile->child(1));
  }

  void OkAcceptsASourceThatOpens() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    prompts.files.push_back(image_);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    dialog.show();
    QTest::mouseClick(parts.ok, Qt::LeftButton);
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(dialog.ChosenSourceName()), image_);
  }

  // A file removed after it was added: the user is told why, and the dialog stays.
  void OkRefusesASourceThatNoLongerOpens() {
    const QString doomed = directory_.path() + QStringLiteral("/doomed.img");
    WriteBytes(doomed, 4096);
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(prompts, {}, session);
    const DialogParts parts = PartsOf(dialog);
    prompts.files.push_back(doomed);
    QTest::mouseClick(parts.openFile, Qt::LeftButton);
    QVERIFY(QFile::remove(doomed));
    dialog.show();
    QTest::mouseClick(parts.ok, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.ChosenSourceName().empty());
    QCOMPARE(prompts.calls.size(), 2);  // the file dialog, then the error
    std::string reason;
    QVERIFY(!ProbeSource(doomed.toStdString(), reason));
    QCOMPARE(prompts.calls.at(1),
             QStringLiteral("error:") +
                 QString(kSourceOpenError).arg(doomed, QString::fromStdString(reason)));
    QVERIFY(!reason.empty());
  }

  void CancelChoosesNothing() {
    test::ScriptedPrompts prompts;
    SourceDialogSession session;
    DataSourceDialog dialog(
        prompts, {SourceEntry{image_.toStdString(), "sdz1", SourceIconKind::Drive}}, session);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton")),
                      Qt::LeftButton);
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
    QVERIFY(dialog.ChosenSourceName().empty());
  }

 private:
  QTemporaryDir directory_;
  QString image_;
};

}  // namespace quillon

QTEST_MAIN(quillon::DataSourceDialogTest)
#include "data_source_dialog_test.moc"
