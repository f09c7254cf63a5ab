// The real main window as people who read mail use it: sorting by time and by name with the
// selection kept, a list that never scrolls sideways, the keyboard, finding in every script,
// copies hidden and counted, the quick filter, saving a selection and an attachment, the
// source, the close question answered with Esc, and the status after a stop. The pictures of
// the new states go to build/test-screenshots.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "ui/look.h"
#include "ui/mail_list_model.h"
#include "ui/mail_source_view.h"
#include "ui/main_window.h"
#include "ui/preview_view.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

// The mails of the image, in the order they lie on it; the HTML mail is there twice.
enum Mail { kPlain, kHtml, kMultipart, kHtmlCopy, kCyrillic, kFrench, kMailCount };

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// Runs `act` on the next message box, once it is up.
void WhenMessageBox(std::function<void(QMessageBox*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    act(box);
  });
  poll->start(10);
}

}  // namespace

class MainWindowListTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir directory_;
  std::string image_;
  QStringList subjects_;  // by Mail

  struct Session {
    test::HeldScan held;
    test::ScriptedPrompts scripted;
    DesktopPrompts desktop;
    std::unique_ptr<MainWindow> window;

    QTableView* List() const { return window->findChild<QTableView*>(QStringLiteral("mailList")); }
    QAbstractItemModel* Model() const { return List()->model(); }
    PreviewView* Preview() const {
      return window->findChild<PreviewView*>(QStringLiteral("previewView"));
    }
    QTreeWidgetItem* MailBox() const {
      return window->findChild<QTreeWidget*>(QStringLiteral("folderTree"))
          ->topLevelItem(0)
          ->child(0);
    }
    QString Status() const {
      return window->findChild<TextProgressBar*>(QStringLiteral("progressBar"))->Text();
    }
    QAction* Action(const QString& name) const { return window->findChild<QAction*>(name); }
    QString Subject(int row) const {
      return Model()->index(row, MailListModel::SubjectColumn).data().toString();
    }
    QStringList Subjects() const {
      QStringList subjects;
      for (int row = 0; row < Model()->rowCount(); ++row) subjects << Subject(row);
      return subjects;
    }
    int RowOf(const QString& subject) const { return Subjects().indexOf(subject); }
    QList<int> SelectedRows() const {
      QList<int> rows;
      for (const QModelIndex& index : List()->selectionModel()->selectedRows()) rows << index.row();
      std::sort(rows.begin(), rows.end());
      return rows;
    }
    void ClickHeader(int column) const {
      QHeaderView* header = List()->horizontalHeader();
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
    }
    void ClickCell(int row, int column, Qt::KeyboardModifiers modifiers = {}) const {
      const QRect cell = List()->visualRect(Model()->index(row, column));
      QTest::mouseClick(
          List()->viewport(), Qt::LeftButton, modifiers,
          QPoint(std::min(cell.left() + 20, List()->viewport()->width() - 5), cell.center().y()));
    }
  };

  std::unique_ptr<Session> Open(bool desktopPrompts = false, bool held = false) {
    auto session = std::make_unique<Session>();
    MainWindowOptions options;
    options.openDataDialogOnStart = false;
    if (held) options.scanStarter = session->held.Starter();
    Prompts& prompts = desktopPrompts ? static_cast<Prompts&>(session->desktop)
                                      : static_cast<Prompts&>(session->scripted);
    session->window = std::make_unique<MainWindow>(prompts, options);
    session->window->resize(1000, 700);
    session->window->show();
    if (!QTest::qWaitForWindowExposed(session->window.get())) return nullptr;
    return session;
  }

  bool ScanToEnd(Session& session) {
    QSignalSpy finished(session.window.get(), &MainWindow::scanFinished);
    if (!session.window->StartScan(image_)) return false;
    return finished.wait(10000) && finished.at(0).at(0).toInt() == kMailCount;
  }

 private slots:
  void initTestCase() {
    ApplyQuillonLook(*qApp);
    QVERIFY(directory_.isValid());
    const std::vector<test::SampleMailText> mails = {test::PlainMail(),     test::HtmlMail(),
                                                     test::MultipartMail(), test::HtmlMail(),
                                                     test::CyrillicMail(),  test::FrenchMail()};
    for (const auto& mail : mails) subjects_ << QString::fromUtf8(mail.subject.c_str());
    image_ = (directory_.path() + QStringLiteral("/harbour-more.img")).toStdString();
    test::WriteImage(image_, mails);
  }

  // The copy of the HTML mail is marked; hiding copies leaves them out of the list, the count
  // of the folder says so, and a folder save skips them as --skip-duplicates does.
  void CopiesAreMarkedHiddenAndNotSaved() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QCOMPARE(session->MailBox()->text(0), QStringLiteral("Mail Box (6)"));
    QCOMPARE(session->Model()->index(kHtmlCopy, MailListModel::MarksColumn).data().toString(),
             QStringLiteral(" ="));
    auto* hide = session->window->findChild<QCheckBox*>(QStringLiteral("hideDuplicates"));
    auto* count = session->window->findChild<QLabel*>(QStringLiteral("listCount"));
    QCOMPARE(count->text(), QStringLiteral("6 mails"));
    hide->click();
    QCOMPARE(session->Model()->rowCount(), 5);
    QVERIFY(!session->Subjects().contains(QString()));
    QCOMPARE(session->MailBox()->text(0), QStringLiteral("Mail Box (5 + 1 copy)"));
    QCOMPARE(count->text(), QStringLiteral("5 mails (1 copy hidden)"));
    QTest::qWait(50);
    QVERIFY(
        test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-copies-hidden")));

    QTemporaryDir target;
    session->scripted.folders.push_back(target.path());
    QSignalSpy ended(session->window.get(), &MainWindow::saveRunFinished);
    session->Action(QStringLiteral("saveFolderEmlAction"))->trigger();
    QVERIFY(ended.wait(10000));
    const QString folder = QDir::toNativeSeparators(target.path() + QStringLiteral("/Mail Box"));
    QCOMPARE(session->scripted.calls.last(),
             QStringLiteral("info:Saved 5 mails!\r\nThe files are in:\r\n") + folder);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 5);

    hide->click();
    QCOMPARE(session->MailBox()->text(0), QStringLiteral("Mail Box (6)"));
    QCOMPARE(session->Model()->rowCount(), 6);
  }

  // "Date" sorts by time: the 1989 mail, whose date the scan kept as written, comes first
  // although its text sorts last; "Sender" by the name without its address.
  void SortsByTimeAndByName() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->ClickHeader(MailListModel::DateColumn);
    QCOMPARE(session->Subjects(),
             (QStringList{subjects_[kCyrillic], subjects_[kPlain], subjects_[kHtml],
                          subjects_[kHtml], subjects_[kMultipart], subjects_[kFrench]}));
    session->ClickHeader(MailListModel::DateColumn);
    QCOMPARE(session->Subjects().constFirst(), subjects_[kFrench]);
    QCOMPARE(session->Subjects().constLast(), subjects_[kCyrillic]);
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-by-date")));
    session->ClickHeader(MailListModel::SenderColumn);
    QCOMPARE(session->Model()->index(0, MailListModel::SenderColumn).data().toString().left(4),
             QStringLiteral("Lena"));
  }

  // The mail selected stays selected, in view and in the preview after a sort; the preview is
  // not read again.
  void SelectionSurvivesASort() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->window->resize(1000, 600);
    session->ClickCell(kMultipart, MailListModel::SenderColumn);
    PreviewView* preview = session->Preview();
    QVERIFY(preview->toPlainText().contains(QStringLiteral("Please find the survey report")));
    for (int column : {MailListModel::SubjectColumn, MailListModel::DateColumn,
                       MailListModel::SenderColumn, MailListModel::SenderColumn}) {
      session->ClickHeader(column);
      const QList<int> selected = session->SelectedRows();
      QCOMPARE(selected.size(), 1);
      QCOMPARE(session->Subject(selected.constFirst()), subjects_[kMultipart]);
      QCOMPARE(session->List()->currentIndex().row(), selected.constFirst());
      const QRect shown =
          session->List()->visualRect(session->Model()->index(selected.constFirst(), 0));
      QVERIFY(session->List()->viewport()->rect().intersects(shown));
      QCOMPARE(session->Preview(), preview);
    }
  }

  // Clicking a cell of the wide subject column, or moving with the keys, keeps the marks,
  // sender and date columns in sight.
  void SelectingNeverScrollsSideways() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QScrollBar* sideways = session->List()->horizontalScrollBar();
    QVERIFY(sideways->maximum() > 0);  // the subject column is wider than the list
    QCOMPARE(sideways->value(), 0);
    session->ClickCell(kHtml, MailListModel::SubjectColumn);
    QCOMPARE(session->SelectedRows(), QList<int>{kHtml});
    QCOMPARE(sideways->value(), 0);
    QTest::keyClick(session->List(), Qt::Key_Down);
    QTest::keyClick(session->List(), Qt::Key_PageDown);
    QCOMPARE(sideways->value(), 0);
    QVERIFY(session->List()->columnViewportPosition(MailListModel::MarksColumn) >= 0);
    QVERIFY(
        test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-subject-click")));
  }

  // Home and End go to the first and last mail, Tab leaves the list, Ctrl+A selects every mail,
  // Delete removes nothing and Ctrl+F opens the find dialog.
  void Keyboard() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTableView* list = session->List();
    session->ClickCell(2, MailListModel::SenderColumn);
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(session->SelectedRows(), QList<int>{kMailCount - 1});
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(session->SelectedRows(), QList<int>{0});
    QTest::keyClick(list, Qt::Key_Delete);
    QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(session->Model()->rowCount(), kMailCount);
    QVERIFY(session->scripted.calls.isEmpty());
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(session->SelectedRows().size(), kMailCount);
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(session->SelectedRows(), QList<int>{1});
    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(!list->hasFocus());
    QCOMPARE(session->SelectedRows(), QList<int>{1});
    session->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(session->window.get()));
    QTest::keyClick(session->window.get(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(session->scripted.calls, QStringList{QStringLiteral("find:")});
  }

  // Any letter case of any script finds; the match is marked in the preview; no match says so
  // and leaves the preview empty.
  void FindInEveryScript_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mail");
    QTest::newRow("cyrillic lower case")
        << QStringLiteral("\u043a\u0430\u0437\u0430\u043d\u044c") << static_cast<int>(kCyrillic);
    QTest::newRow("accented capitals")
        << QStringLiteral("R\u00c9UNION") << static_cast<int>(kFrench);
    QTest::newRow("cyrillic capitals in the text")
        << QStringLiteral("\u041a\u0410\u0417\u0410\u041d\u0418") << static_cast<int>(kCyrillic);
    QTest::newRow("nowhere") << QStringLiteral("lighthouse") << -1;
  }

  void FindInEveryScript() {
    QFETCH(QString, text);
    QFETCH(int, mail);
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(0);
    FindSettings settings;
    settings.text = text.toStdU16String();
    session->scripted.findSettings.push_back(settings);
    QTest::mouseClick(session->window->findChild<QToolButton*>(QStringLiteral("findButton")),
                      Qt::LeftButton);
    if (mail < 0) {
      QVERIFY(session->SelectedRows().isEmpty());
      QCOMPARE(session->Status(), QStringLiteral("\"lighthouse\" not found"));
      QVERIFY(session->Preview()->toPlainText().isEmpty());
      QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-not-found")));
      return;
    }
    QCOMPARE(session->SelectedRows(), QList<int>{mail});
    PreviewView* preview = session->Preview();
    QVERIFY(!preview->extraSelections().isEmpty());
    QCOMPARE(preview->extraSelections().constFirst().cursor.selectedText().toCaseFolded(),
             text.toCaseFolded());
    QVERIFY(session->Status().isEmpty());
    QTest::qWait(50);
    QVERIFY(test::SaveTestScreenshot(*session->window,
                                     QStringLiteral("main-window-found-%1").arg(mail)));
  }

  // The quick filter narrows the list by subject, sender and recipients and counts the matches.
  void QuickFilter() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    auto* filter = session->window->findChild<QLineEdit*>(QStringLiteral("quickFilter"));
    auto* count = session->window->findChild<QLabel*>(QStringLiteral("listCount"));
    QTest::keyClicks(filter, QStringLiteral("HARBOUR"));
    QTRY_COMPARE(session->Model()->rowCount(), 3);  // two subjects and the board as recipient
    QCOMPARE(count->text(), QStringLiteral("3 of 6 mails match"));
    QTest::qWait(50);
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-filtered")));
    filter->clear();
    filter->insert(QString::fromUtf8("\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbd\xd0\xb0"));
    QTRY_COMPARE(session->Subjects(), QStringList{subjects_[kCyrillic]});
    filter->clear();
    QTRY_COMPARE(session->Model()->rowCount(), kMailCount);
    QCOMPARE(count->text(), QStringLiteral("6 mails"));
  }

  // Ctrl-click picks several mails; saving them writes each into the chosen folder.
  void SavingASelection() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->ClickCell(kPlain, MailListModel::SenderColumn);
    session->ClickCell(kFrench, MailListModel::SenderColumn, Qt::ControlModifier);
    session->ClickCell(kMultipart, MailListModel::SenderColumn, Qt::ControlModifier);
    QCOMPARE(session->SelectedRows(), (QList<int>{kPlain, kMultipart, kFrench}));
    QTemporaryDir target;
    session->scripted.folders.push_back(target.path());
    QSignalSpy ended(session->window.get(), &MainWindow::saveRunFinished);
    session->Action(QStringLiteral("saveMailEmlAction"))->trigger();
    QVERIFY(ended.wait(10000));
    QCOMPARE(session->scripted.calls.last(),
             QStringLiteral("info:Saved 3 mails!\r\nThe files are in:\r\n") +
                 QDir::toNativeSeparators(target.path()));
    const QStringList files = QDir(target.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 3);
    QByteArray everything;
    for (const QString& file : files) everything += ReadAll(QDir(target.path()).filePath(file));
    QVERIFY(everything.contains("Message-ID: <plain-1@example.org>"));
    QVERIFY(everything.contains("Message-ID: <multi-1@example.net>"));
    QVERIFY(everything.contains("Message-ID: <reunion-1@example.fr>"));
    QVERIFY(!everything.contains("Message-ID: <kazan-1@example.ru>"));
  }

  // An attachment saved from the list's menu holds the decoded bytes; "View source" shows the
  // raw mail, boundary lines and base64 included.
  void AttachmentAndSource() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    session->List()->selectRow(kCyrillic);
    // The preview shows the text and the header fields, but not the encoded file.
    const QString shown = session->Preview()->toPlainText();
    QVERIFY2(shown.contains(QString::fromUtf8("\xd0\x92\xd1\x81\xd1\x82\xd1\x80\xd0\xb5\xd1\x87"
                                              "\xd0\xb0 \xd0\xb2")),
             qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("From:")));
    QVERIFY(shown.contains(QStringLiteral("<irina@example.ru>")));
    QVERIFY(!shown.contains(QStringLiteral("UGllciBub3Rlcwo")));
    QVERIFY(!shown.contains(QStringLiteral("--kz")));

    auto* listMenu = session->window->findChild<QMenu*>(QStringLiteral("mailListMenu"));
    const QTableView* list = session->List();
    const QPoint at = list->visualRect(list->model()->index(kCyrillic, 1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    QTRY_VERIFY(listMenu->isVisible());
    auto* attachments = session->window->findChild<QMenu*>(QStringLiteral("attachmentMenu"));
    QVERIFY(attachments->menuAction()->isEnabled());
    QCOMPARE(attachments->actions().size(), 1);
    QCOMPARE(attachments->actions().constFirst()->text(), QStringLiteral("notes.txt"));
    listMenu->hide();

    QTemporaryDir target;
    const QString path = target.path() + QStringLiteral("/saved-notes.txt");
    session->scripted.files.push_back(path);
    attachments->actions().constFirst()->trigger();
    QCOMPARE(session->scripted.calls.last(), QStringLiteral("attachment:notes.txt"));
    QCOMPARE(ReadAll(path), QByteArray("Pier notes\n"));

    session->Action(QStringLiteral("viewSourceAction"))->trigger();
    auto* source = session->window->findChild<MailSourceView*>();
    QVERIFY(source);
    QVERIFY(
        source->Text().contains(QStringLiteral("\n--kz\nContent-Type: text/plain; "
                                               "name=\"notes.txt\"")));
    QVERIFY(source->Text().contains(QStringLiteral("UGllciBub3Rlcwo=")));
    QVERIFY(test::SaveTestScreenshot(*source, QStringLiteral("mail-source-view")));
    source->close();

    // The preview's own menu offers the same, beside copying.
    PreviewView* preview = session->Preview();
    const QPoint inside(20, 20);
    QContextMenuEvent onPreview(QContextMenuEvent::Mouse, inside,
                                preview->viewport()->mapToGlobal(inside));
    QApplication::sendEvent(preview->viewport(), &onPreview);
    QMenu* previewMenu = nullptr;
    QTRY_VERIFY((previewMenu = session->window->findChild<QMenu*>(QStringLiteral("previewMenu"))) &&
                previewMenu->isVisible());
    auto* previewAttachments =
        previewMenu->findChild<QMenu*>(QStringLiteral("previewAttachmentMenu"));
    QVERIFY(previewAttachments);
    QCOMPARE(previewAttachments->actions().size(), 1);
    QCOMPARE(previewAttachments->actions().constFirst()->text(), QStringLiteral("notes.txt"));
    QVERIFY(previewMenu->findChild<QAction*>(QStringLiteral("previewViewSourceAction")));
    previewMenu->close();

    // A mail without attachments offers none.
    session->List()->selectRow(kPlain);
    QApplication::sendEvent(list->viewport(), &event);
    QTRY_VERIFY(listMenu->isVisible());
    QVERIFY(!attachments->menuAction()->isEnabled());
    listMenu->hide();
  }

  // Optional columns come from the header's menu and stand in front of the subject.
  void OptionalColumns() {
    auto session = Open();
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QTableView* list = session->List();
    for (int column = MailListModel::ToColumn; column < MailListModel::ColumnCount; ++column)
      QVERIFY(list->isColumnHidden(column));
    for (int column : {MailListModel::ToColumn, MailListModel::FoundAtColumn}) {
      QAction* show = session->Action(QStringLiteral("showColumn%1").arg(column));
      QVERIFY(show);
      show->trigger();
      QVERIFY(!list->isColumnHidden(column));
      QVERIFY(list->horizontalHeader()->visualIndex(column) <
              list->horizontalHeader()->visualIndex(MailListModel::SubjectColumn));
    }
    // The French mail lies in the sixth 8 KiB slot: sector 80, its trace line some bytes in.
    QVERIFY(list->model()
                ->index(kFrench, MailListModel::FoundAtColumn)
                .data()
                .toString()
                .startsWith(QStringLiteral("80 + ")));
    QTest::qWait(50);
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-columns")));
  }

  // The close question keeps the window on Esc and on its own close button; only "Cancel" quits.
  // The scanning question keeps scanning on Esc.
  void CloseQuestionNeedsAnExplicitButton() {
    auto session = Open(true);
    QVERIFY(session);
    QVERIFY(ScanToEnd(*session));
    QString asked;
    WhenMessageBox([&asked](QMessageBox* box) {
      asked = box->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QVERIFY(!session->window->close());
    QCOMPARE(asked, ForDisplay(QString(kCloseWithUnsavedQuestion)));
    QVERIFY(session->window->isVisible());
    WhenMessageBox([](QMessageBox* box) { box->close(); });
    QVERIFY(!session->window->close());
    QVERIFY(session->window->isVisible());
    QCOMPARE(session->Model()->rowCount(), kMailCount);
    WhenMessageBox([](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); });
    QVERIFY(session->window->close());
  }

  void ScanningQuestionKeepsScanningOnEscape() {
    auto session = Open(true, true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    QString asked;
    WhenMessageBox([&asked](QMessageBox* box) {
      asked = box->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QVERIFY(!session->window->close());
    QCOMPARE(asked, ForDisplay(QString(kCloseWhileScanningQuestion)));
    QVERIFY(session->window->Status().scanning.load() || session->held.Holding());
    session->held.Release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toInt(), kMailCount);
    WhenMessageBox([](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); });
    QVERIFY(session->window->close());
  }

  // After a stop the status says that the list is partial and how far the scan got.
  void StopSaysHowFarTheScanGot() {
    auto session = Open(false, true);
    QVERIFY(session);
    QSignalSpy finished(session->window.get(), &MainWindow::scanFinished);
    QVERIFY(session->window->StartScan(image_));
    QTRY_VERIFY(session->held.Holding());
    session->scripted.answers.push_back(true);
    QTest::mouseClick(session->window->findChild<QToolButton*>(QStringLiteral("stopButton")),
                      Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QVERIFY2(session->Status().startsWith(QStringLiteral("Scan stopped at block ")),
             qPrintable(session->Status()));
    QVERIFY(session->Status().contains(
        QStringLiteral("\r\nThe list holds only the mails found before that.")));
    QVERIFY(test::SaveTestScreenshot(*session->window, QStringLiteral("main-window-stopped")));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::MainWindowListTest)
#include "main_window_list_test.moc"
