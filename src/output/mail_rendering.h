// The bytes of an output file for one found mail.
#pragma once

#include <atomic>
#include <string>

#include "scan/mail_record.h"
#include "scan/text_origin.h"
#include "source/data_source.h"

namespace quillon {

// The mail's raw text as read back from its source, byte for byte; empty when it cannot be read
// back. `source` may be an open source of the record, or null. `origin`, when given, is filled
// with where the text came from.
std::string RenderEml(const MailRecord& record, DataSource* source,
                      const std::atomic<bool>* stopRequested, TextOrigin* origin = nullptr);

// "Subject: ", "From: ", "To: ", "Date: " lines with the values as carved, the line
// "---------- Text ---------", then the collected body text. Needs no source.
std::string RenderTxt(const MailRecord& record);

}  // namespace quillon
