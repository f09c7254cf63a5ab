// The document the preview pane shows for a found mail: its attachment list, then its HTML part
// as it stands, or its plain-text part (or the raw text behind the header) in <pre>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/mail_record.h"

namespace quillon {

// "%0.1f MB" above 1 MiB, "%0.1f KB" above 1 KiB, "%d B" above 0; empty for 0, negative sizes and
// sizes above 1 GiB.
std::u16string FormatSize(std::int64_t size);

// Builds the preview document from the record and its raw text (as ReadMailTextForPreview gives
// it). The body is converted with its own charset (the part's Content-Type charset, else the
// HTML's meta charset, else the ANSI code page). Empty when there is nothing to show.
std::u16string BuildPreviewText(const MailRecord& record, std::string_view rawText);

}  // namespace quillon
