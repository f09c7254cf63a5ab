#include "scan/carve/record_building.h"

#include <memory>
#include <string_view>
#include <utility>

#include "scan/lines/header_text.h"
#include "text/ascii.h"
#include "text/encoded_words.h"

namespace quillon {

namespace {

std::int16_t PriorityNumber(std::string_view text) {
  int value = 0;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 9999) break;
  }
  return static_cast<std::int16_t>(value);
}

template <typename String>
void TrimLineBreaks(String& text) {
  std::size_t begin = 0;
  while (begin < text.size() && (text[begin] == '\r' || text[begin] == '\n')) ++begin;
  std::size_t end = text.size();
  while (end > begin && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
  // In place: nearly every value has nothing to trim, and a copy of it would be a new string.
  text.erase(end);
  text.erase(0, begin);
}

}  // namespace

MailRecordPtr BuildRecord(PendingMail&& pending, std::shared_ptr<const std::string> sourceName,
                          FoundBy foundBy, int ansiCodePage) {
  auto record = std::make_shared<MailRecord>();
  // The subject is decoded as carved and trimmed of its line breaks after. A value that decodes
  // as itself is not decoded: the record widens its raw value when asked for its text.
  const bool subjectAsItself = DecodesAsItself(pending.subject, ansiCodePage);
  std::u16string subjectText;
  if (!subjectAsItself) {
    subjectText = DecodeHeaderText(pending.subject, ansiCodePage);
    TrimLineBreaks(subjectText);
  }
  TrimLineBreaks(pending.subject);
  NormaliseDate(pending.date);
  record->subject = pending.subject;
  record->from = pending.from;
  record->to = pending.to;
  record->cc = pending.cc;
  record->date = pending.date;
  record->boundary = pending.boundary;
  record->contentType = pending.contentType;
  record->transferEncoding = pending.transferEncoding;
  record->innerBoundary = pending.innerBoundary;
  record->messageId = TrimWhiteSpace(pending.messageId);
  record->attachments = std::move(pending.attachments);
  record->startSector = pending.startSector;
  record->sectorOffset = pending.sectorOffset;
  record->priority = PriorityNumber(pending.priority);
  record->SetSourceName(std::move(sourceName));
  record->foundBy = foundBy;

  if (!AddressDecodesAsItself(record->from.View(), ansiCodePage))
    record->SetFromText(DecodeAddressText(record->from, ansiCodePage));
  if (!AddressDecodesAsItself(record->to.View(), ansiCodePage))
    record->SetToText(DecodeAddressText(record->to, ansiCodePage));
  if (subjectAsItself ? record->subject.empty() : subjectText.empty())
    subjectText = u"( No Subject )";
  if (!subjectText.empty()) record->SetSubjectText(std::move(subjectText));
  for (PartEntry& entry : record->attachments)
    entry.nameText = DecodeHeaderText(entry.name, ansiCodePage);
  return record;
}

void TakeHeaderValues(MailRecord& record, const MailRecord& from) {
  record.subject = from.subject;
  record.from = from.from;
  record.to = from.to;
  record.cc = from.cc;
  record.date = from.date;
  record.boundary = from.boundary;
  record.contentType = from.contentType;
  record.transferEncoding = from.transferEncoding;
  record.innerBoundary = from.innerBoundary;
  record.messageId = from.messageId;
  record.SetFromText(from.FromText());
  record.SetToText(from.ToText());
  record.SetSubjectText(from.SubjectText());
  record.priority = from.priority;
  record.attachments = from.attachments;
}

}  // namespace quillon
