// The code page chosen in the data-source dialog, as the window uses it: the scan it starts reads
// the untagged 8-bit sender, subject and body in it, and the list and the preview show them so.
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <string>

#include "ui/main_window.h"
#include "ui/preview_view.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

// Sender, subject and text in Windows-1251 bytes without any charset: "Иван", "Привет", "Текст".
test::SampleMailText UntaggedCyrillicMail() {
  test::SampleMailText mail;
  mail.subject = "\xCF\xF0\xE8\xE2\xE5\xF2";
  mail.bytes =
      "Received: from a.example.org by b.example.org; Mon, 9 Mar 2009 10:11:12 +0300\r\n"
      "From: \xC8\xE2\xE0\xED <ivan@example.org>\r\n"
      "To: Olga <olga@example.com>\r\n"
      "Subject: " +
      mail.subject +
      "\r\n"
      "Date: Mon, 9 Mar 2009 10:11:12 +0300\r\n"
      "Content-Type: text/plain\r\n"
      "\r\n"
      "\xD2\xE5\xEA\xF1\xF2\r\n";
  return mail;
}

}  // namespace

class MainWindowCodePageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(directory_.isValid());
    image_ = (directory_.path() + QStringLiteral("/cyrillic.img")).toStdString();
    test::WriteImage(image_, {UntaggedCyrillicMail()});
  }

  void ScanAndViewsReadTheChosenCodePage_data() {
    QTest::addColumn<int>("codePage");  // 0: none chosen, the environment's (1252 in the tests)
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("text");
    QTest::newRow("Cyrillic") << 1251 << QStringLiteral("Иван <ivan@example.org>")
                              << QStringLiteral("Привет") << QStringLiteral("Текст");
    QTest::newRow("CentralEuropean") << 1250 << QStringLiteral("Čâŕí <ivan@example.org>")
                                     << QStringLiteral("Ďđčâĺň") << QStringLiteral("Ňĺęńň");
    QTest::newRow("Environments") << 0 << QStringLiteral("Èâàí <ivan@example.org>")
                                  << QStringLiteral("Ïðèâåò") << QStringLiteral("Òåêñò");
  }

  void ScanAndViewsReadTheChosenCodePage() {
    QFETCH(int, codePage);
    QFETCH(QString, sender);
    QFETCH(QString, subject);
    QFETCH(QString, text);
    test::ScriptedPrompts prompts;
    MainWindowOptions options;
    options.openDataDialogOnStart = false;
    MainWindow window(prompts, options);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    prompts.sources.push_back(image_);
    if (codePage) prompts.codePages.push_back(codePage);

    QSignalSpy finished(&window, &MainWindow::scanFinished);
    QTest::mouseClick(window.findChild<QToolButton*>(QStringLiteral("dataButton")), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toInt(), 1);

    auto* list = window.findChild<QTableView*>(QStringLiteral("mailList"));
    QVERIFY(list);
    QCOMPARE(list->model()->index(0, 1).data().toString(), sender);
    QCOMPARE(list->model()->index(0, 3).data().toString(), subject);
    list->selectRow(0);
    auto* preview = window.findChild<PreviewView*>(QStringLiteral("previewView"));
    QVERIFY(preview);
    QTRY_VERIFY2(preview->toPlainText().contains(text), qPrintable(preview->toPlainText()));
  }

 private:
  QTemporaryDir directory_;
  std::string image_;
};

}  // namespace quillon

QTEST_MAIN(quillon::MainWindowCodePageTest)
#include "main_window_code_page_test.moc"
