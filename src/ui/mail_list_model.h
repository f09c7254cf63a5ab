// The rows of the mail list: one found mail per row, with the marks, sender, date and subject
// texts worked out once when the row is added.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <vector>

#include "scan/mail_record.h"

namespace quillon {

struct MailRowTexts {
  QString marks;  // "!" for priority 1 or 2, else a blank; then "&" when it has attachments
  QString sender;
  QString date;
  QString subject;
};

MailRowTexts RowTextsOf(const MailRecord& record);

// The order of two cells of a sorted column: UTF-16 code units, case-sensitive, of the first 255
// characters; an empty cell counts as absent and goes before any text.
bool SortTextLess(const QString& left, const QString& right);

class MailListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { MarksColumn, SenderColumn, DateColumn, SubjectColumn, ColumnCount };

  explicit MailListModel(QObject* parent = nullptr);

  // A mail found while the scan runs goes to the top.
  void InsertAtTop(MailRecordPtr record);
  // The mails of a folder, in the order given.
  void SetMails(const std::vector<MailRecordPtr>& records);
  void Clear();
  // The scan has ended and marked the damaged mails: their rows gain their "D".
  void RefreshMarks();
  MailRecordPtr RecordAt(int row) const;
  QString Text(int row, int column) const;

  // A click on a column header: ascending, unless the column was sorted ascending last time.
  // Returns the order now in force; a list of fewer than two rows keeps its order.
  Qt::SortOrder SortByClick(int column);
  // -1 while the rows stand in the order they were listed.
  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder SortOrder() const { return sortOrder_; }
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct Row {
    MailRecordPtr record;
    MailRowTexts texts;
  };
  static Row MakeRow(MailRecordPtr record);

  QList<Row> rows_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The widths the list starts with, in device-independent pixels.
int DefaultColumnWidth(MailListModel::Column column);

}  // namespace quillon
