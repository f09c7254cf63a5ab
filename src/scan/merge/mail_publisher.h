// The last step of a find: into the found-mail list, counted, and told to the front end.
#pragma once

#include <cstddef>

#include "scan/found_mails.h"
#include "scan/mail_record.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"

namespace quillon {

class MailPublisher {
 public:
  MailPublisher(ScanStatus& status, FoundMails& mails, ScanObserver& observer)
      : status_(status), mails_(mails), observer_(observer) {}

  // How many mails were published: the index the next one gets.
  std::size_t Count() const { return published_; }
  void Publish(const MailRecordPtr& record);
  // Tells the front end the current counts.
  void PublishProgress();

 private:
  ScanStatus& status_;
  FoundMails& mails_;
  ScanObserver& observer_;
  std::size_t published_ = 0;
};

}  // namespace quillon
