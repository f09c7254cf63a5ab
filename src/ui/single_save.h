// Saving the one mail selected in the list, without the dialogs around it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "output/save_format.h"
#include "scan/mail_record.h"

namespace quillon {

// The file's bytes: the raw mail read back from its source for Eml (empty when it cannot be read
// back), the TXT rendering for Txt.
std::string RenderSingleSave(const MailRecord& record, SaveFormat format);

// Creates or truncates the file and writes all bytes. False when it cannot be created or written.
[[nodiscard]] bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// Writes a mail's file as WriteFileBytes does and gives it the mail's Date as its modification
// time (left as written when the Date does not parse).
[[nodiscard]] bool WriteMailFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quillon
