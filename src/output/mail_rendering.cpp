#include "output/mail_rendering.h"

#include "scan/mail_reader.h"

namespace quillon {

std::string RenderEml(const MailRecord& record, DataSource* source,
                      const std::atomic<bool>* stopRequested, TextOrigin* origin) {
  std::string text;
  // A source that cannot be opened gives no text, as does a mail that is not found again.
  if (origin)
    (void)ReadMailText(record, source, text, stopRequested, *origin);
  else
    (void)ReadMailText(record, source, text, stopRequested);
  return text;
}

std::string RenderTxt(const MailRecord& record) {
  const std::string body = record.BodyText();
  std::string text;
  text.reserve(60 + record.subject.size() + record.from.size() + record.to.size() +
               record.date.size() + body.size());
  text.append("Subject: ").append(record.subject).append("\r\n");
  text.append("From: ").append(record.from).append("\r\n");
  text.append("To: ").append(record.to).append("\r\n");
  text.append("Date: ").append(record.date).append("\r\n");
  text.append("---------- Text ---------\r\n");
  text.append(body);
  return text;
}

}  // namespace quillon
