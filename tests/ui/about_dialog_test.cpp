// The about box: its texts, its links handed to the desktop, and OK.
#include "ui/about_dialog.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ui/help_page.h"
#include "ui/link_label.h"
#include "ui/look.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

class AboutDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ApplyQuillonLook(*qApp); }

  void Texts() {
    test::ScriptedPrompts prompts;
    AboutDialog dialog(prompts);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Quillon"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("aboutProductName"))->text(),
             QStringLiteral("Quillon V1.7"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(test::SaveTestScreenshot(dialog, QStringLiteral("about-dialog")));
  }

  void LinksOpenTheirTargets_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::newRow("user guide") << QStringLiteral("aboutSiteLink") << HelpPageUrl().toString();
    QTest::newRow("support") << QStringLiteral("aboutSupportLink") << QString(kSupportAddress);
  }

  void LinksOpenTheirTargets() {
    QFETCH(QString, link);
    QFETCH(QString, target);
    test::ScriptedPrompts prompts;
    AboutDialog dialog(prompts);
    dialog.show();
    auto* label = dialog.findChild<LinkLabel*>(link);
    QVERIFY(label);
    QVERIFY(!label->Visited());
    QVERIFY(label->font().underline());
    const QColor fresh = label->palette().color(QPalette::WindowText);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(prompts.calls, QStringList{QStringLiteral("open:") + target});
    QVERIFY(label->Visited());
    QVERIFY(label->palette().color(QPalette::WindowText) != fresh);
    // A right click opens nothing.
    QTest::mouseClick(label, Qt::RightButton);
    QCOMPARE(prompts.calls.size(), 1);
  }

  // Nothing could open the target: a beep, and the link keeps its colour.
  void LinkThatCannotOpenStaysUnvisited() {
    test::ScriptedPrompts prompts;
    prompts.openSucceeds = false;
    AboutDialog dialog(prompts);
    dialog.show();
    auto* label = dialog.findChild<LinkLabel*>(QStringLiteral("aboutSupportLink"));
    const QColor fresh = label->palette().color(QPalette::WindowText);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(prompts.calls, QStringList{QStringLiteral("open:") + QString(kSupportAddress)});
    QVERIFY(!label->Visited());
    QCOMPARE(label->palette().color(QPalette::WindowText), fresh);
  }

  // The guide ships with the program; a build-tree binary finds the build's copy of it.
  void GuideIsALocalPage() {
    const QUrl guide = HelpPageUrl();
    QVERIFY(guide.isLocalFile());
    QVERIFY2(QFileInfo::exists(guide.toLocalFile()), qPrintable(guide.toLocalFile()));
    QVERIFY(guide.toLocalFile().endsWith(QStringLiteral("help/index.html")));
    QFile page(guide.toLocalFile());
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("<title>Quillon user guide</title>"));
  }

  void OkCloses() {
    test::ScriptedPrompts prompts;
    AboutDialog dialog(prompts);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("aboutOkButton")),
                      Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::AboutDialogTest)
#include "about_dialog_test.moc"
