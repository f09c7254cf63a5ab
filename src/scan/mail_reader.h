// Reads a found mail's raw RFC 822 text back from its source: a window of sectors around the
// mail's start is read (its first 16 KiB, 32 KiB, ... as far as the mail's end needs),
// mail-store block headers are removed, and the mail is found in it again by its header values.
// A mail that has not ended inside the window is read on, 64 KiB at a time, up to 64 MiB. The
// record is never changed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "scan/mail_record.h"
#include "scan/text_origin.h"
#include "source/data_source.h"

namespace quillon {

// The save variant. `source` may be an already open source of the record, or null: then the
// record's own source (record.SourceName()) is opened. `output` is emptied first. True when the
// work ran, also when the mail was not found again (output stays empty); false when the source
// had to be opened and could not be.
[[nodiscard]] bool ReadMailText(const MailRecord& record, DataSource* source, std::string& output,
                                const std::atomic<bool>* stopRequested);
// The same, also telling where the text came from (`origin` is emptied first).
[[nodiscard]] bool ReadMailText(const MailRecord& record, DataSource* source, std::string& output,
                                const std::atomic<bool>* stopRequested, TextOrigin& origin);

// The preview variant: opens the record's source itself and cannot be stopped.
[[nodiscard]] bool ReadMailTextForPreview(const MailRecord& record, std::string& output);

}  // namespace quillon
