// The mail list's rows and their texts, tested on the model without a view.
#include "ui/mail_list_model.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "text/code_page.h"

namespace quillon {

namespace {

MailRecordPtr Record(std::u16string subject, std::int16_t priority = 0) {
  auto record = std::make_shared<MailRecord>();
  record->subjectText = std::move(subject);
  record->fromText = u"Alice Example <alice@example.org>";
  record->date = "2009-03-09 10:11:12";
  record->priority = priority;
  return record;
}

QStringList Subjects(const MailListModel& model) {
  QStringList subjects;
  for (int row = 0; row < model.rowCount(); ++row)
    subjects << model.index(row, MailListModel::SubjectColumn).data().toString();
  return subjects;
}

}  // namespace

class MailListModelTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetAnsiCodePage(1252); }

  void MarksText_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<bool>("xAttachment");
    QTest::addColumn<bool>("mimePart");
    QTest::addColumn<QString>("marks");
    QTest::newRow("normal") << 0 << false << false << QStringLiteral(" ");
    QTest::newRow("highest") << 1 << false << false << QStringLiteral("!");
    QTest::newRow("high") << 2 << false << false << QStringLiteral("!");
    QTest::newRow("priority 3 is normal") << 3 << false << false << QStringLiteral(" ");
    QTest::newRow("lowest") << 5 << false << false << QStringLiteral(" ");
    QTest::newRow("negative") << -1 << false << false << QStringLiteral(" ");
    QTest::newRow("X-Attachment line") << 0 << true << false << QStringLiteral(" &");
    QTest::newRow("MIME part") << 0 << false << true << QStringLiteral(" &");
    QTest::newRow("urgent with both") << 1 << true << true << QStringLiteral("!&");
  }

  void MarksText() {
    QFETCH(int, priority);
    QFETCH(bool, xAttachment);
    QFETCH(bool, mimePart);
    QFETCH(QString, marks);
    MailRecordPtr record = Record(u"Hello", static_cast<std::int16_t>(priority));
    if (xAttachment) record->attachments.push_back(PartEntry{"a.txt", "", u"a.txt", "", 10});
    if (mimePart) {
      MailBody body;
      body.parts.push_back(PartEntry{"b.pdf", "application/pdf", u"b.pdf", "base64", 20});
      body.closed = true;
      record->PublishBody(std::move(body));
    }
    QCOMPARE(RowTextsOf(*record).marks, marks);
  }

  void ColumnTexts_data() {
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QString>("shownDate");
    QTest::newRow("normalised") << QByteArray("2009-03-09 10:11:12")
                                << QStringLiteral("2009-03-09 10:11:12");
    // An unparsed date is shown as carved, read in the ANSI code page (1252 here).
    QTest::newRow("8-bit as carved")
        << QByteArray("Lun, 9 f\xe9v 1990") << QString::fromUtf8("Lun, 9 f\xc3\xa9v 1990");
    QTest::newRow("empty") << QByteArray() << QString();
  }

  void ColumnTexts() {
    QFETCH(QByteArray, date);
    QFETCH(QString, shownDate);
    MailRecordPtr record = Record(u"\u5b63\u5ea6\u62a5\u544a");
    record->date = date.toStdString();
    MailListModel model;
    model.InsertAtTop(record);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.index(0, MailListModel::SenderColumn).data().toString(),
             QStringLiteral("Alice Example <alice@example.org>"));
    QCOMPARE(model.index(0, MailListModel::DateColumn).data().toString(), shownDate);
    QCOMPARE(model.index(0, MailListModel::SubjectColumn).data().toString(),
             QString::fromUtf16(u"\u5b63\u5ea6\u62a5\u544a"));
  }

  void HeaderTexts() {
    MailListModel model;
    const QStringList expected = {QStringLiteral("!&"), QStringLiteral("Sender"),
                                  QStringLiteral("Date"), QStringLiteral("Subject")};
    for (int column = 0; column < 4; ++column)
      QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
    QVERIFY(!model.headerData(4, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
  }

  void ColumnWidths() {
    QCOMPARE(DefaultColumnWidth(MailListModel::MarksColumn), 25);
    QCOMPARE(DefaultColumnWidth(MailListModel::SenderColumn), 200);
    QCOMPARE(DefaultColumnWidth(MailListModel::DateColumn), 130);
    QCOMPARE(DefaultColumnWidth(MailListModel::SubjectColumn), 800);
  }

  // Rows found during a scan go to the top, so the newest is first.
  void InsertAtTopPutsNewestFirst() {
    MailListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (const char16_t* subject : {u"first", u"second", u"third"})
      model.InsertAtTop(Record(subject));
    QCOMPARE(Subjects(model), (QStringList{"third", "second", "first"}));
    QCOMPARE(inserted.count(), 3);
    for (const QList<QVariant>& arguments : inserted) {
      QCOMPARE(arguments.at(1).toInt(), 0);
      QCOMPARE(arguments.at(2).toInt(), 0);
    }
  }

  // Listing a folder keeps the found order, and replaces what was listed before.
  void SetMailsKeepsFoundOrder() {
    MailListModel model;
    model.InsertAtTop(Record(u"left over"));
    const std::vector<MailRecordPtr> folder = {Record(u"a"), nullptr, Record(u"b"), Record(u"c")};
    model.SetMails(folder);
    QCOMPARE(Subjects(model), (QStringList{"a", "b", "c"}));
    QCOMPARE(model.RecordAt(0), folder[0]);
    QCOMPARE(model.RecordAt(2), folder[3]);
  }

  void RecordAtOutsideTheRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("present");
    QTest::newRow("below") << -1 << false;
    QTest::newRow("first") << 0 << true;
    QTest::newRow("last") << 1 << true;
    QTest::newRow("above") << 2 << false;
  }

  void RecordAtOutsideTheRows() {
    QFETCH(int, row);
    QFETCH(bool, present);
    MailListModel model;
    model.SetMails({Record(u"a"), Record(u"b")});
    QCOMPARE(model.RecordAt(row) != nullptr, present);
    QCOMPARE(model.index(row, 0).data().isValid(), present);
  }

  void ClearEmptiesTheList() {
    MailListModel model;
    model.SetMails({Record(u"a"), Record(u"b")});
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(reset.count(), 1);
    model.Clear();  // already empty: views are not disturbed
    QCOMPARE(reset.count(), 1);
  }

  void NullRecordIsNotListed() {
    MailListModel model;
    model.InsertAtTop(nullptr);
    QCOMPARE(model.rowCount(), 0);
  }

  void SortTextOrder_data() {
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<bool>("less");
    QTest::newRow("absent before text") << QString() << QStringLiteral("a") << true;
    QTest::newRow("text after absent") << QStringLiteral("a") << QString() << false;
    QTest::newRow("two absent are equal") << QString() << QString() << false;
    QTest::newRow("absent before a blank") << QString() << QStringLiteral(" ") << true;
    QTest::newRow("capitals first") << QStringLiteral("Zed") << QStringLiteral("abc") << true;
    QTest::newRow("case-sensitive") << QStringLiteral("abc") << QStringLiteral("Abc") << false;
    QTest::newRow("prefix first") << QStringLiteral("ab") << QStringLiteral("abc") << true;
    QTest::newRow("code units, not letters")
        << QStringLiteral("\u00E9") << QStringLiteral("f") << false;
    QTest::newRow("surrogates after the BMP below them")
        << QStringLiteral("\U0001F600") << QStringLiteral("\uFF21") << true;
    QTest::newRow("equal") << QStringLiteral("same") << QStringLiteral("same") << false;
    QTest::newRow("256th character ignored")
        << QString(255, u'a') + u'b' << QString(255, u'a') + u'a' << false;
    QTest::newRow("255th character counts")
        << QString(254, u'a') + u'a' << QString(254, u'a') + u'b' << true;
  }

  void SortTextOrder() {
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(bool, less);
    QCOMPARE(SortTextLess(left, right), less);
  }

  // Clicks on columns: ascending, then descending on the same one, ascending on another.
  void SortByClicks() {
    MailListModel model;
    std::vector<MailRecordPtr> records;
    const std::vector<std::pair<std::u16string, std::u16string>> rows{
        {u"b", u"2009-03-10 08:30:00"},
        {u"", u"2009-03-11 17:45:09"},
        {u"B", u"2008-12-31 23:59:59"},
        {u"a", u""}};
    for (const auto& [sender, date] : rows) {
      MailRecordPtr record = Record(sender + u" subject");
      record->fromText = sender;
      record->date = QString::fromStdU16String(date).toStdString();
      records.push_back(record);
    }
    model.SetMails(records);
    QCOMPARE(model.SortColumn(), -1);
    const auto senders = [&model] {
      QStringList texts;
      for (int row = 0; row < model.rowCount(); ++row)
        texts << model.Text(row, MailListModel::SenderColumn);
      return texts;
    };
    struct Click {
      int column;
      Qt::SortOrder order;
      QStringList senders;
    };
    const std::vector<Click> clicks{
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "B", "a", "b"}},
        {MailListModel::SenderColumn, Qt::DescendingOrder, {"b", "a", "B", ""}},
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "B", "a", "b"}},
        {MailListModel::SenderColumn, Qt::DescendingOrder, {"b", "a", "B", ""}},
        // Another column starts ascending whatever the last order; "Date" sorts by its text.
        {MailListModel::DateColumn, Qt::AscendingOrder, {"a", "B", "b", ""}},
        {MailListModel::DateColumn, Qt::DescendingOrder, {"", "b", "B", "a"}},
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "B", "a", "b"}},
    };
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    int expectedResets = 0;
    for (const Click& click : clicks) {
      QCOMPARE(model.SortByClick(click.column), click.order);
      QCOMPARE(model.SortColumn(), click.column);
      QCOMPARE(model.SortOrder(), click.order);
      QCOMPARE(senders(), click.senders);
      QCOMPARE(resets.count(), ++expectedResets);
    }
    // The rows keep their mails.
    for (int row = 0; row < model.rowCount(); ++row)
      QCOMPARE(QString::fromStdU16String(model.RecordAt(row)->fromText), senders().at(row));
    // Listing the folder again forgets the sort.
    model.SetMails(records);
    QCOMPARE(model.SortColumn(), -1);
    QCOMPARE(model.Text(0, MailListModel::SenderColumn), QStringLiteral("b"));
  }

  // Fewer than two rows are not sorted at all, though the click still counts for the order.
  void ShortListsAreNotResorted_data() {
    QTest::addColumn<int>("rows");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
  }

  void ShortListsAreNotResorted() {
    QFETCH(int, rows);
    MailListModel model;
    std::vector<MailRecordPtr> records;
    for (int row = 0; row < rows; ++row) records.push_back(Record(u"only"));
    model.SetMails(records);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &QAbstractItemModel::layoutChanged);
    QCOMPARE(model.SortByClick(MailListModel::SubjectColumn), Qt::AscendingOrder);
    QCOMPARE(model.SortByClick(MailListModel::SubjectColumn), Qt::DescendingOrder);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(model.rowCount(), rows);
  }

  void EveryColumnStartsAscending() {
    MailListModel model;
    for (int column = 0; column < MailListModel::ColumnCount; ++column) {
      QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::InitialSortOrderRole).toInt(),
               static_cast<int>(Qt::AscendingOrder));
    }
  }
};

}  // namespace quillon

QTEST_APPLESS_MAIN(quillon::MailListModelTest)
#include "mail_list_model_test.moc"
