// The mail list's rows, their texts, filters and sorting, tested on the model without a view.
#include "ui/mail_list_model.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <random>
#include <unordered_map>

#include "text/code_page.h"
#include "ui/mail_sort_keys.h"

namespace quillon {

namespace {

MailRecordPtr Record(std::u16string subject, std::int16_t priority = 0) {
  auto record = std::make_shared<MailRecord>();
  record->SetSubjectText(std::move(subject));
  record->SetFromText(u"Alice Example <alice@example.org>");
  record->date = "2009-03-09 10:11:12";
  record->priority = priority;
  return record;
}

MailRecordPtr Copy(std::u16string subject, std::int64_t of) {
  MailRecordPtr record = Record(std::move(subject));
  record->duplicateOf = of;
  return record;
}

QStringList Column(const MailListModel& model, int column) {
  QStringList texts;
  for (int row = 0; row < model.rowCount(); ++row) texts << model.Text(row, column);
  return texts;
}

QStringList Subjects(const MailListModel& model) {
  return Column(model, MailListModel::SubjectColumn);
}

}  // namespace

class MailListModelTest : public QObject {
  Q_OBJECT

 private slots:
  void MarksText_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<bool>("xAttachment");
    QTest::addColumn<bool>("mimePart");
    QTest::addColumn<int>("duplicateOf");
    QTest::addColumn<int>("partOf");
    QTest::addColumn<QString>("marks");
    QTest::newRow("normal") << 0 << false << false << -1 << -1 << QStringLiteral(" ");
    QTest::newRow("highest") << 1 << false << false << -1 << -1 << QStringLiteral("!");
    QTest::newRow("high") << 2 << false << false << -1 << -1 << QStringLiteral("!");
    QTest::newRow("priority 3 is normal") << 3 << false << false << -1 << -1 << QStringLiteral(" ");
    QTest::newRow("lowest") << 5 << false << false << -1 << -1 << QStringLiteral(" ");
    QTest::newRow("negative") << -1 << false << false << -1 << -1 << QStringLiteral(" ");
    QTest::newRow("X-Attachment line") << 0 << true << false << -1 << -1 << QStringLiteral(" &");
    QTest::newRow("MIME part") << 0 << false << true << -1 << -1 << QStringLiteral(" &");
    QTest::newRow("urgent with both") << 1 << true << true << -1 << -1 << QStringLiteral("!&");
    QTest::newRow("copy of mail 1") << 0 << false << false << 0 << -1 << QStringLiteral(" =");
    QTest::newRow("inside mail 3") << 0 << false << false << -1 << 2 << QStringLiteral(" ^");
    QTest::newRow("everything") << 2 << false << true << 4 << 7 << QStringLiteral("!&=^");
  }

  void MarksText() {
    QFETCH(int, priority);
    QFETCH(bool, xAttachment);
    QFETCH(bool, mimePart);
    QFETCH(int, duplicateOf);
    QFETCH(int, partOf);
    QFETCH(QString, marks);
    MailRecordPtr record = Record(u"Hello", static_cast<std::int16_t>(priority));
    record->duplicateOf = duplicateOf;
    record->partOf = partOf;
    if (xAttachment) record->attachments.push_back(PartEntry{"a.txt", "", u"a.txt", "", 10});
    MailBody body;
    if (mimePart)
      body.parts.push_back(PartEntry{"b.pdf", "application/pdf", u"b.pdf", "base64", 20});
    body.closed = true;
    record->PublishBody(std::move(body));
    QCOMPARE(RowTextsOf(*record, 1252).marks, marks);
    MailListModel model;
    model.InsertAtTop(record);
    QCOMPARE(model.Text(0, MailListModel::MarksColumn), marks);
  }

