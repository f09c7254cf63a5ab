// The real main window, driven by its object names: a scan of an image of our own mails, the
// button states at each stage, the mail views, the preview, saving, and the questions of the
// stop, re-scan and close flows (answered by a script).
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "output/file_naming.h"
#include "ui/help_page.h"
#include "ui/look.h"
#include "ui/mail_find.h"
#include "ui/mail_list_model.h"
#include "ui/preview_view.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

// The state-table columns, in the order Data, Save, Stop, Find.
struct Buttons {
  bool data, save, stop, find;
};

QString Describe(const Buttons& buttons) {
  return QStringLiteral("data=%1 save=%2 stop=%3 find=%4")
      .arg(buttons.data)
      .arg(buttons.save)
      .arg(buttons.stop)
      .arg(buttons.find);
}

// The entries a menu shows: texts, "-" for separators; hidden ones left out.
QStringList MenuEntries(const QMenu* menu) {
  QStringList entries;
  for (const QAction* entry : menu->actions()) {
    if (entry->isVisible()) entries << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
  }
  return entries;
}

// The list menu: the two saves, then saving an attachment and the mail's source.
const QStringList kListMenu{
    QStringLiteral("Save as EML format file"), QStringLiteral("-"),
    QStringLiteral("Save as TXT format file"), QStringLiteral("-"),
    QStringLiteral("Save attachment"),         QStringLiteral("View source")};

