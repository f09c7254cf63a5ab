// The find dialog: its texts, what it starts with, and what OK refuses.
#include "ui/find_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ui/look.h"
#include "ui/window_texts.h"
#include "ui_test_support.h"

namespace quillon {

namespace {

QCheckBox* Box(const FindDialog& dialog, const char* name) {
  return dialog.findChild<QCheckBox*>(QString::fromLatin1(name));
}

QStringList BoxNames() {
  return {QStringLiteral("findInSubject"), QStringLiteral("findInSender"),
          QStringLiteral("findInRecipients"), QStringLiteral("findInContent")};
}

}  // namespace

class FindDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ApplyQuillonLook(*qApp); }

  void TextsAndFirstSettings() {
    test::ScriptedPrompts prompts;
    FindDialog dialog(prompts, FindSettings{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Find Mail"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("findPrompt"))->text(),
             QStringLiteral("Find text\nIn list window, F2 to search previous, F3 to next."));
    const QStringList captions{QStringLiteral("Find in Subject"), QStringLiteral("Find in Sender"),
                               QStringLiteral("Find in Recipients"),
                               QStringLiteral("Find in Content Text")};
    for (int index = 0; index < 4; ++index) {
      QCheckBox* box = dialog.findChild<QCheckBox*>(BoxNames().at(index));
      QVERIFY(box);
      QCOMPARE(box->text(), captions.at(index));
      QVERIFY(box->isChecked());
    }
    QVERIFY(dialog.findChild<QLineEdit*>(QStringLiteral("findText"))->text().isEmpty());
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("findOkButton"));
    QCOMPARE(ok->text(), QStringLiteral("&OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("findCancelButton"))->text(),
             QStringLiteral("&Cancel"));
    dialog.findChild<QLineEdit*>(QStringLiteral("findText"))->setText(QStringLiteral("harbour"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.palette().color(QPalette::Window), kDialogBackground);
    QCOMPARE(dialog.grab().toImage().pixelColor(2, 2), kDialogBackground);
    QVERIFY(test::SaveTestScreenshot(dialog, QStringLiteral("find-dialog")));
  }

  void FilledFromTheSettings() {
    test::ScriptedPrompts prompts;
    FindSettings settings;
    settings.text = u"tide";
    settings.sender = false;
    settings.content = false;
    FindDialog dialog(prompts, settings);
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("findText"))->text(),
             QStringLiteral("tide"));
    QCOMPARE(dialog.Settings(), settings);
  }

  // Each row: the text typed, which boxes stay ticked (s, f, t, c), the message shown (empty for
  // none) and whether the dialog closed.
  void OkChecks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("closed");
    QTest::newRow("empty text wins over no box")
        << QString() << QString() << QString(kFindTextMissing) << false;
    QTest::newRow("empty text, boxes ticked")
        << QString() << QStringLiteral("sftc") << QString(kFindTextMissing) << false;
    QTest::newRow("no box") << QStringLiteral("abc") << QString() << QString(kFindFieldMissing)
                            << false;
    QTest::newRow("one box") << QStringLiteral("abc") << QStringLiteral("c") << QString() << true;
    QTest::newRow("all boxes") << QStringLiteral("abc") << QStringLiteral("sftc") << QString()
                               << true;
    QTest::newRow("a blank is a text")
        << QStringLiteral(" ") << QStringLiteral("s") << QString() << true;
  }

  void OkChecks() {
    QFETCH(QString, text);
    QFETCH(QString, ticked);
    QFETCH(QString, message);
    QFETCH(bool, closed);
    test::ScriptedPrompts prompts;
    FindDialog dialog(prompts, FindSettings{});
    dialog.show();
    dialog.findChild<QLineEdit*>(QStringLiteral("findText"))->setText(text);
    const QString letters = QStringLiteral("sftc");
    for (int index = 0; index < 4; ++index) {
      dialog.findChild<QCheckBox*>(BoxNames().at(index))
          ->setChecked(ticked.contains(letters.at(index)));
    }
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("findOkButton")),
                      Qt::LeftButton);
    const QStringList expected =
        message.isEmpty() ? QStringList{} : QStringList{QStringLiteral("info:") + message};
    QCOMPARE(prompts.calls, expected);
    QCOMPARE(dialog.isVisible(), !closed);
    if (closed) {
      QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
      QCOMPARE(QString::fromStdU16String(dialog.Settings().text), text);
      QCOMPARE(dialog.Settings().subject, ticked.contains(QLatin1Char('s')));
      QCOMPARE(dialog.Settings().content, ticked.contains(QLatin1Char('c')));
    }
  }

  void CancelClosesWithoutChecks() {
    test::ScriptedPrompts prompts;
    FindDialog dialog(prompts, FindSettings{});
    dialog.show();
    Box(dialog, "findInSubject")->setChecked(false);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("findCancelButton")),
                      Qt::LeftButton);
    QVERIFY(prompts.calls.isEmpty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::FindDialogTest)
#include "find_dialog_test.moc"
