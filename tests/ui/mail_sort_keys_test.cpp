// What the list sorts by: the time a date names, a sender's display name, and text prefixes
// that order like the texts they come from.
#include "ui/mail_sort_keys.h"

#include <QtTest>
#include <random>

namespace quillon {

namespace {

// Seconds of 2009-03-09 00:00:00.
constexpr qint64 kMarch9 = 1236556800;

}  // namespace

class MailSortKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void DateTimes_data() {
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("normalised") << QByteArray("2009-03-09 10:11:12") << true << kMarch9 + 36672;
    QTest::newRow("RFC 5322, zone left aside")
        << QByteArray("Mon, 9 Mar 2009 10:11:12 +0800") << true << kMarch9 + 36672;
    QTest::newRow("no weekday, no seconds")
        << QByteArray("9 Mar 2009 10:11") << true << kMarch9 + 36660;
    QTest::newRow("full month name, lower case")
        << QByteArray("9 march 2009 10:11:12") << true << kMarch9 + 36672;
    QTest::newRow("asctime") << QByteArray("Mon Mar  9 10:11:12 2009") << true << kMarch9 + 36672;
    QTest::newRow("ISO with T") << QByteArray("2009-03-09T10:11:12Z") << true << kMarch9 + 36672;
    // RFC 5322 4.3: 49 is 2049, 50 is 1950; three digits add 1900.
    QTest::newRow("two-digit year 09")
        << QByteArray("9 Mar 09 10:11:12") << true << kMarch9 + 36672;
    QTest::newRow("two-digit year 50")
        << QByteArray("1 Jan 50 00:00:00") << true << qint64(-631152000);
    QTest::newRow("three-digit year")
        << QByteArray("1 Jan 109 00:00:00") << true << qint64(1230768000);
    // Years the normalisation leaves alone still sort by their time.
    QTest::newRow("year 2077") << QByteArray("Fri, 1 Jan 2077 00:00:00 +0000") << true
                               << qint64(3376684800);
    QTest::newRow("year 1985") << QByteArray("Tue, 1 Jan 1985 00:00:01 GMT") << true
                               << qint64(473385601);
    QTest::newRow("month the normalisation missed")
        << QByteArray("2009-00-09 10:11:12") << true << qint64(1231495872);
    QTest::newRow("time out of range is left aside")
        << QByteArray("9 Mar 2009 99:99:99") << true << kMarch9;
    QTest::newRow("no month") << QByteArray("9 2009 10:11:12") << false << qint64(0);
    QTest::newRow("no year") << QByteArray("Mon, 9 Mar") << false << qint64(0);
    QTest::newRow("day out of range") << QByteArray("32 Mar 2009") << false << qint64(0);
    QTest::newRow("words") << QByteArray("yesterday, late") << false << qint64(0);
    QTest::newRow("empty") << QByteArray() << false << qint64(0);
  }

  void DateTimes() {
    QFETCH(QByteArray, date);
    QFETCH(bool, parsed);
    QFETCH(qint64, seconds);
    const std::optional<std::int64_t> result = DateSortSeconds(date.toStdString());
    QCOMPARE(result.has_value(), parsed);
    if (parsed) QCOMPARE(static_cast<qint64>(*result), seconds);
  }

