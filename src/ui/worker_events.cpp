#include "ui/worker_events.h"

#include <QMetaObject>
#include <utility>

#include "output/scan_status_text.h"
#include "ui/save_notice_message.h"

namespace quillon {

namespace {

// Posts `call` to the thread of `context`. A blocking hand-over would deadlock the window
// joining this worker; a queued one cannot.
template <typename Call>
void PostTo(QObject* context, Call call) {
  QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

}  // namespace

ScanEvents::ScanEvents(QObject* context, ScanListener& listener)
    : context_(context), listener_(listener) {}

template <typename Call>
void ScanEvents::Post(Call call) {
  PostTo(context_, std::move(call));
}

void ScanEvents::OnScanStarted() {
  Post([this] { listener_.ScanStarted(); });
}

void ScanEvents::OnViewsReset(std::string_view sourceName) {
  Post([this,
        name = QString::fromUtf8(sourceName.data(), static_cast<qsizetype>(sourceName.size()))] {
    listener_.ViewsReset(name);
  });
}

void ScanEvents::OnProgressRange(std::uint64_t totalSectors) {
  {
    std::lock_guard lock(mutex_);
    sector_ = 0;
  }
  Post([this, totalSectors] { listener_.ProgressRange(totalSectors); });
}

void ScanEvents::OnProgressPosition(std::uint64_t sector) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    sector_ = sector;
    post = !std::exchange(progressPosted_, true);
  }
  if (post) Post([this] { DeliverProgress(); });
}

void ScanEvents::OnProgress(const ScanProgress& progress) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    progress_ = progress;
    post = !std::exchange(progressPosted_, true);
  }
  if (post) Post([this] { DeliverProgress(); });
}

void ScanEvents::OnMailFound(const MailRecordPtr& record) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    post = pendingMails_.empty();
    pendingMails_.push_back(record);
  }
  if (post) Post([this] { DeliverMails(); });
}

void ScanEvents::OnUnreadableSectors(const std::vector<SectorRange>& ranges) {
  Post([this, ranges] { listener_.UnreadableSectors(ranges); });
}

void ScanEvents::OnScanFinished(int foundCount) {
  Post([this, foundCount] { listener_.ScanFinished(foundCount); });
}

void ScanEvents::DeliverProgress() {
  std::uint64_t sector = 0;
  std::optional<ScanProgress> progress;
  {
    std::lock_guard lock(mutex_);
    sector = sector_;
    progress = progress_;
    progressPosted_ = false;
  }
  listener_.Progress(sector,
                     progress ? QString::fromStdU16String(ScanStatusText(*progress)) : QString());
}

void ScanEvents::DeliverMails() {
  std::vector<MailRecordPtr> records;
  {
    std::lock_guard lock(mutex_);
    records.swap(pendingMails_);
  }
  if (!records.empty()) listener_.MailsFound(records);
}

SaveRunEvents::SaveRunEvents(QObject* context, SaveRunListener& listener)
    : context_(context), listener_(listener) {}

template <typename Call>
void SaveRunEvents::Post(Call call) {
  PostTo(context_, std::move(call));
}

void SaveRunEvents::OnWritingStarted() {
  Post([this] { listener_.SaveWritingStarted(); });
}

void SaveRunEvents::OnProgressRange(std::size_t mailCount) {
  Post([this, mailCount] { listener_.SaveProgressRange(mailCount); });
}

void SaveRunEvents::OnProgressPosition(std::size_t index) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    index_ = index;
    post = !std::exchange(progressPosted_, true);
  }
  if (post) Post([this] { DeliverProgress(); });
}

void SaveRunEvents::OnSavingMail(const std::u16string& baseName) {
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    statusText_ = SavingMailStatus(baseName);
    post = !std::exchange(progressPosted_, true);
  }
  if (post) Post([this] { DeliverProgress(); });
}

void SaveRunEvents::OnNotice(const SaveNotice& notice) {
  Post([this, notice] { listener_.SaveNoticed(notice); });
}

void SaveRunEvents::OnRunFinished() {
  Post([this] { listener_.SaveRunFinished(); });
}

void SaveRunEvents::DeliverProgress() {
  std::size_t index = 0;
  QString text;
  {
    std::lock_guard lock(mutex_);
    index = index_;
    text = statusText_;
    progressPosted_ = false;
  }
  listener_.SaveProgress(index, text);
}

}  // namespace quillon
