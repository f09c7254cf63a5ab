#include "ui/mail_list_model.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "ui/mail_list_model_p.h"
#include "ui/mail_sort_keys.h"

namespace quillon {

namespace {

QString FromUtf16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

QStringView ViewOf(const std::u16string& text) {
  return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

// `textEnd` as the body holds it; the extent is read apart (the record's lock is not recursive).
std::int64_t SizeOf(const MailRecord& record, std::uint64_t textEnd) {
  const MailExtent extent = record.Extent();
  const std::uint64_t start = extent.TextStartOr(record.StartByte());
  const std::uint64_t end = textEnd != 0 ? textEnd : extent.multipartEnd;
  return end > start ? static_cast<std::int64_t>(end - start) : 0;
}

std::uint64_t TextEndOf(const MailRecord& record) {
  return record.ReadBody([](const BodyFacts& body) { return body.textEnd; });
}

}  // namespace

MailBodyFacts ReadBodyFacts(const MailRecord& record) {
  MailBodyFacts facts;
  QStringList names;
  for (const PartEntry& entry : record.attachments) names << FromUtf16(entry.nameText);
  // Read in place: the body's text may be a quarter of a megabyte, and a sort reads a million.
  const std::uint64_t textEnd = record.ReadBody([&names](const BodyFacts& body) {
    for (const PartEntry& entry : body.parts) names << FromUtf16(entry.nameText);
    return body.textEnd;
  });
  facts.hasAttachments = !names.isEmpty();
  facts.attachmentNames = names.join(QStringLiteral(", "));
  facts.size = SizeOf(record, textEnd);
  return facts;
}

std::int64_t MailSizeOf(const MailRecord& record) {
  return SizeOf(record, TextEndOf(record));
}

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

MailListModel::~MailListModel() = default;

MailBodyFacts MailListModel::PeekFacts(const Entry& entry) const {
  if (entry.body) return *entry.body;
  if (!entry.record->BodyClosed()) {
    MailBodyFacts open;
    open.hasAttachments = !entry.record->attachments.empty();
    return open;
  }
  return ReadBodyFacts(*entry.record);
}

bool MailListModel::HasAttachments(const Entry& entry) const {
  if (entry.body) return entry.body->hasAttachments;
  if (!entry.record->attachments.empty()) return true;
  // An open body may still gain parts: until it closes only the header's lines count.
  return entry.record->ReadBody(
      [](const BodyFacts& body) { return body.closed && !body.parts.empty(); });
}

std::int64_t MailListModel::SizeOfEntry(const Entry& entry) const {
  if (entry.body) return entry.body->size;
  const auto [closed, textEnd] = entry.record->ReadBody([](const BodyFacts& body) {
    return std::pair{body.closed, body.textEnd};
  });
  return closed ? SizeOf(*entry.record, textEnd) : 0;
}

MailBodyFacts MailListModel::FactsOf(const Entry& entry) const {
  if (entry.body) return *entry.body;
  // An open body may still gain parts and is not copied while the scan writes it: until it
  // closes, only the attachment lines of the header count.
  if (!entry.record->BodyClosed()) {
    MailBodyFacts open;
    open.hasAttachments = !entry.record->attachments.empty();
    return open;
  }
  entry.body = std::make_unique<MailBodyFacts>(ReadBodyFacts(*entry.record));
  return *entry.body;
}

bool MailListModel::Shown(std::size_t index) const {
  const MailRecord& record = *entries_[index].record;
  if (hideDuplicates_ && record.duplicateOf >= 0) return false;
  if (foldedFilter_.empty()) return true;
  return filterTexts_->At(index).find(foldedFilter_) != std::u16string_view::npos;
}

void MailListModel::FoldFilterTexts() const {
  if (foldedFilter_.empty()) return;
  if (!filterTexts_) {
    filterTexts_ = std::make_unique<FoldedTexts>();
    filterTexts_->Reserve(entries_.size(), entries_.size() * 64);
  }
  // Mails listed since the texts were made (found during a scan) are added.
  for (std::size_t next = filterTexts_->Size(); next < entries_.size(); ++next) {
    const MailRecord& mail = *entries_[next].record;
    filterTexts_->AddJoined(
        {ViewOf(mail.SubjectText()), ViewOf(mail.FromText()), ViewOf(mail.ToText())});
  }
}

std::uint32_t MailListModel::IndexAt(std::size_t row) const {
  if (row < arrivedRows_.size()) return arrivedRows_[arrivedRows_.size() - 1 - row];
  return baseRows_[row - arrivedRows_.size()];
}

void MailListModel::Rebuild() {
  arrivedRows_.clear();
  baseRows_.clear();
  baseRows_.reserve(base_.size());
  FoldFilterTexts();
  for (std::size_t index = base_.size(); index < entries_.size(); ++index) {
    if (Shown(index)) arrivedRows_.push_back(static_cast<std::uint32_t>(index));
  }
  for (std::uint32_t index : base_) {
    if (Shown(index)) baseRows_.push_back(index);
  }
}

void MailListModel::InsertAtTop(MailRecordPtr record) {
  InsertAtTop(std::vector<MailRecordPtr>{std::move(record)});
}

void MailListModel::InsertAtTop(const std::vector<MailRecordPtr>& records) {
  std::vector<std::uint32_t> shown;
  for (const MailRecordPtr& record : records) {
    if (!record) continue;
    entries_.push_back(Entry{record, nullptr});
    if (record->duplicateOf >= 0) ++duplicates_;
    FoldFilterTexts();
    if (Shown(entries_.size() - 1))
      shown.push_back(static_cast<std::uint32_t>(entries_.size() - 1));
  }
  if (shown.empty()) return;
  beginInsertRows({}, 0, static_cast<int>(shown.size()) - 1);
  // The newest row is the last arrival: appending costs the batch alone, however long the list.
  arrivedRows_.insert(arrivedRows_.end(), shown.begin(), shown.end());
  endInsertRows();
}

void MailListModel::SetMails(const std::vector<MailRecordPtr>& records) {
  beginResetModel();
  // A freshly listed folder stands in found order, so no column is marked as sorted.
  sortColumn_ = -1;
  sortOrder_ = Qt::AscendingOrder;
  entries_.clear();
  entries_.reserve(records.size());
  sortCache_ = {};
  filterTexts_.reset();
  duplicates_ = 0;
  for (const MailRecordPtr& record : records) {
    if (!record) continue;
    entries_.push_back(Entry{record, nullptr});
    if (record->duplicateOf >= 0) ++duplicates_;
  }
  base_.resize(entries_.size());
  for (std::size_t index = 0; index < base_.size(); ++index)
    base_[index] = static_cast<std::uint32_t>(index);
  Rebuild();
  endResetModel();
}

void MailListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  base_.clear();
  arrivedRows_.clear();
  baseRows_.clear();
  sortCache_ = {};
  filterTexts_.reset();
  duplicates_ = 0;
  endResetModel();
}

void MailListModel::RefreshMarks() {
  // Marks are read from the mails when shown; only an order by marks may be stale.
  sortCache_ = {};
  if (RowTotal() == 0) return;
  emit dataChanged(index(0, MarksColumn), index(rowCount() - 1, MarksColumn));
}

void MailListModel::SetAnsiCodePage(int codePage) {
  if (codePage == ansiCodePage_) return;
  ansiCodePage_ = codePage;
  // Dates sort by the time they name, which no code page changes.
  if (RowTotal() == 0) return;
  emit dataChanged(index(0, DateColumn), index(rowCount() - 1, DateColumn));
}

void MailListModel::SetHideDuplicates(bool hide) {
  if (hide == hideDuplicates_) return;
  beginResetModel();
  hideDuplicates_ = hide;
  Rebuild();
  endResetModel();
}

void MailListModel::SetQuickFilter(const QString& text) {
  if (text == quickFilter_) return;
  beginResetModel();
  quickFilter_ = text;
  foldedFilter_.clear();
  AppendFolded(text, foldedFilter_);
  Rebuild();
  endResetModel();
}

MailRecordPtr MailListModel::RecordAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= RowTotal()) return nullptr;
  return entries_[IndexAt(static_cast<std::size_t>(row))].record;
}

