#include "ui/mail_list_model.h"

#include <algorithm>
#include <utility>

#include "text/code_page.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

QString FromUtf16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

bool HasAttachments(const MailRecord& record) {
  // The X-Attachment lines are known when the header is accepted; the MIME parts only once the
  // scan has followed the body, which is why a row re-listed after the scan can gain its "&".
  if (!record.attachments.empty()) return true;
  return !record.Body().parts.empty();
}

QString ColumnText(const MailRowTexts& texts, int column) {
  switch (column) {
    case MailListModel::MarksColumn:
      return texts.marks;
    case MailListModel::SenderColumn:
      return texts.sender;
    case MailListModel::DateColumn:
      return texts.date;
    case MailListModel::SubjectColumn:
      return texts.subject;
    default:
      return {};
  }
}

}  // namespace

MailRowTexts RowTextsOf(const MailRecord& record) {
  MailRowTexts texts;
  texts.marks =
      (record.priority == 1 || record.priority == 2) ? QStringLiteral("!") : QStringLiteral(" ");
  if (HasAttachments(record)) texts.marks += QLatin1Char('&');
  // Known when the scan ends; RefreshMarks then shows it.
  if (record.damaged) texts.marks += QLatin1Char('D');
  texts.sender = FromUtf16(record.fromText);
  texts.date = FromUtf16(AnsiToUtf16(record.date));
  texts.subject = FromUtf16(record.subjectText);
  return texts;
}

bool SortTextLess(const QString& left, const QString& right) {
  constexpr qsizetype kComparedLength = 255;
  if (left.isEmpty() || right.isEmpty()) return left.isEmpty() && !right.isEmpty();
  return QStringView(left).left(kComparedLength) < QStringView(right).left(kComparedLength);
}

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

MailListModel::Row MailListModel::MakeRow(MailRecordPtr record) {
  Row row;
  row.texts = RowTextsOf(*record);
  row.record = std::move(record);
  return row;
}

void MailListModel::InsertAtTop(MailRecordPtr record) {
  if (!record) return;
  beginInsertRows({}, 0, 0);
  rows_.prepend(MakeRow(std::move(record)));
  endInsertRows();
}

void MailListModel::SetMails(const std::vector<MailRecordPtr>& records) {
  beginResetModel();
  // A freshly listed folder stands in found order, so no column is marked as sorted.
  sortColumn_ = -1;
  sortOrder_ = Qt::AscendingOrder;
  rows_.clear();
  rows_.reserve(static_cast<qsizetype>(records.size()));
  for (const MailRecordPtr& record : records) {
    if (record) rows_.append(MakeRow(record));
  }
  endResetModel();
}

void MailListModel::Clear() {
  if (rows_.isEmpty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void MailListModel::RefreshMarks() {
  for (qsizetype row = 0; row < rows_.size(); ++row) {
    const QString marks = RowTextsOf(*rows_[row].record).marks;
    if (marks == rows_[row].texts.marks) continue;
    rows_[row].texts.marks = marks;
    const QModelIndex cell = index(static_cast<int>(row), MarksColumn);
    emit dataChanged(cell, cell);
  }
}

MailRecordPtr MailListModel::RecordAt(int row) const {
  if (row < 0 || row >= rows_.size()) return nullptr;
  return rows_[row].record;
}

QString MailListModel::Text(int row, int column) const {
  if (row < 0 || row >= rows_.size()) return {};
  return ColumnText(rows_[row].texts, column);
}

Qt::SortOrder MailListModel::SortByClick(int column) {
  const Qt::SortOrder order = (column != sortColumn_ || sortOrder_ == Qt::DescendingOrder)
                                  ? Qt::AscendingOrder
                                  : Qt::DescendingOrder;
  sort(column, order);
  return order;
}

void MailListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= ColumnCount) return;
  sortColumn_ = column;
  sortOrder_ = order;
  if (rows_.size() < 2) return;
  // The rows are listed anew, as if deleted and inserted in the new order: the selection goes.
  beginResetModel();
  std::stable_sort(rows_.begin(), rows_.end(), [column, order](const Row& left, const Row& right) {
    const QString leftText = ColumnText(left.texts, column);
    const QString rightText = ColumnText(right.texts, column);
    return order == Qt::AscendingOrder ? SortTextLess(leftText, rightText)
                                       : SortTextLess(rightText, leftText);
  });
  endResetModel();
}

int MailListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MailListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_.size()) return {};
  const MailRowTexts& texts = rows_[index.row()].texts;
  const int column = index.column();
  if (role == Qt::DisplayRole) return ColumnText(texts, column);
  // Long senders and subjects are cut by the column; the tooltip shows them whole.
  if (role == Qt::ToolTipRole && (column == SenderColumn || column == SubjectColumn))
    return ColumnText(texts, column);
  if (role == Qt::ToolTipRole && column == MarksColumn && texts.marks.contains(QLatin1Char('D')))
    return QString(kDamagedMailTip);
  return {};
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  // Every column starts ascending, whatever the last sorted column was.
  if (role == Qt::InitialSortOrderRole) return static_cast<int>(Qt::AscendingOrder);
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case MarksColumn:
      return QStringLiteral("!&");
    case SenderColumn:
      return QStringLiteral("Sender");
    case DateColumn:
      return QStringLiteral("Date");
    case SubjectColumn:
      return QStringLiteral("Subject");
    default:
      return {};
  }
}

int DefaultColumnWidth(MailListModel::Column column) {
  switch (column) {
    case MailListModel::MarksColumn:
      return 25;
    case MailListModel::SenderColumn:
      return 200;
    case MailListModel::DateColumn:
      return 130;
    case MailListModel::SubjectColumn:
      return 800;
    default:
      return 100;
  }
}

}  // namespace quillon
