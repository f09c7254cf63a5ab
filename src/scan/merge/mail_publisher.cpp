#include "scan/merge/mail_publisher.h"

namespace quillon {

void MailPublisher::Publish(const MailRecordPtr& record) {
  ++published_;
  mails_.Add(record);
  observer_.OnMailFound(record);
  status_.foundCount.fetch_add(1);
  PublishProgress();
  status_.unsavedMails = true;
}

void MailPublisher::PublishProgress() {
  observer_.OnProgress(
      {status_.foundCount.load(), status_.currentSector.load(), status_.totalSectors.load()});
}

}  // namespace quillon
