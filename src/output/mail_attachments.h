// The files a mail carries, as they can be saved one by one: found in the mail's raw text by its
// MIME structure, named by the part (or, lacking a name, by their place), and decoded from
// base64 or quoted-printable into the bytes the sender attached.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "output/render_options.h"
#include "scan/mail_record.h"

namespace quillon {

struct MailAttachment {
  std::u16string fileName;       // safe as one path component; never empty
  std::string contentType;       // lower-cased; "" when the part names none
  std::string transferEncoding;  // lower-cased
  std::size_t contentBegin = 0;  // the encoded content in the raw text
  std::size_t contentEnd = 0;
  bool complete = false;  // its boundary line was read: the text was not cut inside it
};

// The attachments of `mail` (the raw text as ReadMailText gives it), in the order they stand.
// A part counts when it names a file, is marked "attachment", or holds neither text nor a
// multipart (an image, a program, an attached message). The mail's text parts do not count.
// `record` supplies the boundaries the scan noted.
std::vector<MailAttachment> ListAttachments(std::string_view mail, const MailRecord& record,
                                            const RenderOptions& options);

// The attachment's bytes: base64 (RFC 2045 6.8) and quoted-printable (RFC 2045 6.7) decoded,
// any other encoding ("7bit", "8bit", "binary", none) as it stands.
std::string DecodeAttachment(std::string_view mail, const MailAttachment& attachment);

}  // namespace quillon
