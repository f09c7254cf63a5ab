// Turns a complete header block into a found-mail record: the values as carved, decoded for
// display, the date normalised and the subject trimmed of line breaks.
#pragma once

#include <memory>
#include <string>

#include "scan/lines/pending_mail.h"
#include "scan/mail_record.h"

namespace quillon {

// `sourceName` is shared with the record (a scan's records all name one source).
MailRecordPtr BuildRecord(PendingMail&& pending, std::shared_ptr<const std::string> sourceName,
                          FoundBy foundBy, int ansiCodePage);

// Gives `record` the header values of `from`, a record of the same mail read better.
void TakeHeaderValues(MailRecord& record, const MailRecord& from);

}  // namespace quillon
