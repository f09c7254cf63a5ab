// The row above the list: what its count says, and a filter that waits for typing to pause.
#include "ui/list_filter_bar.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

namespace quillon {

class ListFilterBarTest : public QObject {
  Q_OBJECT

 private slots:
  void CountText_data() {
    QTest::addColumn<qulonglong>("shown");
    QTest::addColumn<qulonglong>("listed");
    QTest::addColumn<qulonglong>("hidden");
    QTest::addColumn<bool>("filtering");
    QTest::addColumn<QString>("text");
    QTest::newRow("all shown") << 12ULL << 12ULL << 0ULL << false << QStringLiteral("12 mails");
    QTest::newRow("one") << 1ULL << 1ULL << 0ULL << false << QStringLiteral("1 mail");
    QTest::newRow("empty") << 0ULL << 0ULL << 0ULL << false << QStringLiteral("0 mails");
    QTest::newRow("copies hidden")
        << 9ULL << 12ULL << 3ULL << false << QStringLiteral("9 mails (3 copies hidden)");
    QTest::newRow("one copy hidden")
        << 11ULL << 12ULL << 1ULL << false << QStringLiteral("11 mails (1 copy hidden)");
    QTest::newRow("filtering") << 2ULL << 12ULL << 0ULL << true
                               << QStringLiteral("2 of 12 mails match");
    // Hidden copies are not counted among the mails a filter looks at.
    QTest::newRow("filtering without copies")
        << 2ULL << 12ULL << 3ULL << true << QStringLiteral("2 of 9 mails match");
    QTest::newRow("filtering one")
        << 0ULL << 1ULL << 0ULL << true << QStringLiteral("0 of 1 mail match");
  }

  void CountText() {
    QFETCH(qulonglong, shown);
    QFETCH(qulonglong, listed);
    QFETCH(qulonglong, hidden);
    QFETCH(bool, filtering);
    QFETCH(QString, text);
    QCOMPARE(ListCountText(shown, listed, hidden, filtering), text);
  }

  // Typing a word filters once, after the pause; the switch reports at once.
  void FilterWaitsForAPause() {
    ListFilterBar bar;
    QSignalSpy filtered(&bar, &ListFilterBar::filterChanged);
    QSignalSpy hidden(&bar, &ListFilterBar::hideDuplicatesChanged);
    auto* field = bar.findChild<QLineEdit*>(QStringLiteral("quickFilter"));
    QTest::keyClicks(field, QStringLiteral("pier"));
    QCOMPARE(filtered.count(), 0);
    QVERIFY(filtered.wait(1000));
    QCOMPARE(filtered.count(), 1);
    QCOMPARE(filtered.at(0).at(0).toString(), QStringLiteral("pier"));
    QCOMPARE(bar.FilterText(), QStringLiteral("pier"));
    bar.findChild<QCheckBox*>(QStringLiteral("hideDuplicates"))->click();
    QCOMPARE(hidden.count(), 1);
    QVERIFY(bar.HideDuplicates());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::ListFilterBarTest)
#include "list_filter_bar_test.moc"
