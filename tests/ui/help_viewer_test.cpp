// The program's own guide viewer, and when the guide goes to a web browser instead.
#include "ui/help_viewer.h"

#include <QTextBrowser>
#include <QtTest>

#include "ui/help_page.h"

namespace quillon {

class HelpViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void WhatGoesToABrowser_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("browser");
    QTest::newRow("local page") << QStringLiteral("file:///usr/share/doc/quillon/help/index.html")
                                << true;
    QTest::newRow("web page") << QStringLiteral("https://quillon.example.org/") << true;
    QTest::newRow("plain web page") << QStringLiteral("HTTP://quillon.example.org/") << true;
    QTest::newRow("mail address") << QStringLiteral("mailto:support@quillon.example.org") << false;
    QTest::newRow("other scheme") << QStringLiteral("ftp://files.example.org/") << false;
  }

  void WhatGoesToABrowser() {
    QFETCH(QString, url);
    QFETCH(bool, browser);
    QCOMPARE(ShowsInBrowser(QUrl(url)), browser);
  }

  // The program named by $BROWSER counts as a browser, as xdg-open takes it.
  void BrowserFromTheEnvironment() {
    const QByteArray before = qgetenv("BROWSER");
    qputenv("BROWSER", "/no/such/browser:/bin/true %s");
    const bool found = WebBrowserInstalled();
    if (before.isNull())
      qunsetenv("BROWSER");
    else
      qputenv("BROWSER", before);
    QVERIFY(found);
  }

  // The guide shows; its own anchors stay in the viewer, addresses outside it are handed on.
  void ShowsTheGuide() {
    QList<QUrl> handedOn;
    HelpViewer viewer(HelpPageUrl(), [&handedOn](const QUrl& url) {
      handedOn << url;
      return true;
    });
    QCOMPARE(viewer.objectName(), QStringLiteral("helpViewer"));
    const QString text = viewer.Browser()->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Quillon user guide")), qPrintable(text.left(200)));
    QVERIFY(text.contains(QStringLiteral("Hide duplicates")));
    emit viewer.Browser()->anchorClicked(QUrl(QStringLiteral("https://quillon.example.org/")));
    emit viewer.Browser()->anchorClicked(QUrl(QStringLiteral("#saving")));
    QCOMPARE(handedOn, QList<QUrl>{QUrl(QStringLiteral("https://quillon.example.org/"))});
    QVERIFY(viewer.Browser()->source().isLocalFile());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::HelpViewerTest)
#include "help_viewer_test.moc"
