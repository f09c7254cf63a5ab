#include "scan/merge/mail_publisher.h"

#include <string>

namespace quillon {

void MailPublisher::Publish(const MailRecordPtr& record) {
  ++published_;
  mails_.Add(record);
  observer_.OnMailFound(record);
  status_.foundCount.fetch_add(1);
  PublishStatus();
  status_.unsavedMails = true;
}

void MailPublisher::PublishStatus() {
  std::u16string text = ComposeStatusText(status_.foundCount.load(), status_.currentSector.load(),
                                          status_.totalSectors.load());
  status_.SetStatusText(text);
  observer_.OnStatusText(text);
}

}  // namespace quillon
