// The rows of the mail list: the mails of one folder, of which a filter may hide some (copies of
// other mails, mails a quick filter does not match) and a sort may reorder the rest. Rows reach
// their mails through vectors of indexes, so that filling, filtering and sorting a million mails
// needs no proxy model and nothing that grows faster than n log n.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "scan/mail_record.h"
#include "text/locale_code_page.h"
#include "ui/mail_find.h"

namespace quillon {

struct MailBodyFacts;
class FoldedTexts;

struct MailRowTexts {
  // "!" for priority 1 or 2, else a blank; then "&" when it has attachments, "=" when it is a
  // copy of an earlier mail, "^" when it was found inside another mail.
  QString marks;
  QString sender;
  QString date;
  QString subject;
};

MailRowTexts RowTextsOf(const MailRecord& record, int ansiCodePage);

// The mail's length in its source, when the scan saw where it ends; 0 when it did not.
std::int64_t MailSizeOf(const MailRecord& record);

class MailListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    MarksColumn,
    SenderColumn,
    DateColumn,
    SubjectColumn,
    ToColumn,
    SizeColumn,
    AttachmentsColumn,
    FoundAtColumn,
    ColumnCount
  };
  // The columns a list shows from the start; the others are shown on request.
  static constexpr int kStandardColumnCount = 4;

  explicit MailListModel(QObject* parent = nullptr);
  ~MailListModel() override;

  // Mails found while the scan runs go to the top, the newest first. `records` in found order.
  void InsertAtTop(const std::vector<MailRecordPtr>& records);
  void InsertAtTop(MailRecordPtr record);
  // The mails of a folder, in the order given.
  void SetMails(const std::vector<MailRecordPtr>& records);
  void Clear();
  // The scan has ended and marked the damaged mails: their rows gain their "D".
  void RefreshMarks();
  // The code page the dates (8-bit text as the mail gave it) are shown in; the environment's
  // until set. Shown rows change at once.
  void SetAnsiCodePage(int codePage);

  MailRecordPtr RecordAt(int row) const;
  // The row a search for `settings` from `selectedRow` (-1: none) ends at, or -1, trying rows
  // in the order mail_find.h FindRow gives. Rows near the selection are tested one by one; once
  // many were, every mail is tested in the order it was listed, which reads memory in order
  // rather than in the order a sort left the rows in.
  int FindRow(int selectedRow, FindDirection direction, const FindSettings& settings) const;
  QString Text(int row, int column) const;
  // The rows that show these mails, ascending; mails not shown are left out.
  std::vector<int> RowsOf(const std::vector<const MailRecord*>& records) const;
  int RowOf(const MailRecord* record) const;
  // The mails of these rows in the order they were listed (a folder's found order).
  std::vector<MailRecordPtr> RecordsInListedOrder(const std::vector<int>& rows) const;

  // Copies of another mail (`duplicateOf`) stay listed but are not shown.
  void SetHideDuplicates(bool hide);
  bool HidesDuplicates() const { return hideDuplicates_; }
  // Shows only the mails whose subject, sender or recipients hold `text`, in any letter case.
  void SetQuickFilter(const QString& text);
  const QString& QuickFilter() const { return quickFilter_; }
  // Mails listed, shown or not, and how many of them are copies.
  std::size_t MailCount() const { return entries_.size(); }
  std::size_t DuplicateCount() const { return duplicates_; }

  // A click on a column header: ascending, unless the column was sorted ascending last time.
  // Returns the order now in force; a list of fewer than two rows keeps its order.
  Qt::SortOrder SortByClick(int column);
  // -1 while the rows stand in the order they were listed.
  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder SortOrder() const { return sortOrder_; }
  // Dates sort by their time (dates that name none last, either way), senders and recipients by
  // their display names, texts by their first 255 characters in any letter case; equal rows
  // keep their found order. Descending is the ascending order reversed.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct Entry {
    MailRecordPtr record;
    // Worked out on first use once the body is closed, so that painting a row does not copy
    // the body again; null until then.
    mutable std::unique_ptr<MailBodyFacts> body;
  };

  // Every listed mail in ascending order of a column; `valued` of them have a value (the rest,
  // a date that names no time or an unknown size, stand at the end).
  struct AscendingOrder {
    std::vector<std::uint32_t> order;
    std::size_t valued = 0;
  };

  MailBodyFacts FactsOf(const Entry& entry) const;
  // The same without keeping them: a sort reads every mail once, painting only the rows shown.
  MailBodyFacts PeekFacts(const Entry& entry) const;
  // Two of those facts alone, read without making any text: what a sort by marks or size needs.
  bool HasAttachments(const Entry& entry) const;
  std::int64_t SizeOfEntry(const Entry& entry) const;
  AscendingOrder SortAscending(int column) const;
  // About the room the folded texts of a sort by a text column take, reckoned from the raw
  // values; where it falls short the texts grow their block once.
  std::size_t TextUnitsBound(int column) const;
  QString ColumnText(const Entry& entry, int column) const;
  bool Shown(std::size_t index) const;
  // Extends filterTexts_ to every listed mail while a quick filter is set.
  void FoldFilterTexts() const;
  // Sorts base_ over every listed mail by the sort column and order (mail_list_sort.cpp).
  void SortBase();
  // arrivedRows_ and baseRows_ anew from base_, the later arrivals and the filters.
  void Rebuild();
  std::size_t RowTotal() const { return arrivedRows_.size() + baseRows_.size(); }
  // The index into entries_ of a shown row.
  std::uint32_t IndexAt(std::size_t row) const;

  std::vector<Entry> entries_;  // the order the mails came in
  // The order the rows stand in when nothing is hidden: `base_` covers entries_[0, baseCount),
  // in found order or sorted; mails that came later stand above them, the newest first.
  std::vector<std::uint32_t> base_;
  // The shown rows as indexes into entries_: first the mails that came after base_ was made, the
  // newest first, kept oldest first here so that a mail found is appended rather than inserted
  // in front of a million; then the shown part of base_.
  std::vector<std::uint32_t> arrivedRows_;
  std::vector<std::uint32_t> baseRows_;
  std::size_t duplicates_ = 0;
  bool hideDuplicates_ = false;
  int ansiCodePage_ = AnsiCodePageFromEnvironment();
  QString quickFilter_;
  std::u16string foldedFilter_;
  // Subject, sender and recipients of every listed mail folded to one case, made when a quick
  // filter is first set and kept while the same mails are listed.
  mutable std::unique_ptr<FoldedTexts> filterTexts_;
  // Ascending orders of the columns whose values never change, for as long as the same mails
  // are listed.
  std::array<AscendingOrder, ColumnCount> sortCache_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The widths the list starts with, in device-independent pixels.
int DefaultColumnWidth(MailListModel::Column column);

}  // namespace quillon
