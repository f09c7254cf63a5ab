#include "list_checks.h"

#include <QString>
#include <set>

#include "bench_records.h"
#include "list_calls.h"
#include "ui/mail_list_model.h"

namespace quillon::bench {

std::vector<FindCase> HeaderFindCases() {
  const auto fields = [](std::u16string text, bool subject, bool sender, bool recipients,
                         bool content) {
    return SearchAsked{std::move(text), subject, sender, recipients, content};
  };
  return {
      {"subject, 0.1 %", fields(kRareWord, true, false, false, false)},
      {"subject, 10 %", fields(kCommonWord, true, false, false, false)},
      {"subject, none", fields(kAbsentWord, true, false, false, false)},
      {"sender, one person", fields(u"user777@", false, true, false, false)},
      {"recipients, none", fields(kAbsentWord, false, false, true, false)},
      {"all fields, none", fields(kAbsentWord, true, true, true, true)},
      {"subject|sender span", fields(u"invoice 1234", true, true, false, false)},
  };
}

std::vector<FindCase> ContentFindCases() {
  return {
      {"content, rare word", {u"lighthouse", false, false, false, true}},
      {"content, common word", {u"the", false, false, false, true}},
      {"content, none", {kAbsentWord, false, false, false, true}},
      {"all fields, none", {kAbsentWord, true, true, true, true}},
  };
}

const std::vector<int>& SortedColumns() {
  static const std::vector<int> columns = {
      MailListModel::SenderColumn,      MailListModel::SubjectColumn, MailListModel::DateColumn,
      MailListModel::ToColumn,          MailListModel::MarksColumn,   MailListModel::SizeColumn,
      MailListModel::AttachmentsColumn, MailListModel::FoundAtColumn};
  return columns;
}

const char* ColumnName(int column) {
  static const char* const kNames[] = {"marks", "sender", "date",        "subject",
                                       "to",    "size",   "attachments", "found_at"};
  return kNames[column];
}

namespace {

void CheckOrder(const MailListModel& model, const std::vector<MailRecordPtr>& records, int column,
                bool descending, std::vector<std::string>& failures) {
  const std::vector<const MailRecord*> expected = ReferenceOrder(records, column, descending);
  if (static_cast<std::size_t>(model.rowCount()) != expected.size()) {
    failures.push_back(std::string("sort by ") + ColumnName(column) + ": " +
                       std::to_string(model.rowCount()) + " rows");
    return;
  }
  std::size_t wrong = 0;
  for (std::size_t row = 0; row < expected.size(); ++row)
    wrong += model.RecordAt(static_cast<int>(row)).get() != expected[row] ? 1 : 0;
  if (wrong > 0)
    failures.push_back(std::string("sort by ") + ColumnName(column) +
                       (descending ? " descending: " : " ascending: ") + std::to_string(wrong) +
                       " rows differ from std::stable_sort");
}

void CheckFind(const MailListModel& model, const std::vector<MailRecordPtr>& records,
               const FindCase& find, std::vector<std::string>& failures,
               std::vector<std::string>& hits) {
  const std::vector<std::size_t> expected = ReferenceHits(records, find.asked);
  std::set<const MailRecord*> got, wanted;
  for (int row : FindEvery(model, find.asked)) got.insert(model.RecordAt(row).get());
  for (std::size_t index : expected) wanted.insert(records[index].get());
  const std::string name = "find " + find.name;
  if (got != wanted)
    failures.push_back(name + ": " + std::to_string(got.size()) +
                       " hits where a plain loop finds " + std::to_string(wanted.size()));
  if ((FindFirst(model, find.asked, -1) < 0) != expected.empty())
    failures.push_back(name + ": the first hit disagrees");
  if (CountMatches(records, find.asked) != expected.size())
    failures.push_back(name + ": the command line's count differs");
  hits.push_back(name + ": " + std::to_string(expected.size()) + " hits");
}

void CheckFilters(MailListModel& model, const std::vector<MailRecordPtr>& records,
                  std::vector<std::string>& failures) {
  for (const char* typed : {"in", "lighthouse"}) {
    const QString text = QString::fromLatin1(typed);
    model.SetQuickFilter(text);
    const std::size_t expected =
        ReferenceHits(records, {text.toStdU16String(), true, true, true, false}).size();
    if (static_cast<std::size_t>(model.rowCount()) != expected)
      failures.push_back(std::string("quick filter \"") + typed +
                         "\": " + std::to_string(model.rowCount()) + " rows where " +
                         std::to_string(expected) + " match");
  }
  model.SetQuickFilter(QString());
  std::size_t copies = 0;
  for (const MailRecordPtr& record : records) copies += record->duplicateOf >= 0 ? 1 : 0;
  model.SetHideDuplicates(true);
  if (static_cast<std::size_t>(model.rowCount()) != records.size() - copies)
    failures.push_back("hide duplicates: " + std::to_string(model.rowCount()) + " rows");
  model.SetHideDuplicates(false);
}

}  // namespace

std::vector<std::string> CheckList(const std::vector<MailRecordPtr>& records,
                                   const std::vector<FindCase>& finds, bool sorts,
                                   std::vector<std::string>& hits) {
  std::vector<std::string> failures;
  MailListModel model;
  model.SetMails(records);
  if (static_cast<std::size_t>(model.rowCount()) != records.size())
    failures.push_back("list: " + std::to_string(model.rowCount()) + " rows");
  for (const FindCase& find : finds) CheckFind(model, records, find, failures, hits);
  if (!sorts) return failures;
  CheckFilters(model, records, failures);
  for (const int column : SortedColumns()) {
    model.sort(column);
    CheckOrder(model, records, column, false, failures);
    model.sort(column, Qt::DescendingOrder);
    CheckOrder(model, records, column, true, failures);
  }
  return failures;
}

}  // namespace quillon::bench
