// The sort of the mail list. Texts are folded to one case into one block of memory and sorted
// eight characters at a time as integers; dates, sizes and places sort as integers. The
// ascending order of a column whose values cannot change is kept, so that a second click
// (descending: the same order reversed) costs no sort.
#include <algorithm>

#include "ui/mail_list_model.h"
#include "ui/mail_list_model_p.h"
#include "ui/mail_sort_keys.h"

namespace quillon {

namespace {

QStringView ViewOf(const std::u16string& text) {
  return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

struct NumberKey {
  std::uint64_t value = 0;
  std::uint64_t low = 0;
  std::uint32_t index = 0;
  bool present = true;  // false: no value (no date, no size), last either way
};

bool IsTextColumn(int column) {
  return column == MailListModel::SenderColumn || column == MailListModel::ToColumn ||
         column == MailListModel::SubjectColumn || column == MailListModel::AttachmentsColumn;
}

// Columns whose values stay as they are once a mail is listed; the others follow its body.
bool IsFixedColumn(int column) {
  return column == MailListModel::SenderColumn || column == MailListModel::ToColumn ||
         column == MailListModel::SubjectColumn || column == MailListModel::DateColumn ||
         column == MailListModel::FoundAtColumn;
}

// The marks as an integer: ordered by priority first, then by attachments, being a copy and being
// found inside another mail, each mark after its absence.
std::uint64_t MarksValue(const MailRecord& record, bool hasAttachments) {
  std::uint64_t value = (record.priority == 1 || record.priority == 2) ? '!' : ' ';
  for (const auto& [present, mark] :
       {std::pair{hasAttachments, '&'}, std::pair{record.duplicateOf >= 0, '='},
        std::pair{record.partOf >= 0, '^'}}) {
    value <<= 8;
    if (present) value |= static_cast<unsigned char>(mark);
  }
  return value;
}

}  // namespace

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
  if (entries_.size() < 2) return;
  // The rows are listed anew, as if deleted and inserted in the new order; the window keeps the
  // selection by the mails it held.
  beginResetModel();
  SortBase();
  Rebuild();
  endResetModel();
}

std::size_t MailListModel::TextUnitsBound(int column) const {
  // A display name is part of its field, and a sort compares 255 units at most. The room is
  // reckoned from the raw values: a decoded text is no longer than its raw value (encoded words
  // and 8-bit bytes only shrink), but for the wording of an empty subject. Reading every decoded
  // text twice cost a third of a sort of a million rows; where the reckoning falls short the
  // block only grows once.
  const auto cut = [](std::size_t units) { return std::min(units, FoldedTexts::kComparedLength); };
  std::size_t units = 0;
  for (const Entry& entry : entries_) {
    const MailRecord& record = *entry.record;
    if (column == SenderColumn) units += cut(record.from.size());
    if (column == ToColumn) units += cut(record.to.size());
    if (column == SubjectColumn) units += cut(std::max<std::size_t>(record.subject.size(), 14));
  }
  return column == AttachmentsColumn ? entries_.size() * 16 : units;
}

MailListModel::AscendingOrder MailListModel::SortAscending(int column) const {
  AscendingOrder ascending;
  const std::size_t count = entries_.size();
  ascending.order.resize(count);
  for (std::size_t index = 0; index < count; ++index)
    ascending.order[index] = static_cast<std::uint32_t>(index);

  if (IsTextColumn(column)) {
    FoldedTexts texts;
    texts.Reserve(count, TextUnitsBound(column));
    for (const Entry& entry : entries_) {
      const MailRecord& record = *entry.record;
      switch (column) {
        case SenderColumn:
          texts.Add(DisplayNameOf(ViewOf(record.FromText())));
          break;
        case ToColumn:
          texts.Add(DisplayNameOf(ViewOf(record.ToText())));
          break;
        case SubjectColumn:
          texts.Add(ViewOf(record.SubjectText()));
          break;
        default:
          texts.Add(PeekFacts(entry).attachmentNames);
          break;
      }
    }
    SortFoldedTexts(texts, ascending.order);
    ascending.valued = count;
    return ascending;
  }

  std::vector<NumberKey> keys(count);
  for (std::size_t index = 0; index < count; ++index) {
    const Entry& entry = entries_[index];
    const MailRecord& record = *entry.record;
    NumberKey& key = keys[index];
    key.index = static_cast<std::uint32_t>(index);
    switch (column) {
      case MarksColumn:
        key.value = MarksValue(record, HasAttachments(entry));
        break;
      case DateColumn:
        if (const auto seconds = DateSortSeconds(record.date))
          // Flipping the sign bit keeps the order of signed seconds among unsigned values.
          key.value = static_cast<std::uint64_t>(*seconds) ^ (std::uint64_t{1} << 63);
        else
          key.present = false;
        break;
      case SizeColumn:
        if (const std::int64_t size = SizeOfEntry(entry); size > 0)
          key.value = static_cast<std::uint64_t>(size);
        else
          key.present = false;
        break;
      case FoundAtColumn:
        key.value = record.startSector;
        key.low = record.sectorOffset;
        break;
      default:
        break;
    }
  }
  std::sort(keys.begin(), keys.end(), [](const NumberKey& left, const NumberKey& right) {
    if (left.present != right.present) return left.present;
    if (left.value != right.value) return left.value < right.value;
    if (left.low != right.low) return left.low < right.low;
    return left.index < right.index;
  });
  ascending.valued = 0;
  for (std::size_t i = 0; i < count; ++i) {
    ascending.order[i] = keys[i].index;
    if (keys[i].present) ++ascending.valued;
  }
  return ascending;
}

void MailListModel::SortBase() {
  const int column = sortColumn_;
  AscendingOrder& cached = sortCache_[static_cast<std::size_t>(column)];
  AscendingOrder ascending;
  if (IsFixedColumn(column) && cached.order.size() == entries_.size()) {
    ascending = cached;
  } else {
    ascending = SortAscending(column);
    if (IsFixedColumn(column)) cached = ascending;
  }
  base_ = std::move(ascending.order);
  // Descending is ascending read backwards; what has no value stays last either way.
  if (sortOrder_ == Qt::DescendingOrder)
    std::reverse(base_.begin(), base_.begin() + static_cast<std::ptrdiff_t>(ascending.valued));
}

}  // namespace quillon
