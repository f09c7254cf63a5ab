// The find search without a window: case folding in every script, the haystack, and the order
// rows are tried.
#include "ui/mail_find.h"

#include <QtTest>
#include <memory>
#include <vector>

namespace quillon {

namespace {

MailRecordPtr Mail(std::u16string subject, std::u16string from, std::u16string to,
                   std::u16string content) {
  auto record = std::make_shared<MailRecord>();
  record->SetSubjectText(std::move(subject));
  record->SetFromText(std::move(from));
  record->SetToText(std::move(to));
  MailBody body;
  body.contentText = std::move(content);
  body.closed = true;
  record->PublishBody(std::move(body));
  return record;
}

FindSettings Fields(const QString& text, const QString& fields) {
  FindSettings settings;
  settings.text = text.toStdU16String();
  settings.subject = fields.contains(QLatin1Char('s'));
  settings.sender = fields.contains(QLatin1Char('f'));
  settings.recipients = fields.contains(QLatin1Char('t'));
  settings.content = fields.contains(QLatin1Char('c'));
  return settings;
}

// The rows a search tests, in order, against rows whose outcome is given by one letter each:
// 'm' match, '.' no match, 'x' no mail behind the row.
QString Trace(const QString& rows, int selected, FindDirection direction, int& found) {
  QString tested;
  found = FindRow(static_cast<int>(rows.size()), selected, direction, [&](int row) {
    tested += QString::number(row);
    const QChar kind = rows.at(row);
    if (kind == QLatin1Char('x')) return RowTest::NoRecord;
    return kind == QLatin1Char('m') ? RowTest::Match : RowTest::NoMatch;
  });
  return tested;
}

}  // namespace

class MailFindTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstFindSearchesEveryField() {
    const FindSettings settings;
    QVERIFY(settings.text.empty());
    QVERIFY(settings.subject && settings.sender && settings.recipients && settings.content);
    QVERIFY(settings.AnyField());
    FindSettings none = Fields(QStringLiteral("x"), QString());
    QVERIFY(!none.AnyField());
    none.content = true;
    QVERIFY(none.AnyField());
  }

  void Haystack_data() {
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("haystack");
    QTest::newRow("all") << QStringLiteral("sftc") << QStringLiteral("Subj|From|To|Body");
    QTest::newRow("subject") << QStringLiteral("s") << QStringLiteral("Subj|");
    QTest::newRow("sender") << QStringLiteral("f") << QStringLiteral("From|");
    QTest::newRow("recipients") << QStringLiteral("t") << QStringLiteral("To|");
    QTest::newRow("content") << QStringLiteral("c") << QStringLiteral("Body");
    QTest::newRow("subject and content") << QStringLiteral("sc") << QStringLiteral("Subj|Body");
    QTest::newRow("none") << QString() << QString();
  }

  void Haystack() {
    QFETCH(QString, fields);
    QFETCH(QString, haystack);
    const MailRecordPtr mail = Mail(u"Subj", u"From", u"To", u"Body");
    QCOMPARE(QString::fromStdU16String(FindHaystack(*mail, Fields(QStringLiteral("x"), fields))),
             haystack);
  }