  // A date the mail wrote in 8-bit text shows in the code page set; the rows shown change at once,
  // and an order by date, which reads the time the date names, stays.
  void DatesFollowTheCodePage() {
    MailListModel model;
    MailRecordPtr written = Record(u"written");
    written->date = "\xCF\xF0\xE8";
    model.SetMails({Record(u"normalised"), written});
    model.SetAnsiCodePage(1252);
    QCOMPARE(model.Text(1, MailListModel::DateColumn), QStringLiteral("Ïðè"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetAnsiCodePage(1251);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>().column(), int(MailListModel::DateColumn));
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), 1);
    QCOMPARE(model.Text(1, MailListModel::DateColumn), QStringLiteral("При"));
    QCOMPARE(model.Text(0, MailListModel::DateColumn), QStringLiteral("2009-03-09 10:11:12"));
    QCOMPARE(RowTextsOf(*written, 1251).date, QStringLiteral("При"));
    model.SetAnsiCodePage(1251);
    QCOMPARE(changed.count(), 1);  // the same page again changes nothing
  }

  // Copies say which mail they copy, and step back in grey.
  void CopiesAreExplainedAndGreyed() {
    MailListModel model;
    model.SetMails({Record(u"first"), Copy(u"first", 0)});
    const QModelIndex copyMarks = model.index(1, MailListModel::MarksColumn);
    QVERIFY(copyMarks.data(Qt::ToolTipRole).toString().contains(QStringLiteral("copy of mail 1")));
    QVERIFY(copyMarks.data(Qt::ForegroundRole).isValid());
    QVERIFY(!model.index(0, MailListModel::SubjectColumn).data(Qt::ForegroundRole).isValid());
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
    record->SetToText(u"Bob <bob@example.com>");
    record->startSector = 32768;
    record->sectorOffset = 77;
    record->attachments.push_back(PartEntry{"a.txt", "", u"a.txt", "", 10});
    MailBody body;
    body.parts.push_back(PartEntry{"b.pdf", "application/pdf", u"b.pdf", "base64", 20});
    body.textEnd = record->StartByte() + 2048000;
    body.closed = true;
    record->PublishBody(std::move(body));
    MailListModel model;
    model.InsertAtTop(record);
    QCOMPARE(model.columnCount(), 8);
    QCOMPARE(model.index(0, MailListModel::SenderColumn).data().toString(),
             QStringLiteral("Alice Example <alice@example.org>"));
    QCOMPARE(model.index(0, MailListModel::DateColumn).data().toString(), shownDate);
    QCOMPARE(model.index(0, MailListModel::SubjectColumn).data().toString(),
             QString::fromUtf16(u"\u5b63\u5ea6\u62a5\u544a"));
    QCOMPARE(model.Text(0, MailListModel::ToColumn), QStringLiteral("Bob <bob@example.com>"));
    QCOMPARE(model.Text(0, MailListModel::SizeColumn), QStringLiteral("2.0 MB"));
    QCOMPARE(model.Text(0, MailListModel::AttachmentsColumn), QStringLiteral("a.txt, b.pdf"));
    QCOMPARE(model.Text(0, MailListModel::FoundAtColumn), QStringLiteral("32768 + 77"));
  }

  // A size is only shown once the scan saw where the mail ends.
  void SizeNeedsTheEnd() {
    MailRecordPtr record = Record(u"open ended");
    QCOMPARE(MailSizeOf(*record), 0);
    MailExtent extent;
    extent.textStartKnown = true;
    extent.textStart = 1000;
    extent.multipartEnd = 1500;
    record->SetExtent(extent);
    QCOMPARE(MailSizeOf(*record), 500);
  }

  void HeaderTexts() {
    MailListModel model;
    const QStringList expected = {QStringLiteral("!&"),          QStringLiteral("Sender"),
                                  QStringLiteral("Date"),        QStringLiteral("Subject"),
                                  QStringLiteral("To"),          QStringLiteral("Size"),
                                  QStringLiteral("Attachments"), QStringLiteral("Found at")};
    for (int column = 0; column < MailListModel::ColumnCount; ++column)
      QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), expected[column]);
    QVERIFY(!model.headerData(MailListModel::ColumnCount, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
  }

  void ColumnWidths() {
    QCOMPARE(DefaultColumnWidth(MailListModel::MarksColumn), 25);
    QCOMPARE(DefaultColumnWidth(MailListModel::SenderColumn), 200);
    QCOMPARE(DefaultColumnWidth(MailListModel::DateColumn), 130);
    QCOMPARE(DefaultColumnWidth(MailListModel::SubjectColumn), 800);
  }

  // Rows found during a scan go to the top, so the newest is first; a batch arrives at once.
  void InsertAtTopPutsNewestFirst() {
    MailListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (const char16_t* subject : {u"first", u"second", u"third"})
      model.InsertAtTop(Record(subject));
    QCOMPARE(Subjects(model), (QStringList{"third", "second", "first"}));
    QCOMPARE(inserted.count(), 3);
    model.InsertAtTop({Record(u"fourth"), nullptr, Record(u"fifth")});
    QCOMPARE(Subjects(model), (QStringList{"fifth", "fourth", "third", "second", "first"}));
    QCOMPARE(inserted.count(), 4);
    QCOMPARE(inserted.last().at(1).toInt(), 0);
    QCOMPARE(inserted.last().at(2).toInt(), 1);
  }

  // Listing a folder keeps the found order, and replaces what was listed before; later mails
  // still go on top.
  void SetMailsKeepsFoundOrder() {
    MailListModel model;
    model.InsertAtTop(Record(u"left over"));
    const std::vector<MailRecordPtr> folder = {Record(u"a"), nullptr, Record(u"b"), Record(u"c")};
    model.SetMails(folder);
    QCOMPARE(Subjects(model), (QStringList{"a", "b", "c"}));
    QCOMPARE(model.RecordAt(0), folder[0]);
    QCOMPARE(model.RecordAt(2), folder[3]);
    model.InsertAtTop(Record(u"d"));
    QCOMPARE(Subjects(model), (QStringList{"d", "a", "b", "c"}));
    QCOMPARE(model.MailCount(), 4u);
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
    model.SetMails({Record(u"a"), Copy(u"b", 0)});
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.DuplicateCount(), 0u);
    QCOMPARE(reset.count(), 1);
    model.Clear();  // already empty: views are not disturbed
    QCOMPARE(reset.count(), 1);
  }

  void NullRecordIsNotListed() {
    MailListModel model;
    model.InsertAtTop(nullptr);
    QCOMPARE(model.rowCount(), 0);
  }

  // Clicks on columns: ascending, then descending on the same one, ascending on another.
  void SortByClicks() {
    MailListModel model;
    std::vector<MailRecordPtr> records;
    const std::vector<std::pair<std::u16string, std::u16string>> rows{
        {u"b", u"2009-03-10 08:30:00"},
        {u"", u"Wed, 11 Mar 2009 17:45:09 +0000"},
        {u"B", u"2008-12-31 23:59:59"},
        {u"a", u"no date at all"}};
    for (const auto& [sender, date] : rows) {
      MailRecordPtr record = Record(sender + u" subject");
      record->SetFromText(sender);
      record->date = QString::fromStdU16String(date).toStdString();
      records.push_back(record);
    }
    model.SetMails(records);
    QCOMPARE(model.SortColumn(), -1);
    struct Click {
      int column;
      Qt::SortOrder order;
      QStringList senders;
    };
    // Letter case does not part "b" from "B": they stand in found order, and descending reverses
    // that too. A date sorts by its time, a date that names none goes last either way.
    const std::vector<Click> clicks{
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "a", "b", "B"}},
        {MailListModel::SenderColumn, Qt::DescendingOrder, {"B", "b", "a", ""}},
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "a", "b", "B"}},
        {MailListModel::DateColumn, Qt::AscendingOrder, {"B", "b", "", "a"}},
        {MailListModel::DateColumn, Qt::DescendingOrder, {"", "b", "B", "a"}},
        {MailListModel::SenderColumn, Qt::AscendingOrder, {"", "a", "b", "B"}},
    };
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    int expectedResets = 0;
    for (const Click& click : clicks) {
      QCOMPARE(model.SortByClick(click.column), click.order);
      QCOMPARE(model.SortColumn(), click.column);
      QCOMPARE(model.SortOrder(), click.order);
      QCOMPARE(Column(model, MailListModel::SenderColumn), click.senders);
      QCOMPARE(resets.count(), ++expectedResets);
    }
    // The rows keep their mails.
    for (int row = 0; row < model.rowCount(); ++row)
      QCOMPARE(QString::fromStdU16String(model.RecordAt(row)->FromText()),
               model.Text(row, MailListModel::SenderColumn));
    // Listing the folder again forgets the sort.
    model.SetMails(records);
    QCOMPARE(model.SortColumn(), -1);
    QCOMPARE(model.Text(0, MailListModel::SenderColumn), QStringLiteral("b"));
  }

  void SortsEachColumnByWhatItMeans_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("subjects");  // ascending
    // Subjects name the rows; the other fields are set per row below.
    QTest::newRow("sender by display name, not quotes or address")
        << static_cast<int>(MailListModel::SenderColumn) << QStringList{"r1", "r2", "r3", "r0"};
    QTest::newRow("recipients by display name")
        << static_cast<int>(MailListModel::ToColumn) << QStringList{"r2", "r3", "r0", "r1"};
    QTest::newRow("date by time, whatever the form")
        << static_cast<int>(MailListModel::DateColumn) << QStringList{"r3", "r1", "r0", "r2"};
    QTest::newRow("size, unknown last")
        << static_cast<int>(MailListModel::SizeColumn) << QStringList{"r2", "r0", "r1", "r3"};
    QTest::newRow("found at, sector then offset")
        << static_cast<int>(MailListModel::FoundAtColumn) << QStringList{"r3", "r2", "r1", "r0"};
    QTest::newRow("attachments by names, none first")
        << static_cast<int>(MailListModel::AttachmentsColumn)
        << QStringList{"r1", "r3", "r0", "r2"};
  }

  void SortsEachColumnByWhatItMeans() {
    QFETCH(int, column);
    QFETCH(QStringList, subjects);
    struct Fields {
      std::u16string from, to;
      std::string date;
      std::uint64_t end, sector;
      std::uint16_t offset;
      std::u16string attachment;
    };
    const std::vector<Fields> fields{
        {u"\"Zed Quist\" <aaron@x>", u"Yves <a@x>", "Mon, 9 Mar 2009 10:11:12 +0000", 500, 90, 0,
         u"notes.txt"},
        {u"Anna <zz@x>", u"zoe@x", "2009-03-09 10:11:11", 900, 80, 511, u""},
        {u"\"Mallory\" <m@x>", u"\"Bea\" <b@x>", "no date", 100, 80, 5, u"report.pdf"},
        {u"nora@x (Nora)", u"Carl <c@x>", "Tue, 10 Mar 1987 08:00:00 +0000", 0, 12, 0,
         u"Agenda.doc"},
    };
    std::vector<MailRecordPtr> records;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      MailRecordPtr record = Record(u"r" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
      record->SetFromText(fields[i].from);
      record->SetToText(fields[i].to);
      record->date = fields[i].date;
      record->startSector = fields[i].sector;
      record->sectorOffset = fields[i].offset;
      if (!fields[i].attachment.empty())
        record->attachments.push_back(PartEntry{"", "", fields[i].attachment, "", 1});
      MailBody body;
      body.textEnd = fields[i].end == 0 ? 0 : record->StartByte() + fields[i].end;
      body.closed = true;
      record->PublishBody(std::move(body));
      records.push_back(record);
    }
    MailListModel model;
    model.SetMails(records);
    model.sort(column, Qt::AscendingOrder);
    QCOMPARE(Subjects(model), subjects);
  }

  // Fewer than two mails are not sorted at all, though the click still counts for the order.
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

  // Hiding copies keeps them listed and counted; copies found later stay hidden too.
  void HideDuplicates() {
    MailListModel model;
    model.SetMails({Record(u"a"), Copy(u"a", 0), Record(u"b"), Copy(u"a", 0)});
    QCOMPARE(model.DuplicateCount(), 2u);
    model.SetHideDuplicates(true);
    QVERIFY(model.HidesDuplicates());
    QCOMPARE(Subjects(model), (QStringList{"a", "b"}));
    QCOMPARE(model.MailCount(), 4u);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.InsertAtTop({Copy(u"b", 2), Record(u"c")});
    QCOMPARE(Subjects(model), (QStringList{"c", "a", "b"}));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.DuplicateCount(), 3u);
    model.SetHideDuplicates(false);
    QCOMPARE(Subjects(model), (QStringList{"c", "b", "a", "a", "b", "a"}));
  }

  void QuickFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("subjects");
    QTest::newRow("none") << QString()
                          << QStringList{"Harbour", "\u041a\u0430\u0437\u0430\u043d\u044c",
                                         "R\u00e9union"};
    QTest::newRow("subject in any case") << QStringLiteral("HARB") << QStringList{"Harbour"};
    QTest::newRow("cyrillic folds") << QStringLiteral("\u043a\u0430\u0437\u0430\u043d\u044c")
                                    << QStringList{"\u041a\u0430\u0437\u0430\u043d\u044c"};
    QTest::newRow("accents fold") << QStringLiteral("R\u00c9UNION") << QStringList{"R\u00e9union"};
    QTest::newRow("sender") << QStringLiteral("nora") << QStringList{"Harbour"};
    QTest::newRow("recipients") << QStringLiteral("BOARD@") << QStringList{"R\u00e9union"};
    QTest::newRow("not the text of the mail") << QStringLiteral("tide") << QStringList{};
  }

  void QuickFilter() {
    QFETCH(QString, filter);
    QFETCH(QStringList, subjects);
    MailRecordPtr harbour = Record(u"Harbour");
    harbour->SetFromText(u"Nora <nora@example.org>");
    MailRecordPtr kazan = Record(u"\u041a\u0430\u0437\u0430\u043d\u044c");
    MailRecordPtr reunion = Record(u"R\u00e9union");
    reunion->SetToText(u"board@example.org");
    MailBody body;
    body.contentText = u"tide tables";
    body.closed = true;
    reunion->PublishBody(body);
    MailListModel model;
    model.SetMails({harbour, kazan, reunion});
    model.SetQuickFilter(filter);
    QCOMPARE(Subjects(model), subjects);
    QCOMPARE(model.MailCount(), 3u);
  }

  // A filter keeps the sorted order; mails found after the sort stand on top.
  void FilterAndArrivalsKeepTheSort() {
    MailListModel model;
    model.SetMails({Record(u"delta"), Record(u"alpha"), Record(u"Charlie"), Record(u"bravo")});
    model.sort(MailListModel::SubjectColumn, Qt::DescendingOrder);
    QCOMPARE(Subjects(model), (QStringList{"delta", "Charlie", "bravo", "alpha"}));
    model.SetQuickFilter(QStringLiteral("A"));
    QCOMPARE(Subjects(model), (QStringList{"delta", "Charlie", "bravo", "alpha"}));
    model.SetQuickFilter(QStringLiteral("ha"));
    QCOMPARE(Subjects(model), (QStringList{"Charlie", "alpha"}));
    model.InsertAtTop(Record(u"echo"));
    model.InsertAtTop(Record(u"hat"));
    QCOMPARE(Subjects(model), (QStringList{"hat", "Charlie", "alpha"}));
    model.SetQuickFilter(QString());
    QCOMPARE(Subjects(model), (QStringList{"hat", "echo", "delta", "Charlie", "bravo", "alpha"}));
  }

  void RowsOfMails() {
    const std::vector<MailRecordPtr> records = {Record(u"a"), Record(u"b"), Record(u"c")};
    MailListModel model;
    model.SetMails(records);
    model.sort(MailListModel::SubjectColumn, Qt::DescendingOrder);
    QCOMPARE(model.RowOf(records[0].get()), 2);
    QCOMPARE(model.RowOf(nullptr), -1);
    QCOMPARE(model.RowsOf({records[0].get(), records[2].get()}), (std::vector<int>{0, 2}));
    // In found order, whatever the rows' order; a row twice counts once.
    const std::vector<MailRecordPtr> listed = model.RecordsInListedOrder({0, 2, 0, 9});
    QCOMPARE(listed, (std::vector<MailRecordPtr>{records[0], records[2]}));
  }

  // Many rows with many equal subjects and dates: every neighbour pair stands in order, and
  // equal rows in found order (reversed when descending).
  void BigSortsAreOrdered() {
    std::mt19937 random(16);
    const std::vector<std::u16string> subjects = {u"Lyrics",
                                                  u"lyrics",
                                                  u"Re: Lyrics of the song",
                                                  u"Re: Lyrics of the day",
                                                  u"\u00c9t\u00e9",
                                                  u"\u00e9T\u00c9",
                                                  u"",
                                                  u"Z"};
    std::vector<MailRecordPtr> records;
    for (int i = 0; i < 20000; ++i) {
      MailRecordPtr record = Record(subjects[random() % subjects.size()]);
      record->date = "2009-03-" + std::to_string(10 + random() % 10) + " 10:00:00";
      if (random() % 7 == 0) record->date = "garbage";
      records.push_back(record);
    }
    MailListModel model;
    model.SetMails(records);
    std::unordered_map<const MailRecord*, std::size_t> found;
    for (std::size_t i = 0; i < records.size(); ++i) found[records[i].get()] = i;
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
      model.sort(MailListModel::SubjectColumn, order);
      for (int row = 1; row < model.rowCount(); ++row) {
        const MailRecord& above = *model.RecordAt(row - 1);
        const MailRecord& below = *model.RecordAt(row);
        int compared =
            CompareFolded(QStringView(above.SubjectText()), QStringView(below.SubjectText()));
        if (order == Qt::DescendingOrder) compared = -compared;
        const bool sameFolded =
            QStringView(above.SubjectText())
                .compare(QStringView(below.SubjectText()), Qt::CaseInsensitive) == 0;
        QVERIFY2(compared < 0 || sameFolded, qPrintable(QString::number(row)));
        if (sameFolded) QVERIFY((found[&above] < found[&below]) == (order == Qt::AscendingOrder));
      }
      model.sort(MailListModel::DateColumn, order);
      bool undatedSeen = false;
      for (int row = 0; row < model.rowCount(); ++row) {
        const bool undated = model.RecordAt(row)->date == "garbage";
        QVERIFY(!undatedSeen || undated);  // dates that name no time come last either way
        undatedSeen = undatedSeen || undated;
      }
    }
  }
};

}  // namespace quillon

QTEST_APPLESS_MAIN(quillon::MailListModelTest)
#include "mail_list_model_test.moc"