QString MailListModel::Text(int row, int column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= RowTotal()) return {};
  return ColumnText(entries_[IndexAt(static_cast<std::size_t>(row))], column);
}

std::vector<int> MailListModel::RowsOf(const std::vector<const MailRecord*>& records) const {
  std::vector<int> found;
  if (records.empty()) return found;
  const std::unordered_set<const MailRecord*> wanted(records.begin(), records.end());
  for (std::size_t row = 0; row < RowTotal(); ++row) {
    if (wanted.count(entries_[IndexAt(row)].record.get()) > 0)
      found.push_back(static_cast<int>(row));
  }
  return found;
}

int MailListModel::RowOf(const MailRecord* record) const {
  for (std::size_t row = 0; row < RowTotal(); ++row) {
    if (entries_[IndexAt(row)].record.get() == record) return static_cast<int>(row);
  }
  return -1;
}

std::vector<MailRecordPtr> MailListModel::RecordsInListedOrder(const std::vector<int>& rows) const {
  std::vector<std::uint32_t> indexes;
  for (int row : rows) {
    if (row >= 0 && static_cast<std::size_t>(row) < RowTotal())
      indexes.push_back(IndexAt(static_cast<std::size_t>(row)));
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::vector<MailRecordPtr> records;
  records.reserve(indexes.size());
  for (std::uint32_t index : indexes) records.push_back(entries_[index].record);
  return records;
}

}  // namespace quillon