  void Matches_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<bool>("matches");
    QTest::newRow("upper finds lower") << QStringLiteral("ABC") << QStringLiteral("s") << true;
    QTest::newRow("lower finds upper") << QStringLiteral("harbour") << QStringLiteral("s") << true;
    // Every script folds, not only A to Z.
    QTest::newRow("accented capital finds its lower case")
        << QStringLiteral("CAF\u00C9") << QStringLiteral("s") << true;
    QTest::newRow("accented lower case found as written")
        << QStringLiteral("caf\u00E9") << QStringLiteral("s") << true;
    QTest::newRow("cyrillic lower finds capital")
        << QStringLiteral("\u043a\u0430\u0437\u0430\u043d\u044c") << QStringLiteral("s") << true;
    QTest::newRow("cyrillic capitals find lower")
        << QStringLiteral("\u0422\u0415\u0410\u0422\u0420") << QStringLiteral("c") << true;
    QTest::newRow("greek final sigma folds with capital")
        << QStringLiteral("\u039F\u0394\u039F\u03A3") << QStringLiteral("t") << true;
    QTest::newRow("latin letters do not match cyrillic ones")
        << QStringLiteral("KAZAN") << QStringLiteral("s") << false;
    QTest::newRow("spans two fields in any case")
        << QStringLiteral("ORG|PAUL") << QStringLiteral("ft") << true;
    QTest::newRow("sender only") << QStringLiteral("nora") << QStringLiteral("f") << true;
    QTest::newRow("sender not ticked") << QStringLiteral("nora") << QStringLiteral("stc") << false;
    QTest::newRow("recipient") << QStringLiteral("PAUL") << QStringLiteral("t") << true;
    QTest::newRow("content") << QStringLiteral("tide table") << QStringLiteral("c") << true;
    QTest::newRow("content not ticked") << QStringLiteral("tide") << QStringLiteral("sft") << false;
    QTest::newRow("spans two fields") << QStringLiteral("org|paul") << QStringLiteral("ft") << true;
    QTest::newRow("separator of a ticked field")
        << QStringLiteral("|") << QStringLiteral("s") << true;
    QTest::newRow("no field ticked") << QStringLiteral("abc") << QString() << false;
    QTest::newRow("absent text") << QStringLiteral("lighthouse") << QStringLiteral("sftc") << false;
  }

  void Matches() {
    QFETCH(QString, text);
    QFETCH(QString, fields);
    QFETCH(bool, matches);
    const MailRecordPtr mail =
        Mail(u"Abc Harbour Caf\u00E9 \u041A\u0430\u0437\u0430\u043D\u044C", u"nora@example.org",
             u"paul@example.net \u03BF\u03B4\u03BF\u03C2",
             u"The TIDE TABLE is attached. \u0442\u0435\u0430\u0442\u0440");
    QCOMPARE(MailMatches(*mail, Fields(text, fields)), matches);
  }

  void SearchOrder_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("forwards");
    QTest::addColumn<QString>("tested");
    QTest::addColumn<int>("found");
    // Forwards: after the selection, then from the top round to the selected row itself.
    QTest::newRow("next, none selected")
        << QStringLiteral("....") << -1 << true << QStringLiteral("0123") << -1;
    QTest::newRow("next, first row selected")
        << QStringLiteral("....") << 0 << true << QStringLiteral("1230") << -1;
    QTest::newRow("next, middle selected")
        << QStringLiteral("....") << 1 << true << QStringLiteral("2301") << -1;
    QTest::newRow("next, last selected wraps")
        << QStringLiteral("....") << 3 << true << QStringLiteral("0123") << -1;
    QTest::newRow("next, only the selected row holds it")
        << QStringLiteral("..m.") << 2 << true << QStringLiteral("3012") << 2;
    QTest::newRow("next, stops at the first match")
        << QStringLiteral("m.m.") << 0 << true << QStringLiteral("12") << 2;
    QTest::newRow("next, wraps to an earlier match")
        << QStringLiteral("m...") << 2 << true << QStringLiteral("30") << 0;
    QTest::newRow("next, a row without mail ends the pass")
        << QStringLiteral(".x.m") << 0 << true << QStringLiteral("10") << -1;
    QTest::newRow("next, one row selected")
        << QStringLiteral("m") << 0 << true << QStringLiteral("0") << 0;
    // Backwards: the mirror.
    QTest::newRow("previous, none selected")
        << QStringLiteral("....") << -1 << false << QStringLiteral("3210") << -1;
    QTest::newRow("previous, first row selected wraps")
        << QStringLiteral("....") << 0 << false << QStringLiteral("3210") << -1;
    QTest::newRow("previous, middle selected")
        << QStringLiteral("....") << 2 << false << QStringLiteral("1032") << -1;
    QTest::newRow("previous, last selected")
        << QStringLiteral("....") << 3 << false << QStringLiteral("2103") << -1;
    QTest::newRow("previous, only the selected row holds it")
        << QStringLiteral(".m..") << 1 << false << QStringLiteral("0321") << 1;
    QTest::newRow("previous, stops at the first match")
        << QStringLiteral("m.m.") << 3 << false << QStringLiteral("2") << 2;
    QTest::newRow("previous, a row without mail ends the pass")
        << QStringLiteral("m.x.") << 3 << false << QStringLiteral("23") << -1;
    QTest::newRow("no rows") << QString() << -1 << true << QString() << -1;
    QTest::newRow("selection beyond the rows counts as none")
        << QStringLiteral("..") << 5 << true << QStringLiteral("01") << -1;
  }

  void SearchOrder() {
    QFETCH(QString, rows);
    QFETCH(int, selected);
    QFETCH(bool, forwards);
    QFETCH(QString, tested);
    QFETCH(int, found);
    int result = -2;
    QCOMPARE(
        Trace(rows, selected, forwards ? FindDirection::Next : FindDirection::Previous, result),
        tested);
    QCOMPARE(result, found);
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::MailFindTest)
#include "mail_find_test.moc"
