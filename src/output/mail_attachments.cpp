#include "output/mail_attachments.h"

#include "output/file_naming.h"
#include "output/mime_parts.h"
#include "text/base64.h"
#include "text/quoted_printable.h"

namespace quillon {

namespace {

bool IsAttachmentLeaf(const MimeLeaf& leaf) {
  if (!leaf.rawFileName.empty() || leaf.disposition == "attachment") return true;
  // A mail that names no type is plain text (RFC 2045 5.2).
  if (leaf.contentType.empty() || leaf.contentType.starts_with("text/")) return false;
  return !leaf.contentType.starts_with("multipart/");
}

std::u16string Ascii(std::string_view text) {
  return std::u16string(text.begin(), text.end());
}

// A name for a part that gives none: its place among the attachments and what it holds.
std::u16string MadeUpName(const MimeLeaf& leaf, std::size_t number) {
  std::string_view extension = ".bin";
  if (leaf.contentType == "message/rfc822")
    extension = ".eml";
  else if (leaf.contentType.starts_with("text/"))
    extension = ".txt";
  return u"attachment-" + Ascii(std::to_string(number)) + Ascii(extension);
}

}  // namespace

std::vector<MailAttachment> ListAttachments(std::string_view mail, const MailRecord& record,
                                            const RenderOptions& options) {
  std::vector<std::string> boundaries;
  for (const CompactText* boundary : {&record.boundary, &record.innerBoundary}) {
    if (!boundary->empty()) boundaries.push_back(boundary->String());
  }
  std::vector<MailAttachment> attachments;
  for (const MimeLeaf& leaf : ReadMimeStructure(mail, boundaries, options.ansiCodePage).leaves) {
    if (!IsAttachmentLeaf(leaf)) continue;
    MailAttachment attachment;
    // A name from the mail may hold a path or characters no file system takes.
    attachment.fileName = SanitizeFileName(leaf.fileName);
    if (attachment.fileName.find_first_not_of(u" ._") == std::u16string::npos)
      attachment.fileName = MadeUpName(leaf, attachments.size() + 1);
    attachment.contentType = leaf.contentType;
    attachment.transferEncoding = leaf.transferEncoding;
    attachment.contentBegin = leaf.contentBegin;
    attachment.contentEnd = leaf.contentEnd;
    attachment.complete = leaf.delimited || !leaf.inMultipart;
    attachments.push_back(std::move(attachment));
  }
  return attachments;
}

std::string DecodeAttachment(std::string_view mail, const MailAttachment& attachment) {
  if (attachment.contentBegin >= attachment.contentEnd || attachment.contentEnd > mail.size())
    return {};
  const std::string_view content =
      mail.substr(attachment.contentBegin, attachment.contentEnd - attachment.contentBegin);
  if (attachment.transferEncoding == "base64") return Base64Decode(content);
  if (attachment.transferEncoding == "quoted-printable") return QuotedPrintableDecode(content);
  return std::string(content);
}

}  // namespace quillon
