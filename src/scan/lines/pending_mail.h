// The headers of a mail gathered so far, before its header block is complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/mail_record.h"

namespace quillon {

struct PendingMail {
  std::string subject;
  std::string from;
  std::string to;
  std::string cc;
  std::string date;
  std::string priority;
  std::string boundary;
  std::string contentType;
  std::string transferEncoding;
  std::string innerBoundary;
  std::string messageId;
  std::uint64_t startSector = 0;
  std::uint16_t sectorOffset = 0;
  bool inMail = false;
  bool accepted = false;
  std::vector<PartEntry> attachments;  // from "X-Attachment: " lines

  void Empty() { *this = PendingMail(); }
  bool HasRequiredHeaders() const { return !from.empty() && !to.empty() && !date.empty(); }
};

}  // namespace quillon
