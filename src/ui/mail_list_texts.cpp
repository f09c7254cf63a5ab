// What the list shows of a mail: the texts of its columns and their headings, the marks and
// their tooltip.
#include <QColor>
#include <QStringList>

#include "output/preview_text.h"
#include "text/code_page.h"
#include "ui/mail_list_model.h"
#include "ui/mail_list_model_p.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

QString FromUtf16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

QString MarksText(const MailRecord& record, bool hasAttachments) {
  QString marks =
      (record.priority == 1 || record.priority == 2) ? QStringLiteral("!") : QStringLiteral(" ");
  if (hasAttachments) marks += QLatin1Char('&');
  if (record.duplicateOf >= 0) marks += QLatin1Char('=');
  if (record.partOf >= 0) marks += QLatin1Char('^');
  // Known when the scan ends; RefreshMarks then shows it.
  if (record.damaged) marks += QLatin1Char('D');
  return marks;
}

QString MarksToolTip(const MailRecord& record, bool hasAttachments) {
  QStringList lines;
  if (record.priority == 1 || record.priority == 2) lines << QStringLiteral("! High priority");
  if (hasAttachments) lines << QStringLiteral("& Has attachments");
  if (record.duplicateOf >= 0)
    lines << QStringLiteral("= A copy of mail %1").arg(record.duplicateOf + 1);
  if (record.partOf >= 0) lines << QStringLiteral("^ Found inside mail %1").arg(record.partOf + 1);
  if (record.damaged) lines << QStringLiteral("D ") + QString(kDamagedMailTip);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

MailRowTexts RowTextsOf(const MailRecord& record, int ansiCodePage) {
  MailRowTexts texts;
  texts.marks = MarksText(record, ReadBodyFacts(record).hasAttachments);
  texts.sender = FromUtf16(record.FromText());
  texts.date = FromUtf16(AnsiToUtf16(record.date, ansiCodePage));
  texts.subject = FromUtf16(record.SubjectText());
  return texts;
}

QString MailListModel::ColumnText(const Entry& entry, int column) const {
  const MailRecord& record = *entry.record;
  switch (column) {
    case MarksColumn:
      return MarksText(record, FactsOf(entry).hasAttachments);
    case SenderColumn:
      return FromUtf16(record.FromText());
    case DateColumn:
      return FromUtf16(AnsiToUtf16(record.date, ansiCodePage_));
    case SubjectColumn:
      return FromUtf16(record.SubjectText());
    case ToColumn:
      return FromUtf16(record.ToText());
    case SizeColumn:
      return FromUtf16(FormatSize(FactsOf(entry).size));
    case AttachmentsColumn:
      return FactsOf(entry).attachmentNames;
    case FoundAtColumn:
      return QStringLiteral("%1 + %2")
          .arg(static_cast<qulonglong>(record.startSector))
          .arg(record.sectorOffset);
    default:
      return {};
  }
}

int MailListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(RowTotal());
}

int MailListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= RowTotal()) return {};
  const Entry& entry = entries_[IndexAt(static_cast<std::size_t>(index.row()))];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return ColumnText(entry, column);
    case Qt::ToolTipRole:
      // Long texts are cut by their column; the tooltip shows them whole.
      if (column == MarksColumn) return MarksToolTip(*entry.record, FactsOf(entry).hasAttachments);
      if (column == FoundAtColumn)
        return QStringLiteral("Sector %1, byte %2 of it")
            .arg(static_cast<qulonglong>(entry.record->startSector))
            .arg(entry.record->sectorOffset);
      if (column == SenderColumn || column == SubjectColumn || column == ToColumn ||
          column == AttachmentsColumn)
        return ColumnText(entry, column);
      return {};
    case Qt::ForegroundRole:
      // A copy stays readable but steps back behind the mail it copies.
      if (entry.record->duplicateOf >= 0) return QColor(128, 128, 128);
      return {};
    default:
      return {};
  }
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
    case ToColumn:
      return QStringLiteral("To");
    case SizeColumn:
      return QStringLiteral("Size");
    case AttachmentsColumn:
      return QStringLiteral("Attachments");
    case FoundAtColumn:
      return QStringLiteral("Found at");
    default:
      return {};
  }
}

int DefaultColumnWidth(MailListModel::Column column) {
  switch (column) {
    case MailListModel::MarksColumn:
      return 25;
    case MailListModel::SenderColumn:
    case MailListModel::ToColumn:
    case MailListModel::AttachmentsColumn:
      return 200;
    case MailListModel::DateColumn:
      return 130;
    case MailListModel::SubjectColumn:
      return 800;
    case MailListModel::SizeColumn:
      return 70;
    case MailListModel::FoundAtColumn:
      return 110;
    default:
      return 100;
  }
}

}  // namespace quillon