  void DisplayNames_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("quoted name") << QStringLiteral("\"Nora Quill\" <nora@x>")
                                 << QStringLiteral("Nora Quill");
    QTest::newRow("plain name") << QStringLiteral("Nora Quill <nora@x>")
                                << QStringLiteral("Nora Quill");
    QTest::newRow("blanks around")
        << QStringLiteral("  \" Nora \"  <nora@x>  ") << QStringLiteral("Nora");
    QTest::newRow("empty quotes") << QStringLiteral("\"\" <nora@x>") << QStringLiteral("nora@x");
    QTest::newRow("address in brackets") << QStringLiteral("<nora@x>") << QStringLiteral("nora@x");
    QTest::newRow("bare address") << QStringLiteral("nora@x") << QStringLiteral("nora@x");
    QTest::newRow("comment") << QStringLiteral("nora@x (Nora Quill)")
                             << QStringLiteral("Nora Quill");
    QTest::newRow("empty comment") << QStringLiteral("nora@x ()") << QStringLiteral("nora@x");
    QTest::newRow("unclosed quote") << QStringLiteral("\"Nora") << QStringLiteral("Nora");
    QTest::newRow("cyrillic") << QStringLiteral("\"\u0418\u0432\u0430\u043d\" <i@x>")
                              << QStringLiteral("\u0418\u0432\u0430\u043d");
    QTest::newRow("empty") << QString() << QString();
  }

  void DisplayNames() {
    QFETCH(QString, address);
    QFETCH(QString, name);
    QCOMPARE(DisplayNameOf(address).toString(), name);
  }

  // Random texts with long shared beginnings sort like a plain sort of their folded forms;
  // equal ones keep their order.
  void FoldedTextsSortLikeTheirFoldedForms() {
    std::mt19937 random(7);
    const QString alphabet = QStringLiteral("aAbB\u00e9\u00c9\u0436\u0416 z");
    const QStringList beginnings = {QString(), QStringLiteral("Re: Subject "),
                                    QStringLiteral("RE: SUBJECT NUMBER "), QString(30, u'x')};
    std::vector<QString> texts;
    for (int i = 0; i < 3000; ++i) {
      QString text = beginnings.at(static_cast<qsizetype>(random() % beginnings.size()));
      const int length = static_cast<int>(random() % 20);
      for (int j = 0; j < length; ++j) text += alphabet.at(random() % alphabet.size());
      texts.push_back(text);
    }
    FoldedTexts folded;
    for (const QString& text : texts) folded.Add(text);
    std::vector<std::uint32_t> order(texts.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<std::uint32_t> expected = order;
    SortFoldedTexts(folded, order);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t left, std::uint32_t right) {
                       return texts[left].toCaseFolded() < texts[right].toCaseFolded();
                     });
    QVERIFY(order == expected);
  }

  // Characters beyond U+FFFF (emoji, historic scripts) sort after every character below it, as
  // their code points do, although their UTF-16 units lie below U+E000.
  void SortsByCharacterNotByUnit_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("fullwidth bracket before emoji")
        << QStringLiteral("\uFF08note\uFF09") << QStringLiteral("\U0001F389 Party");
    QTest::newRow("replacement character before a letter beyond the BMP")
        << QStringLiteral("\uFFFD\uFFFD") << QStringLiteral("\U00010428");
    QTest::newRow("private use before emoji in the second eight")
        << QStringLiteral("Subject:\uE000") << QStringLiteral("Subject:\U0001F389");
    QTest::newRow("cjk before emoji") << QStringLiteral("\u5B63") << QStringLiteral("\U0001F389");
    QTest::newRow("emoji before a later emoji")
        << QStringLiteral("\U0001F389") << QStringLiteral("\U0001F38A");
  }

  void SortsByCharacterNotByUnit() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    FoldedTexts folded;
    folded.Add(second);
    folded.Add(first);
    std::vector<std::uint32_t> order{0, 1};
    SortFoldedTexts(folded, order);
    QCOMPARE(order, (std::vector<std::uint32_t>{1, 0}));
  }

  // Only the first 255 characters are compared: rows that differ further on keep their order.
  void SortComparesTheFirst255Characters() {
    FoldedTexts folded;
    folded.Add(QString(255, u'a') + u'z');
    folded.Add(QString(255, u'a') + u'b');
    folded.Add(QString(254, u'a') + u'B');
    folded.Add(QString(254, u'a') + u'c');
    QCOMPARE(folded.At(0).size(), std::size_t{255});
    std::vector<std::uint32_t> order{0, 1, 2, 3};
    SortFoldedTexts(folded, order);
    QCOMPARE(order, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    std::vector<std::uint32_t> shuffled{3, 1, 2, 0};
    SortFoldedTexts(folded, shuffled);
    QCOMPARE(shuffled, (std::vector<std::uint32_t>{0, 1, 2, 3}));
  }

  void Contains_data() {
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("found");
    QTest::newRow("ascii any case")
        << QStringLiteral("Harbour Caf\u00e9") << QStringLiteral("HARB") << true;
    QTest::newRow("accented capital")
        << QStringLiteral("r\u00e9union") << QStringLiteral("R\u00c9U") << true;
    QTest::newRow("cyrillic") << QStringLiteral("\u041a\u0430\u0437\u0430\u043d\u044c")
                              << QStringLiteral("\u043a\u0430\u0437") << true;
    QTest::newRow("greek sigma forms") << QStringLiteral("\u039F\u0394\u039F\u03A3")
                                       << QStringLiteral("\u03bf\u03b4\u03bf\u03c2") << true;
    QTest::newRow("other script") << QStringLiteral("Kazan") << QStringLiteral("\u041a\u0430")
                                  << false;
    QTest::newRow("longer than the text") << QStringLiteral("ab") << QStringLiteral("abc") << false;
    QTest::newRow("empty needle") << QStringLiteral("ab") << QString() << true;
  }

  void Contains() {
    QFETCH(QString, haystack);
    QFETCH(QString, needle);
    QFETCH(bool, found);
    std::u16string foldedNeedle;
    AppendFolded(needle, foldedNeedle);
    std::u16string buffer;
    QCOMPARE(ContainsFolded(haystack, foldedNeedle, buffer), found);
  }

  // Joined fields are searched whole, but no match spans two of them.
  void JoinedFields() {
    FoldedTexts folded;
    folded.AddJoined({u"Subject Line", u"Nora", u"Paul"});
    std::u16string needle;
    AppendFolded(u"LINE", needle);
    QVERIFY(folded.At(0).find(needle) != std::u16string_view::npos);
    needle.clear();
    AppendFolded(u"linenora", needle);
    QVERIFY(folded.At(0).find(needle) == std::u16string_view::npos);
    QCOMPARE(folded.Size(), std::size_t{1});
  }

  void FoldedComparison() {
    QVERIFY(CompareFolded(u"apple", u"Banana") < 0);
    QVERIFY(CompareFolded(u"\u00e9t\u00e9", u"\u00c9T\u00c9") != 0);  // case still tells apart
    // Letters beyond A to Z order by their code, not by a language's alphabet.
    QVERIFY(CompareFolded(u"\u00e9t\u00e9", u"f") > 0);
    QCOMPARE(CompareFolded(u"same", u"same"), 0);
  }
};

}  // namespace quillon

QTEST_APPLESS_MAIN(quillon::MailSortKeysTest)
#include "mail_sort_keys_test.moc"
