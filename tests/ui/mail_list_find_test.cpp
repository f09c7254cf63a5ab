// The list's own Find: the row it ends at must be the one a plain test of each row in the order
// FindRow gives would end at, also where the search turns to testing every mail in listed order
// (more rows than it tests one by one, a sort that puts rows far from their listed order).
#include <QtTest>
#include <memory>
#include <vector>

#include "ui/mail_find.h"
#include "ui/mail_list_model.h"

namespace quillon {

namespace {

constexpr int kMails = 50000;

// Mail i has subject "Mail i" and, for the few i given, the word "needle"; the sender names the
// hundred's group so that sorting by sender moves rows far from their listed order.
std::vector<MailRecordPtr> Mails(const std::vector<int>& needles) {
  std::vector<MailRecordPtr> mails;
  for (int i = 0; i < kMails; ++i) {
    auto record = std::make_shared<MailRecord>();
    record->SetSubjectText(u"Mail " + QString::number(i).toStdU16String());
    record->SetFromText(u"Group " + QString::number((i * 7919) % 100).toStdU16String());
    mails.push_back(std::move(record));
  }
  for (int i : needles) {
    MailRecord& mail = *mails[static_cast<std::size_t>(i)];
    mail.SetSubjectText(mail.SubjectText() + u" with a NEEDLE");
  }
  return mails;
}

// What the window did before the list searched itself: each row tested on its own.
int PlainFind(const MailListModel& model, int selected, FindDirection direction,
              const FindSettings& settings) {
  return FindRow(model.rowCount(), selected, direction, [&](int row) {
    return MailMatches(*model.RecordAt(row), settings) ? RowTest::Match : RowTest::NoMatch;
  });
}

}  // namespace

class MailListFindTest : public QObject {
  Q_OBJECT

 private slots:
  void EndsWhereRowByRowEnds_data() {
    QTest::addColumn<QList<int>>("needles");
    QTest::addColumn<int>("sortColumn");  // -1: listed order
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("forwards");
    QTest::newRow("near, listed order") << QList<int>{10, 40000} << -1 << 0 << true;
    QTest::newRow("far, listed order") << QList<int>{45000} << -1 << 0 << true;
    QTest::newRow("far, by sender")
        << QList<int>{3, 45000} << int(MailListModel::SenderColumn) << 30000 << true;
    QTest::newRow("far backwards, by sender")
        << QList<int>{3, 45000} << int(MailListModel::SenderColumn) << 30000 << false;
    QTest::newRow("only the selected row holds it")
        << QList<int>{777} << int(MailListModel::SubjectColumn) << -2 << true;
    QTest::newRow("only the selected row, backwards")
        << QList<int>{777} << int(MailListModel::SenderColumn) << -2 << false;
    QTest::newRow("none holds it") << QList<int>{} << int(MailListModel::SenderColumn) << 5 << true;
    QTest::newRow("none selected, backwards")
        << QList<int>{0, 49999} << int(MailListModel::SenderColumn) << -1 << false;
    QTest::newRow("last row selected wraps")
        << QList<int>{25000} << int(MailListModel::SenderColumn) << kMails - 1 << true;
  }

  void EndsWhereRowByRowEnds() {
    QFETCH(QList<int>, needles);
    QFETCH(int, sortColumn);
    QFETCH(int, selected);
    QFETCH(bool, forwards);
    MailListModel model;
    model.SetMails(Mails(std::vector<int>(needles.begin(), needles.end())));
    if (sortColumn >= 0) model.sort(sortColumn, Qt::DescendingOrder);
    FindSettings settings;
    settings.text = u"needle";
    // -2: the row that shows the one mail with the word.
    if (selected == -2) selected = PlainFind(model, -1, FindDirection::Next, settings);
    const FindDirection direction = forwards ? FindDirection::Next : FindDirection::Previous;
    const int expected = PlainFind(model, selected, direction, settings);
    QCOMPARE(model.FindRow(selected, direction, settings), expected);
    QCOMPARE(expected < 0, needles.isEmpty());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::MailListFindTest)
#include "mail_list_find_test.moc"
