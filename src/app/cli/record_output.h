// How the command line prints found mails: one JSON object per line, or a readable table.
#pragma once

#include <cstddef>
#include <string>

#include "scan/mail_record.h"

namespace quillon {

// {"index": ..., "sector": ..., "offset": ..., "from": ..., "to": ..., "subject": ..., "date": ...,
//  "priority": ..., "attachments": [{"name": ..., "size": ...}, ...], "duplicate_of": index of the
//  first copy of the same message or null, "found_by": "trace" or "shape"} without a line break.
// Scripts parse this: fields keep their names and meaning.
std::string RecordJson(const MailRecord& record, std::size_t index);

// The table's heading and one row per mail.
std::string TableHeading();
std::string TableRow(const MailRecord& record, std::size_t index);

// UTF-16 text as a JSON string literal in UTF-8 (lone surrogates become U+FFFD).
std::string JsonString(std::u16string_view text);

}  // namespace quillon
