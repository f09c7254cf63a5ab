// The document the preview pane shows for a found mail: its decoded header fields, its attachment
// list, then its HTML part as it stands, or its plain-text part (or the raw text behind the
// header) in <pre>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/render_options.h"
#include "scan/mail_record.h"

namespace quillon {

// "%0.1f MB" above 1 MiB, "%0.1f KB" above 1 KiB, "%d B" above 0; empty for 0, negative sizes and
// sizes above 1 GiB.
std::u16string FormatSize(std::int64_t size);

// Builds the attachment list and the body from the record and its raw text (as
// ReadMailTextForPreview gives it). The text part is the mail's first HTML part, else its first
// plain one, found by its MIME structure and ended at its own boundary line; a mail whose parts
// name no text type falls back to the first "text/html" or "text/plain" anywhere. The body is
// converted with its own charset (the part's Content-Type charset, else the HTML's meta charset,
// else the ANSI code page of `options`). Empty when there is nothing to show.
std::u16string BuildPreviewText(const MailRecord& record, std::string_view rawText,
                                const RenderOptions& options);

// "From:", "To:", "Cc:", "Date:" and "Subject:" with the decoded values, addresses included, as
// an HTML table followed by a rule; fields the mail lacks are left out.
std::u16string PreviewHeaderBlock(const MailRecord& record, const RenderOptions& options);

// The whole pane: the header block, then BuildPreviewText. A mail that cannot be read back still
// shows its header fields.
std::u16string BuildPreviewDocument(const MailRecord& record, std::string_view rawText,
                                    const RenderOptions& options);

}  // namespace quillon
