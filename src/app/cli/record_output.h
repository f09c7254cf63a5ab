// How the command line prints found mails: one JSON object per line, or a readable table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output/render_options.h"
#include "scan/mail_record.h"
#include "source/sector_ranges.h"

namespace quillon {

// {"index": ..., "sector": ..., "offset": ..., "from": ..., "to": ..., "subject": ..., "date": ...,
//  "priority": ..., "attachments": [{"name": ..., "size": ...}, ...], "duplicate_of": index of the
//  first copy of the same message or null, "part_of": index of the enclosing mail or null,
//  "found_by": "trace" or "shape", "damaged": true when the mail holds sectors that could not be
//  read, else false} without a line break.
// Scripts parse this: fields keep their names and meaning; new ones are added at the end.
std::string RecordJson(const MailRecord& record, std::size_t index, const RenderOptions& options);

// The table's heading and one row per mail. The marks column holds "!" for a high priority,
// "&" for attachments and "D" for a damaged mail; behind the subject stand "= a copy of mail N"
// for a later copy of a message and "^ found inside mail N" for a mail attached to or quoted in
// another (N as in the # column).
std::string TableHeading();
std::string TableRow(const MailRecord& record, std::size_t index, const RenderOptions& options);
// TableRow written at the end of `out`, for a listing of many rows.
void AppendTableRow(std::string& out, const MailRecord& record, std::size_t index,
                    const RenderOptions& options);

// What stderr says at the end of a scan that met sectors it could not read, one line each:
// how many and which ("1000-1127, 5000"), and how many of the mails found hold them. Empty
// when every sector could be read.
std::string UnreadableSummary(const std::vector<SectorRange>& unreadable, std::size_t damagedMails);

// UTF-16 text as a JSON string literal in UTF-8 (lone surrogates become U+FFFD).
std::string JsonString(std::u16string_view text);

}  // namespace quillon
