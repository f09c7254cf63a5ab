// A scan of a source with sectors that cannot be read, as the window shows it: the damaged mail
// gains its "D" in the list once the scan ends, and the status line names the sectors.
#include <QMap>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <string>
#include <thread>

#include "scan/scan_driver.h"
#include "source/memory_source.h"
#include "ui/mail_list_model.h"
#include "ui/main_window.h"
#include "ui/text_progress_bar.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

std::string Mail(const std::string& subject, int bodyLines) {
  std::string text =
      "\r\nReceived: from a.example.org by b.example.org; Mon, 9 Mar 2009 10:11:12 +0800\r\n"
      "Received: from c.example.org by a.example.org; Mon, 9 Mar 2009 10:11:10 +0800\r\n"
      "From: Alice <alice@example.org>\r\nTo: Bob <bob@example.com>\r\nSubject: " +
      subject + "\r\nDate: Mon, 9 Mar 2009 10:11:12 +0800\r\n\r\n";
  for (int i = 0; i < bodyLines; ++i) text += "A line of the body that goes on for a while\r\n";
  return text;
}

// Two mails; sectors 21 and 22 lie in the first one's body, sector 300 in nothing.
std::vector<std::uint8_t> ImageBytes() {
  std::string image(400 * 512, '\0');
  const std::string damaged = Mail("Damaged", 60);
  const std::string whole = Mail("Whole", 3);
  image.replace(20 * 512 + 30, damaged.size(), damaged);
  image.replace(200 * 512, whole.size(), whole);
  return {image.begin(), image.end()};
}

ScanStarter FailingSourceStarter() {
  return
      [](const std::string& name, ScanStatus& status, FoundMails& mails, ScanObserver& observer) {
        return std::thread([name, &status, &mails, &observer] {
          DataSource source;
          source.OpenBackend(MakeMemoryBackend(ImageBytes(), {21, 22, 300}), name);
          (void)RunScan(source, {}, status, mails, observer);
        });
      };
}

}  // namespace

class DamagedMailTest : public QObject {
  Q_OBJECT

 private slots:
  void RefreshMarksShowsTheDamageOnceKnown() {
    MailListModel model;
    auto damaged = std::make_shared<MailRecord>();
    auto whole = std::make_shared<MailRecord>();
    damaged->priority = 1;
    model.InsertAtTop(whole);
    model.InsertAtTop(damaged);
    QCOMPARE(model.Text(0, MailListModel::MarksColumn), QStringLiteral("!"));
    damaged->damaged = true;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.RefreshMarks();
    QCOMPARE(model.Text(0, MailListModel::MarksColumn), QStringLiteral("!D"));
    QCOMPARE(model.Text(1, MailListModel::MarksColumn), QStringLiteral(" "));
    QCOMPARE(changed.count(), 1);
    QVERIFY(model.index(0, MailListModel::MarksColumn)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QString(kDamagedMailTip)));
    QVERIFY(model.index(1, MailListModel::MarksColumn).data(Qt::ToolTipRole).toString().isEmpty());
  }

  void ScanOfAFailingSourceMarksTheMailAndNamesTheSectors() {
    test::ScriptedPrompts prompts;
    MainWindowOptions options;
    options.openDataDialogOnStart = false;
    options.scanStarter = FailingSourceStarter();
    MainWindow window(prompts, options);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy finished(&window, &MainWindow::scanFinished);
    QVERIFY(window.StartScan("failing.img"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toInt(), 2);

    const auto* bar = window.findChild<TextProgressBar*>(QStringLiteral("progressBar"));
    QVERIFY(bar);
    QCOMPARE(bar->Text(), QStringLiteral("Found 2 Mails\r\n3 unreadable sectors: 21-22, 300"));
    const auto* list = window.findChild<QTableView*>(QStringLiteral("mailList"));
    QVERIFY(list);
    QMap<QString, QString> marks;  // subject -> marks
    for (int row = 0; row < list->model()->rowCount(); ++row) {
      marks.insert(list->model()->index(row, MailListModel::SubjectColumn).data().toString(),
                   list->model()->index(row, MailListModel::MarksColumn).data().toString());
    }
    QCOMPARE(marks.value(QStringLiteral("Damaged")), QStringLiteral(" D"));
    QCOMPARE(marks.value(QStringLiteral("Whole")), QStringLiteral(" "));
  }

  // A scan without failures leaves the status line as it always was: empty at the end.
  void ScanWithoutFailuresSaysNothingOfThem() {
    test::ScriptedPrompts prompts;
    MainWindowOptions options;
    options.openDataDialogOnStart = false;
    options.scanStarter = [](const std::string& name, ScanStatus& status, FoundMails& mails,
                             ScanObserver& observer) {
      return std::thread([name, &status, &mails, &observer] {
        DataSource source;
        source.OpenBackend(MakeMemoryBackend(ImageBytes()), name);
        (void)RunScan(source, {}, status, mails, observer);
      });
    };
    MainWindow window(prompts, options);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy finished(&window, &MainWindow::scanFinished);
    QVERIFY(window.StartScan("whole.img"));
    QVERIFY(finished.wait(10000));
    const auto* bar = window.findChild<TextProgressBar*>(QStringLiteral("progressBar"));
    QVERIFY(bar);
    QVERIFY(bar->Text().isEmpty());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::DamagedMailTest)
#include "damaged_mail_test.moc"
