// Reads a mail whose whole extent the scan could tell: a store mail by its block chain, any
// other from its first header line to where its text ends. Private to the re-reader.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "scan/mail_record.h"
#include "scan/text_origin.h"
#include "source/data_source.h"

namespace quillon::mail_reader {

// True when the scan told where this mail's text begins, so that the extent read applies.
bool HasKnownExtent(const MailRecord& record);

// Reads the mail from its known extent into `output` (cleaned like every re-read text). Bytes
// the source cannot deliver are zeros with `zerosForUnreadable`, else blanks; they end no mail.
// `origin`, when given, is filled with where the text came from.
void ReadKnownExtent(const MailRecord& record, DataSource& source, std::string& output,
                     const std::atomic<bool>* stopRequested, bool zerosForUnreadable = true,
                     TextOrigin* origin = nullptr);

// What `text` handed to FindTextEnd stops at.
enum class TextTail {
  Open,        // more bytes may follow, not read yet (or the text's first NUL ends it)
  MailEnd,     // where the mail's bytes end as the scan saw them
  BinaryData,  // at a NUL amid binary data (not a file's zeros up to its sector's end)
};

// Where a mail's text ends when the scan did not see it, in `text` that starts with the mail's
// first header line: at a NUL; behind a multipart's closing boundary; at binary bytes (and 8-bit
// bytes on a line with the shift codes of the 7-bit charsets); at two lines in a row that end
// otherwise than the header block's (CR LF or a bare LF), or at such lines that run up to a NUL
// or to a `tail` that is the mail's end; at a last line that runs into a `tail` of binary data
// (not the body's first); at a mailbox separator (not one that quotes a mail whole); and, with
// `endAtTraceLines` (when the next mail's start is not known), at the next line that opens a mail
// with a trace line. npos when nothing in `text` ends it.
std::size_t FindTextEnd(std::string_view text, std::string_view boundary, bool endAtTraceLines,
                        TextTail tail = TextTail::Open);

}  // namespace quillon::mail_reader
