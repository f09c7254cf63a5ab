#include "bench_reference.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <optional>

#include "ui/mail_list_model.h"
#include "ui/mail_sort_keys.h"

namespace quillon::bench {

namespace {

// UTF-16 units ordered as the code points they stand for.
char32_t CodePointOrder(char16_t unit) {
  if (unit >= 0xE000) return unit - 0x800;
  if (unit >= 0xD800) return unit + 0x2000;
  return unit;
}

bool TextLess(const QString& left, const QString& right) {
  return std::lexicographical_compare(
      left.begin(), left.end(), right.begin(), right.end(),
      [](QChar a, QChar b) { return CodePointOrder(a.unicode()) < CodePointOrder(b.unicode()); });
}

QString SortText(QStringView text) {
  return text.left(255).toString().toCaseFolded();
}

QString AttachmentNames(const MailRecord& record) {
  QStringList names;
  for (const PartEntry& entry : record.attachments)
    names << QString::fromStdU16String(entry.nameText);
  for (const PartEntry& entry : record.Body().parts)
    names << QString::fromStdU16String(entry.nameText);
  return names.join(QStringLiteral(", "));
}

struct Key {
  QString text;
  std::optional<std::int64_t> number;  // empty: no value, last either way
  std::uint64_t low = 0;
  std::size_t index = 0;
};

Key KeyOf(const MailRecord& record, int column) {
  Key key;
  switch (column) {
    case MailListModel::SenderColumn:
      key.text = SortText(DisplayNameOf(QStringView(record.FromText())));
      break;
    case MailListModel::ToColumn:
      key.text = SortText(DisplayNameOf(QStringView(record.ToText())));
      break;
    case MailListModel::SubjectColumn:
      key.text = SortText(QStringView(record.SubjectText()));
      break;
    case MailListModel::AttachmentsColumn:
      key.text = SortText(AttachmentNames(record));
      break;
    case MailListModel::DateColumn:
      key.number = DateSortSeconds(record.date);
      break;
    case MailListModel::SizeColumn:
      if (const std::int64_t size = MailSizeOf(record); size > 0) key.number = size;
      break;
    case MailListModel::FoundAtColumn:
      key.number = static_cast<std::int64_t>(record.startSector);
      key.low = record.sectorOffset;
      break;
    default: {  // marks: priority, then attachments, copy, found inside another mail
      const bool urgent = record.priority == 1 || record.priority == 2;
      const bool attached = !record.attachments.empty() || !record.Body().parts.empty();
      key.number = (urgent ? 8 : 0) + (attached ? 4 : 0) + (record.duplicateOf >= 0 ? 2 : 0) +
                   (record.partOf >= 0 ? 1 : 0);
      break;
    }
  }
  return key;
}

bool IsText(int column) {
  return column == MailListModel::SenderColumn || column == MailListModel::ToColumn ||
         column == MailListModel::SubjectColumn || column == MailListModel::AttachmentsColumn;
}

QString Folded(const std::u16string& text) {
  return QString::fromStdU16String(text).toCaseFolded();
}

}  // namespace

std::vector<const MailRecord*> ReferenceOrder(const std::vector<MailRecordPtr>& records, int column,
                                              bool descending) {
  std::vector<Key> keys;
  keys.reserve(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    keys.push_back(KeyOf(*records[i], column));
    keys.back().index = i;
  }
  const bool text = IsText(column);
  std::stable_sort(keys.begin(), keys.end(), [text](const Key& left, const Key& right) {
    if (text) return TextLess(left.text, right.text);
    if (left.number.has_value() != right.number.has_value()) return left.number.has_value();
    if (left.number != right.number) return *left.number < *right.number;
    return left.low < right.low;
  });
  std::size_t valued = keys.size();
  if (!text)
    valued = static_cast<std::size_t>(std::count_if(
        keys.begin(), keys.end(), [](const Key& key) { return key.number.has_value(); }));
  if (descending) std::reverse(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(valued));
  std::vector<const MailRecord*> order;
  order.reserve(keys.size());
  for (const Key& key : keys) order.push_back(records[key.index].get());
  return order;
}

std::vector<std::size_t> ReferenceHits(const std::vector<MailRecordPtr>& records,
                                       const SearchAsked& asked) {
  const QString needle = Folded(asked.text);
  std::vector<std::size_t> hits;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const MailRecord& record = *records[i];
    QString haystack;
    if (asked.subject) haystack += Folded(record.SubjectText()) + u'|';
    if (asked.sender) haystack += Folded(record.FromText()) + u'|';
    if (asked.recipients) haystack += Folded(record.ToText()) + u'|';
    if (asked.content) haystack += Folded(record.Body().contentText);
    if (haystack.contains(needle)) hits.push_back(i);
  }
  return hits;
}

}  // namespace quillon::bench