QByteArray ReadAll(const QString& path) {
  if (path.isEmpty()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir directory_;
  std::string image_;
  std::vector<test::SampleMailText> mails_;
  qulonglong imageSectors_ = 0;

  // What an .eml file holds: the mail from its first header line on, as it lies on the disk.
  QByteArray EmlBytes(std::size_t mail) const {
    return QByteArray::fromStdString(mails_[mail].bytes);
  }
  // The part every saved copy holds: from the first trace line on. (A mail at the very start of
  // the image is read back from its trace line only.)
  QByteArray TraceOnwards(std::size_t mail) const {
    const QByteArray bytes = EmlBytes(mail);
    return bytes.mid(bytes.indexOf("Received: "));
  }

  // One window with its script; a held scan when the test wants to see mid-scan states.
  struct Session {
    test::HeldScan held;
    test::ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;

    QToolButton* Button(const char* name) const {
      return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    Buttons State() const {
      return {Button("dataButton")->isEnabled(), Button("saveButton")->isEnabled(),
              Button("stopButton")->isEnabled(), Button("findButton")->isEnabled()};
    }
    QTreeWidget* Tree() const {
      return window->findChild<QTreeWidget*>(QStringLiteral("folderTree"));
    }
    QTableView* List() const { return window->findChild<QTableView*>(QStringLiteral("mailList")); }
    PreviewView* Preview() const {
      return window->findChild<PreviewView*>(QStringLiteral("previewView"));
    }
    TextProgressBar* Progress() const {
      return window->findChild<TextProgressBar*>(QStringLiteral("progressBar"));
    }
    QAction* Action(const char* name) const {
      return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    QStringList ListColumn(int column) const {
      QStringList texts;
      const QAbstractItemModel* model = List()->model();
      for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
      return texts;
    }
  };

  std::unique_ptr<Session> Open(bool held = false, bool dataDialogOnStart = false) {
    auto session = std::make_unique<Session>();
    MainWindowOptions options;
    options.openDataDialogOnStart = dataDialogOnStart;
    if (held) options.scanStarter = session->held.Starter();
    session->window = std::make_unique<MainWindow>(session->prompts, options);
    session->window->show();
    if (!QTest::qWaitForWindowExposed(session->window.get())) return nullptr;
    return session;
  }

  // Scans the test image to its end.
  bool ScanToEnd(Session& session) {
    QSignalSpy finished(session.window.get(), &MainWindow::scanFinished);
    if (!session.window->StartScan(image_)) return false;
    if (!finished.wait(10000)) return false;
    return finished.at(0).at(0).toInt() == static_cast<int>(mails_.size());
  }

  QStringList Subjects() const {
    QStringList subjects;
    for (const auto& mail : mails_) subjects << QString::fromUtf8(mail.subject.c_str());
    return subjects;
  }

 private slots:
  void initTestCase() {
    ApplyQuillonLook(*qApp);
    QVERIFY(directory_.isValid());
    mails_ = {test::PlainMail(), test::HtmlMail(), test::MultipartMail()};
    image_ = (directory_.path() + QStringLiteral("/harbour.img")).toStdString();
    // The later mails lie 16 MiB on, beyond what the scan reads ahead, so that a stop after the
    // first mail leaves them unread.
    constexpr std::uint64_t kFarAway = 16 << 20;
    test::WriteImage(image_, mails_, {0, kFarAway, kFarAway + 8192});
    imageSectors_ = QFileInfo(QString::fromStdString(image_)).size() / 512;
  }

  void StartUpOpensTheDataDialogAfterHalfASecond() {
    QElapsedTimer clock;
    clock.start();
    auto session = Open(false, true);
    QVERIFY(session);
    QCOMPARE(session->window->windowTitle(), QStringLiteral("Quillon V1.7"));
    QVERIFY(session->prompts.calls.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(session->prompts.calls, QStringList{QStringLiteral("source")}, 3000);
    QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
    // Cancelled: an empty window where only Data, Help and About can be used.
    const Buttons state = session->State();
    QVERIFY2(state.data && !state.save && !state.stop && !state.find, qPrintable(Describe(state)));
    QVERIFY(session->Button("helpButton")->isEnabled());
    QVERIFY(session->Button("aboutButton")->isEnabled());
    QCOMPARE(session->List()->model()->rowCount(), 0);
  }

  void CommandCaptions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("save") << QStringLiteral("saveButton") << QStringLiteral("&Save");
    QTest::newRow("data") << QStringLiteral("dataButton") << QStringLiteral("&Data");
    QTest::newRow("help") << QStringLiteral("helpButton") << QStringLiteral("&Help");
    QTest::newRow("find") << QStringLiteral("findButton") << QStringLiteral("&Find");
    QTest::newRow("about") << QStringLiteral("aboutButton") << QStringLiteral("&About");
    QTest::newRow("stop") << QStringLiteral("stopButton") << QStringLiteral("S&top");
  }

  void CommandCaptions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto session = Open();
    QVERIFY(session);
    auto* button = session->window->findChild<QToolButton*>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QVERIFY(!button->icon().isNull());
  }

  // Start, middle and end of a scan: the buttons, the tree labels and the rows.
  void ScanShowsItsStagesAndTheMails() {
    auto session = Open(true);
    QVERIFY(session);
    Buttons state = session->State();
    QVERIFY2(state.data && !state.save && !state.stop && !state.find, qPrintable(Describe(state)));
    QCOMPARE(session->Tree()->topLevelItem(0)->text(0), QStringLiteral("Local Folders"));

    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    state = session->State();
    QVERIFY2(!state.data && !state.save && state.stop && !state.find, qPrintable(Describe(state)));
    QVERIFY(!session->window->StartScan(image_));  // one scan at a time

    // Held after its first mail: one row, "Find" on, the rest as while scanning.
    QTRY_VERIFY(session->held.Holding());
    QTRY_COMPARE(session->List()->model()->rowCount(), 1);
    state = session->State();
    QVERIFY2(!state.data && !state.save && state.stop && state.find, qPrintable(Describe(state)));
    QTreeWidgetItem* root = session->Tree()->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("Local Folders [harbour.img]"));
    QCOMPARE(root->childCount(), 1);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Mail Box"));
    QVERIFY(root->isExpanded());
    QCOMPARE(session->ListColumn(3), QStringList{Subjects().at(0)});
    QTRY_VERIFY(
        session->Progress()->Text().startsWith(QStringLiteral("Found 1 Mails\r\nProcessing ")));
    QCOMPARE(session->Progress()->Maximum(), imageSectors_);
    QVERIFY(session->Progress()->Animating());
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-scanning")));

    session->held.Release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toInt(), 3);
    state = session->State();
    QVERIFY2(state.data && state.save && !state.stop && state.find, qPrintable(Describe(state)));
    QCOMPARE(root->child(0)->text(0), QStringLiteral("Mail Box (3)"));
    QCOMPARE(session->Tree()->currentItem(), root->child(0));
    // Listed again in found order once the scan ended.
    QCOMPARE(session->ListColumn(3), Subjects());
    QCOMPARE(session->ListColumn(1),
             (QStringList{QStringLiteral("Nora Quill <nora.quill@example.org>"),
                          QStringLiteral("Lena Ward <lena.ward@example.com>"),
                          QStringLiteral("Omar Fields <omar.fields@example.net>")}));
    QCOMPARE(session->ListColumn(2), (QStringList{QStringLiteral("2009-03-09 10:11:12"),
                                                  QStringLiteral("2009-03-10 08:30:00"),
                                                  QStringLiteral("2009-03-11 17:45:09")}));
    QCOMPARE(session->ListColumn(0).at(0), QStringLiteral(" "));
    QVERIFY(session->ListColumn(0).at(2).startsWith(QLatin1Char('!')));
    QCOMPARE(session->Progress()->Text(), QString());
    QCOMPARE(session->Progress()->Maximum(), 0ULL);
    QVERIFY(!session->Progress()->Animating());
    QVERIFY(session->window->Status().unsavedMails.load());
  }

  // While a scan runs, mails arrive at the top of the list.
  void RowsArriveAtTheTop() {
    auto session = Open(true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    // The root empties the list; the mail box shows what arrived so far, and then the rest on top.
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0));
    QCOMPARE(session->List()->model()->rowCount(), 0);
    QVERIFY(!session->State().save);
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0)->child(0));
    QTRY_COMPARE(session->List()->model()->rowCount(), 1);
    QVERIFY(!session->State().save);  // no save run while the scan runs
    QSignalSpy rows(session->List()->model(), &QAbstractItemModel::rowsInserted);
    session->held.Release();
    QVERIFY(finished.wait(10000));
    // Mails found close together join the list together, always at the top.
    int inserted = 0;
    for (const QList<QVariant>& arguments : rows) {
      QCOMPARE(arguments.at(1).toInt(), 0);
      inserted += arguments.at(2).toInt() + 1;
    }
    QCOMPARE(inserted, 2);
    QCOMPARE(session->ListColumn(3), Subjects());
  }

  void RootSelectionEmptiesTheList() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0));
    QCOMPARE(session->List()->model()->rowCount(), 0);
    QVERIFY(!session->State().save);
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0)->child(0));
    QCOMPARE(session->ListColumn(3), Subjects());
    QVERIFY(session->State().save);
  }

  void PreviewShowsTheMail_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("notShown");
    QTest::newRow("plain, quoted-printable")
        << 0
        << QStringList{QString::fromUtf8("The harbour caf\xc3\xa9 opens at nine from Monday on."),
                       QStringLiteral("Hello Paul,")}
        << QStringList{QStringLiteral("=C3=A9"), QStringLiteral("<pre>"),
                       QStringLiteral("Attachment:")};
    QTest::newRow("HTML") << 1
                          << QStringList{QStringLiteral("Minutes of the harbour meeting"),
                                         QStringLiteral("The new pier opens in May."),
                                         QStringLiteral("Tidy up")}
                          << QStringList{QStringLiteral("<b>"), QStringLiteral("href"),
                                         QStringLiteral("=3D")};
    QTest::newRow("multipart with attachment")
        << 2
        << QStringList{QStringLiteral("Attachment: survey-report.pdf, Size: "),
                       QStringLiteral(
                           "------------------------------------------------------------"),
                       QStringLiteral("Please find the survey report attached.")}
        << QStringList{QStringLiteral("JVBERi0"), QStringLiteral("<p>")};
  }

  void PreviewShowsTheMail() {
    QFETCH(int, row);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, notShown);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    PreviewView* before = session->Preview();
    session->List()->selectRow(row);
    PreviewView* preview = session->Preview();
    QVERIFY(preview);
    QVERIFY(preview != before);  // a fresh view for every mail
    const QString text = preview->toPlainText();
    for (const QString& part : shown) QVERIFY2(text.contains(part), qPrintable(text));
    for (const QString& part : notShown) QVERIFY2(!text.contains(part), qPrintable(text));
    QTest::qWait(50);
    QVERIFY(test::SaveTestScreenshot(*session->window,
                                     QStringLiteral("main-window-preview-%1").arg(row)));
  }

  // A click in the preview: "app:" links do nothing, others go to the desktop.
  void PreviewLinks() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(1);
    PreviewView* preview = session->Preview();
    emit preview->anchorClicked(QUrl(QStringLiteral("app:delete-everything")));
    emit preview->anchorClicked(QUrl(QStringLiteral("https://harbour.example.com/pier")));
    QCOMPARE(session->prompts.calls,
             QStringList{QStringLiteral("open:https://harbour.example.com/pier")});
  }

  // The folder menu's mailbox, with the report check box ticked: one mailbox and the two
  // report files in the chosen folder, no "Mail Box" folder.
  void FolderSaveWritesMailboxAndReport() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTemporaryDir target;
    QVERIFY(target.isValid());
    session->prompts.folders.push_back(target.path());
    session->prompts.saveReport = true;
    QSignalSpy ended(session->window.get(), &MainWindow::saveRunFinished);
    session->window->findChild<QAction*>(QStringLiteral("saveFolderMboxAction"))->trigger();
    QVERIFY(ended.wait(10000));
    QCOMPARE(session->prompts.calls.last(),
             QStringLiteral("info:Saved 3 mails!\r\nThe files are in:\r\n") +
                 QDir::toNativeSeparators(target.path()));
    const QDir folder(target.path());
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral("Mail Box.mbox"), QStringLiteral("report.csv"),
                          QStringLiteral("report.xml")}));
    const QByteArray mailbox = ReadAll(folder.filePath(QStringLiteral("Mail Box.mbox")));
    QCOMPARE(mailbox.count("\nFrom ") + (mailbox.startsWith("From ") ? 1 : 0), 3);
    for (std::size_t mail = 0; mail < mails_.size(); ++mail)
      QVERIFY(mailbox.contains(TraceOnwards(mail)));
    const QByteArray csv = ReadAll(folder.filePath(QStringLiteral("report.csv")));
    QCOMPARE(csv.count("\r\n"), 4);  // the header row and one per mail
    QCOMPARE(csv.count(",Mail Box.mbox,"), 3);
    QVERIFY(ReadAll(folder.filePath(QStringLiteral("report.xml"))).contains("<byte_run "));
  }

  void FolderSaveWritesEveryMail_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("extension");
    QTest::newRow("EML") << static_cast<int>(SaveFormat::Eml)
                         << QStringLiteral("saveFolderEmlAction") << QStringLiteral(".eml");
    QTest::newRow("TXT") << static_cast<int>(SaveFormat::Txt)
                         << QStringLiteral("saveFolderTxtAction") << QStringLiteral(".txt");
  }

  void FolderSaveWritesEveryMail() {
    QFETCH(int, format);
    QFETCH(QString, action);
    QFETCH(QString, extension);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTemporaryDir target;
    QVERIFY(target.isValid());
    session->prompts.folders.push_back(target.path());
    // Inside each question the window waits: the states it shows then are the run's stages.
    QStringList stages;
    session->prompts.onAsk = [&](const QString& what) {
      stages << what.section(u':', 0, 0) + u' ' + Describe(session->State());
    };
    QSignalSpy ended(session->window.get(), &MainWindow::saveRunFinished);
    session->window->findChild<QAction*>(action)->trigger();
    QVERIFY(ended.wait(10000));
    QCOMPARE(stages, (QStringList{
                         QStringLiteral("folder data=0 save=0 stop=0 find=1"),
                         QStringLiteral("info data=0 save=0 stop=1 find=1"),
                     }));
    // The count of the run, and where the files are.
    QCOMPARE(session->prompts.calls.last(),
             QStringLiteral("info:Saved 3 mails!\r\nThe files are in:\r\n") +
                 QDir::toNativeSeparators(target.path() + QStringLiteral("/Mail Box")));
    const Buttons state = session->State();
    QVERIFY2(state.data && state.save && !state.stop && state.find, qPrintable(Describe(state)));
    QVERIFY(!session->window->Status().unsavedMails.load());

    const QDir mailBox(target.path() + QStringLiteral("/Mail Box"));
    const QStringList files = mailBox.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 3);
    for (const QString& file : files) QVERIFY(file.endsWith(extension));
    QByteArray everything;
    for (const QString& file : files) everything += ReadAll(mailBox.filePath(file));
    if (static_cast<SaveFormat>(format) == SaveFormat::Eml) {
      for (std::size_t mail = 0; mail < mails_.size(); ++mail)
        QVERIFY(everything.contains(TraceOnwards(mail)));
    } else {
      // The header values as carved: the encoded subject stays encoded.
      QVERIFY(everything.contains("Subject: =?utf-8?q?Harbour_caf=C3=A9_opening_hours?=\r\n"));
      QVERIFY(everything.contains("Subject: Minutes of the harbour meeting\r\n"));
      QVERIFY(everything.contains("Subject: Survey report for the north pier\r\n"));
      QCOMPARE(everything.count("---------- Text ---------\r\n"), 3);
    }
    // Saved: closing asks nothing.
    session->prompts.calls.clear();
    QVERIFY(session->window->close());
    QVERIFY(session->prompts.calls.isEmpty());
  }

  void FolderSaveCancelled() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QSignalSpy ended(session->window.get(), &MainWindow::saveRunFinished);
    session->Action("saveFolderTxtAction")->trigger();  // the script has no folder: cancelled
    QCOMPARE(session->prompts.calls, QStringList{QStringLiteral("folder")});
    const Buttons state = session->State();
    QVERIFY2(state.data && state.save && !state.stop, qPrintable(Describe(state)));
    QVERIFY(session->window->Status().unsavedMails.load());
    QCOMPARE(ended.count(), 0);
  }

  // While the scan runs the folder menu cannot start a save run.
  void FolderSaveRefusedWhileScanning() {
    auto session = Open(true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    QVERIFY(!session->Action("saveFolderEmlAction")->isEnabled());
    QVERIFY(!session->Action("saveFolderTxtAction")->isEnabled());
    session->prompts.folders.push_back(directory_.path());
    session->Action("saveFolderEmlAction")->trigger();
    QVERIFY(session->prompts.calls.isEmpty());
    session->held.Release();
    QVERIFY(finished.wait(10000));
    QVERIFY(session->Action("saveFolderEmlAction")->isEnabled());
  }

  void SingleSave_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("chosen");  // empty: cancelled; "/" prefix: under a missing folder
    QTest::addColumn<QString>("outcome");
    QTest::newRow("EML") << QStringLiteral("saveMailEmlAction") << static_cast<int>(SaveFormat::Eml)
                         << QStringLiteral("mail.eml") << QStringLiteral("written");
    QTest::newRow("TXT") << QStringLiteral("saveMailTxtAction") << static_cast<int>(SaveFormat::Txt)
                         << QStringLiteral("mail.txt") << QStringLiteral("written");
    QTest::newRow("cancelled") << QStringLiteral("saveMailEmlAction")
                               << static_cast<int>(SaveFormat::Eml) << QString()
                               << QStringLiteral("nothing");
    QTest::newRow("cannot create")
        << QStringLiteral("saveMailTxtAction") << static_cast<int>(SaveFormat::Txt)
        << QStringLiteral("missing/mail.txt") << QStringLiteral("error");
  }

  void SingleSave() {
    QFETCH(QString, action);
    QFETCH(int, format);
    QFETCH(QString, chosen);
    QFETCH(QString, outcome);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(2);
    QTemporaryDir target;
    const QString path = chosen.isEmpty() ? QString() : target.path() + u'/' + chosen;
    if (!path.isEmpty()) session->prompts.files.push_back(path);
    session->Action(action.toLatin1().constData())->trigger();

    MailRecord record;
    record.SetSubjectText(u"Survey report for the north pier");
    record.date = "2009-03-11 17:45:09";
    const QString offered = QString::fromStdU16String(
        DefaultFileName(record, static_cast<SaveFormat>(format), RenderOptions{}));
    QVERIFY(offered.startsWith(QStringLiteral("Survey report for th [2009-03-11 17 45 09]")));
    QStringList expected{QStringLiteral("file:") + offered};
    if (outcome == QLatin1String("error")) expected << QStringLiteral("error:Save file error!");
    QCOMPARE(session->prompts.calls, expected);

    const QByteArray written = ReadAll(path);
    if (outcome != QLatin1String("written")) {
      QVERIFY(written.isEmpty());
      return;
    }
    if (static_cast<SaveFormat>(format) == SaveFormat::Eml) {
      QCOMPARE(written, EmlBytes(2));
    } else {
      QVERIFY(
          written.startsWith("Subject: Survey report for the north pier\r\nFrom: Omar Fields "));
      QVERIFY(written.contains("---------- Text ---------\r\n"));
    }
    // A single save does not count as saving the scan.
    QVERIFY(session->window->Status().unsavedMails.load());
  }

  void StopFlow_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes stops") << true;
    QTest::newRow("no goes on") << false;
  }

  void StopFlow() {
    QFETCH(bool, answer);
    auto session = Open(true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    session->prompts.answers.push_back(answer);
    QTest::mouseClick(session->Button("stopButton"), Qt::LeftButton);
    QCOMPARE(session->prompts.calls,
             QStringList{QStringLiteral("yesno:Are you sure to stop scanning?")});
    QCOMPARE(session->Button("stopButton")->isEnabled(), !answer);
    if (answer) {
      QVERIFY(finished.wait(10000));
      const int found = finished.at(0).at(0).toInt();
      QVERIFY2(found >= 1 && found < 3, qPrintable(QString::number(found)));  // stopped early
    } else {
      QTest::qWait(50);
      QCOMPARE(finished.count(), 0);
      QVERIFY(session->held.Holding());
      session->held.Release();
      QVERIFY(finished.wait(10000));
      QCOMPARE(finished.at(0).at(0).toInt(), 3);
    }
    const Buttons state = session->State();
    QVERIFY2(state.data && state.save && !state.stop && state.find, qPrintable(Describe(state)));
    QVERIFY(!session->window->Status().stopRequested.load());
  }

  void CloseDuringScan_data() {
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<bool>("closed");
    const QString scanning = QStringLiteral(
        "yesno:You are scanning mail now. Are you want to scan data?\r\nClick \"Yes\" to scan; "
        "Click \"No\" to exit.");
    const QString unsaved = QStringLiteral(
        "okcancel:Are you want to save the scanned mails?\r\nClick \"OK\" back to main window; "
        "click \"Cancel\" to exit.");
    QTest::newRow("yes keeps scanning") << QList<bool>{true} << QStringList{scanning} << false;
    QTest::newRow("no, then cancel exits")
        << QList<bool>{false, false} << QStringList{scanning, unsaved} << true;
    QTest::newRow("no, then ok stays stopped")
        << QList<bool>{false, true} << QStringList{scanning, unsaved} << false;
  }

  void CloseDuringScan() {
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, questions);
    QFETCH(bool, closed);
    auto session = Open(true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    for (bool answer : answers) session->prompts.answers.push_back(answer);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(session->window->close(), closed);
    QVERIFY2(clock.elapsed() < 5000, "closing waited for the scan too long");
    QCOMPARE(session->prompts.calls, questions);
    // Both close questions name keeping the window as what Esc gives.
    for (SafeAnswer safe : session->prompts.safeAnswers) QVERIFY(safe == SafeAnswer::First);
    QCOMPARE(session->window->isVisible(), !closed);
    if (closed) return;  // the window and its joined scan are destroyed with the session
    if (answers.size() == 1) {
      QVERIFY(session->held.Holding());  // still scanning
      session->held.Release();
      QVERIFY(finished.wait(10000));
      QCOMPARE(finished.at(0).at(0).toInt(), 3);
    } else {
      QVERIFY(finished.wait(10000));  // the stopped scan still reports its end
      const int found = finished.at(0).at(0).toInt();
      QVERIFY2(found >= 1 && found < 3, qPrintable(QString::number(found)));
    }
    QVERIFY(session->State().data);
  }

  void RescanAsksWhileUnsaved_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("no keeps the results") << false;
    QTest::newRow("yes opens the source dialog") << true;
  }

  void RescanAsksWhileUnsaved() {
    QFETCH(bool, answer);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->prompts.answers.push_back(answer);
    QTest::mouseClick(session->Button("dataButton"), Qt::LeftButton);
    QStringList expected{QStringLiteral(
        "yesno:Re-scan will hide the last scanned mail.\r\nAre you sure to re-scan?")};
    if (answer) expected << QStringLiteral("source");
    QCOMPARE(session->prompts.calls, expected);
    // Esc keeps the results.
    QCOMPARE(session->prompts.safeAnswers, std::vector<SafeAnswer>{SafeAnswer::Second});
    QCOMPARE(session->ListColumn(3), Subjects());
    QVERIFY(session->State().data);
  }

  // Enter and Esc do nothing anywhere in the window, not even on a link of the preview that has
  // the keyboard focus.
  void EnterAndEscapeDoNothing() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(1);
    PreviewView* preview = session->Preview();
    preview->setFocus();
    QTest::keyClick(preview, Qt::Key_Tab);  // onto the first link
    QVERIFY(preview->textCursor().hasSelection());
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      for (QWidget* target :
           {static_cast<QWidget*>(preview), static_cast<QWidget*>(session->window.get()),
            static_cast<QWidget*>(session->List()),
            static_cast<QWidget*>(session->Button("dataButton")),
            static_cast<QWidget*>(session->Tree())}) {
        QTest::keyClick(target, static_cast<Qt::Key>(key));
      }
    }
    QTest::qWait(20);
    QVERIFY(session->window->isVisible());
    QVERIFY2(session->prompts.calls.isEmpty(), qPrintable(session->prompts.calls.join(u'|')));
  }

  // The buttons answer to Alt and their underlined letter.
  void Mnemonics_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("call");
    QTest::newRow("Alt+H") << static_cast<int>(Qt::Key_H)
                           << QStringLiteral("open:") + HelpPageUrl().toString();
    QTest::newRow("Alt+A") << static_cast<int>(Qt::Key_A) << QStringLiteral("about");
    QTest::newRow("Alt+D") << static_cast<int>(Qt::Key_D) << QStringLiteral("source");
  }

  void Mnemonics() {
    QFETCH(int, key);
    QFETCH(QString, call);
    auto session = Open();
    QVERIFY(session);
    session->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(session->window.get()));
    QTest::keyClick(session->window.get(), static_cast<Qt::Key>(key), Qt::AltModifier);
    QTRY_COMPARE(session->prompts.calls, QStringList{call});
  }

  void SizeLimits() {
    auto session = Open();
    QVERIFY(session);
    session->window->resize(400, 300);
    QTest::qWait(20);
    QVERIFY(session->window->width() >= 800);
    QVERIFY(session->window->height() >= 600);
    // Dragging the bar far right: the tree column stops at half the window.
    auto* splitter = session->window->findChild<QSplitter*>(QStringLiteral("mainSplitter"));
    session->window->resize(1000, 700);
    QTest::qWait(20);
    splitter->setSizes({5000, 10});
    QTest::qWait(20);
    const QWidget* left = session->window->findChild<QWidget*>(QStringLiteral("leftColumn"));
    QVERIFY2(left->width() <= session->window->width() / 2,
             qPrintable(QString::number(left->width())));
    QVERIFY(splitter->widget(1)->width() >= 300);
    splitter->setSizes({10, 5000});
    QTest::qWait(20);
    QVERIFY(left->width() >= 200);
    auto* listSplitter = session->window->findChild<QSplitter*>(QStringLiteral("listSplitter"));
    listSplitter->setSizes({10, 5000});
    QTest::qWait(20);
    QVERIFY(session->List()->height() >= 100);
    listSplitter->setSizes({5000, 10});
    QTest::qWait(20);
    QVERIFY(session->Preview()->height() >= 100);
  }

  // Right clicks: nothing on the root, the folder menu on a mail box with mails, the list menu
  // with its entries on a row.
  void ContextMenus() {
    auto session = Open();
    QVERIFY(session);
    QTreeWidget* tree = session->Tree();
    auto* folderMenu = session->window->findChild<QMenu*>(QStringLiteral("folderMenu"));
    auto* listMenu = session->window->findChild<QMenu*>(QStringLiteral("mailListMenu"));
    QVERIFY(folderMenu && listMenu);
    const auto rightClick = [](QWidget* view, const QPoint& at) {
      QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->mapToGlobal(at));
      QApplication::sendEvent(view, &event);
    };
    QTreeWidgetItem* mailBox = tree->topLevelItem(0)->child(0);
    rightClick(tree->viewport(), tree->visualItemRect(mailBox).center());
    QVERIFY(!folderMenu->isVisible());  // empty mail box

    QVERIFY(ScanToEnd(*session));
    mailBox = tree->topLevelItem(0)->child(0);
    rightClick(tree->viewport(), tree->visualItemRect(tree->topLevelItem(0)).center());
    QVERIFY(!folderMenu->isVisible());
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));  // the click selected the root
    rightClick(tree->viewport(), tree->visualItemRect(mailBox).center());
    QTRY_VERIFY(folderMenu->isVisible());
    QCOMPARE(tree->currentItem(), mailBox);
    folderMenu->hide();

    rightClick(session->List()->viewport(), QPoint(5, 5));
    QVERIFY(!listMenu->isVisible());  // no row selected
    session->List()->selectRow(0);
    rightClick(session->List()->viewport(),
               session->List()->visualRect(session->List()->model()->index(0, 1)).center());
    QTRY_VERIFY(listMenu->isVisible());
    QStringList entries = MenuEntries(listMenu);
    QCOMPARE(entries, kListMenu);
    listMenu->hide();
    entries.clear();
    for (const QAction* entry : folderMenu->actions())
      entries << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    QCOMPARE(entries, (QStringList{QStringLiteral("Save as EML format file"), QStringLiteral("-"),
                                   QStringLiteral("Save as TXT format file"), QStringLiteral("-"),
                                   QStringLiteral("Save as mailbox (mbox) file")}));
  }

  // The list menu offers "Attribute" only while Ctrl and Q are both held; it shows where the
  // mail lies in the source.
  void AttributeNeedsControlAndQ_data() {
    QTest::addColumn<bool>("control");
    QTest::addColumn<bool>("q");
    QTest::newRow("neither") << false << false;
    QTest::newRow("control only") << true << false;
    QTest::newRow("q only") << false << true;
    QTest::newRow("both") << true << true;
  }

  void AttributeNeedsControlAndQ() {
    QFETCH(bool, control);
    QFETCH(bool, q);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTableView* list = session->List();
    auto* listMenu = session->window->findChild<QMenu*>(QStringLiteral("mailListMenu"));
    list->selectRow(1);
    list->setFocus();
    if (control) QTest::keyPress(list, Qt::Key_Control, Qt::ControlModifier);
    if (q) QTest::keyPress(list, Qt::Key_Q, control ? Qt::ControlModifier : Qt::NoModifier);
    const QPoint at = list->visualRect(list->model()->index(1, 1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    QTRY_VERIFY(listMenu->isVisible());
    QStringList expected = kListMenu;
    if (control && q) expected << QStringLiteral("-") << QStringLiteral("Attribute");
    QCOMPARE(MenuEntries(listMenu), expected);
    listMenu->hide();
    if (q) QTest::keyRelease(list, Qt::Key_Q, control ? Qt::ControlModifier : Qt::NoModifier);
    if (control) QTest::keyRelease(list, Qt::Key_Control, Qt::NoModifier);
    if (!(control && q)) return;

    session->Action("attributeAction")->trigger();
    // The second mail lies 16 MiB into the image: sector 32768.
    QCOMPARE(session->prompts.calls.constLast(), QStringLiteral("info:DataSource: ") +
                                                     QString::fromStdString(image_) +
                                                     QStringLiteral(" \r\nPosition: 32768 Sec"));
    // Once the keys are up the entry is gone again.
    QApplication::sendEvent(list->viewport(), &event);
    QTRY_VERIFY(listMenu->isVisible());
    QCOMPARE(MenuEntries(listMenu), kListMenu);
    listMenu->hide();
  }

  // A click on a header sorts ascending, a second one descending; another column starts
  // ascending again. The mark follows.
  void HeaderClicksSort() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QHeaderView* header = session->List()->horizontalHeader();
    const auto click = [header](int column) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
    };
    const QString plain = Subjects().at(0);
    const QString html = Subjects().at(1);
    const QString multipart = Subjects().at(2);
    struct Step {
      int column;
      Qt::SortOrder order;
      QStringList subjects;
    };
    const std::vector<Step> steps{
        {MailListModel::SenderColumn, Qt::AscendingOrder, {html, plain, multipart}},
        {MailListModel::SenderColumn, Qt::DescendingOrder, {multipart, plain, html}},
        {MailListModel::DateColumn, Qt::AscendingOrder, {plain, html, multipart}},
        {MailListModel::DateColumn, Qt::DescendingOrder, {multipart, html, plain}},
        {MailListModel::SubjectColumn, Qt::AscendingOrder, {plain, html, multipart}},
        {MailListModel::DateColumn, Qt::AscendingOrder, {plain, html, multipart}},
    };
    for (const Step& step : steps) {
      click(step.column);
      QCOMPARE(session->ListColumn(MailListModel::SubjectColumn), step.subjects);
      QCOMPARE(header->sortIndicatorSection(), step.column);
      QCOMPARE(header->sortIndicatorOrder(), step.order);
    }
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-sorted")));
    // The folder listed anew stands in found order, unmarked.
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0));
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0)->child(0));
    QCOMPARE(session->ListColumn(MailListModel::SubjectColumn), Subjects());
    QCOMPARE(header->sortIndicatorSection(), -1);
  }

  // F2 and F3 before any find do nothing; "Find" asks, then searches round the list.
  void FindFlow() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTableView* list = session->List();
    const auto selectedRow = [list] {
      const QModelIndexList rows = list->selectionModel()->selectedRows();
      return rows.isEmpty() ? -1 : rows.constFirst().row();
    };
    list->selectRow(2);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F3);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(selectedRow(), 2);
    QVERIFY(session->window->CurrentFindSettings() == FindSettings{});

    // Cancel keeps the settings as they were.
    QTest::mouseClick(session->Button("findButton"), Qt::LeftButton);
    QCOMPARE(session->prompts.calls, QStringList{QStringLiteral("find:")});
    QVERIFY(session->window->CurrentFindSettings() == FindSettings{});
    QCOMPARE(selectedRow(), 2);

    FindSettings harbour;
    harbour.text = u"HARBOUR";
    harbour.sender = harbour.recipients = harbour.content = false;
    session->prompts.findSettings.push_back(harbour);
    QTest::mouseClick(session->Button("findButton"), Qt::LeftButton);
    QVERIFY(session->window->CurrentFindSettings() == harbour);
    QCOMPARE(selectedRow(), 0);  // round the end of the list
    QVERIFY(list->hasFocus());
    QTest::keyClick(list, Qt::Key_F3);
    QCOMPARE(selectedRow(), 1);
    QTest::keyClick(list, Qt::Key_F3);
    QCOMPARE(selectedRow(), 0);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(selectedRow(), 1);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(selectedRow(), 0);

    // The next find starts from the last settings; a text no row holds clears the selection.
    FindSettings lighthouse;
    lighthouse.text = u"lighthouse";
    session->prompts.findSettings.push_back(lighthouse);
    QTest::mouseClick(session->Button("findButton"), Qt::LeftButton);
    QCOMPARE(session->prompts.calls.constLast(), QStringLiteral("find:HARBOUR"));
    QCOMPARE(selectedRow(), -1);
    QTest::keyClick(list, Qt::Key_F3);
    QCOMPARE(selectedRow(), -1);

    // The recipients field finds the board; the content the tide table of no mail.
    FindSettings board;
    board.text = u"board@";
    session->prompts.findSettings.push_back(board);
    QTest::mouseClick(session->Button("findButton"), Qt::LeftButton);
    QCOMPARE(selectedRow(), 1);

    // An empty list: neither the button nor the keys search.
    session->Tree()->setCurrentItem(session->Tree()->topLevelItem(0));
    QCOMPARE(list->model()->rowCount(), 0);
    const qsizetype calls = session->prompts.calls.size();
    session->Button("findButton")->click();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F3);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(session->prompts.calls.size(), calls);
    QCOMPARE(selectedRow(), -1);
  }

  // Without a web browser the guide opens in the program's own viewer.
  void HelpWithoutABrowser() {
    auto session = Open();
    QVERIFY(session);
    session->prompts.openSucceeds = false;
    QTest::mouseClick(session->Button("helpButton"), Qt::LeftButton);
    const QString guide = HelpPageUrl().toString();
    QCOMPARE(session->prompts.calls,
             (QStringList{QStringLiteral("open:") + guide, QStringLiteral("guide:") + guide}));
  }

  void HelpAboutAndLinks() {
    auto session = Open();
    QVERIFY(session);
    QTest::mouseClick(session->Button("helpButton"), Qt::LeftButton);
    QTest::mouseClick(session->Button("aboutButton"), Qt::LeftButton);
    session->Action("aboutAction")->trigger();
    QCOMPARE(session->Action("aboutAction")->text(), QStringLiteral("About Quillon(&A)..."));
    auto* site = session->window->findChild<QLabel*>(QStringLiteral("siteLink"));
    QTest::mouseClick(site, Qt::LeftButton);
    QCOMPARE(
        session->prompts.calls,
        (QStringList{QStringLiteral("open:") + HelpPageUrl().toString(), QStringLiteral("about"),
                     QStringLiteral("about"), QStringLiteral("open:") + HelpPageUrl().toString()}));
    const auto* hidden = session->window->findChild<QLabel*>(QStringLiteral("hiddenFooter"));
    QVERIFY(hidden && !hidden->isVisible());
  }

  // The pictures for the report and the README, also run at 200 % scaling.
  void screenshots() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(1);
    QTest::qWait(50);
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window")));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::MainWindowTest)
#include "main_window_test.moc"
