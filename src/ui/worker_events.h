// The scan and the save run report from their own threads; the window may only be touched on
// its thread. These observers post every report to the window thread and never wait for it, so
// the window can join a worker without either side blocking the other.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "output/save_run.h"
#include "scan/scan_observer.h"

namespace quillon {

// The window-thread side of a scan. Calls come in the order the scan made them; progress and
// status reports that pile up are merged into the newest one, whose counts are worded as the
// status line.
class ScanListener {
 public:
  virtual ~ScanListener() = default;
  virtual void ScanStarted() = 0;
  virtual void ViewsReset(const QString& sourceName) = 0;
  virtual void ProgressRange(std::uint64_t totalSectors) = 0;
  virtual void Progress(std::uint64_t sector, const QString& statusText) = 0;
  // Mails found since the last call, in found order.
  virtual void MailsFound(const std::vector<MailRecordPtr>& records) = 0;
  // Right before ScanFinished: the sectors that could not be read (empty when none).
  virtual void UnreadableSectors(const std::vector<SectorRange>& ranges) { (void)ranges; }
  virtual void ScanFinished(int foundCount) = 0;
};

class SaveRunListener {
 public:
  virtual ~SaveRunListener() = default;
  virtual void SaveWritingStarted() = 0;
  virtual void SaveProgressRange(std::size_t mailCount) = 0;
  virtual void SaveProgress(std::size_t index, const QString& statusText) = 0;
  // Facts the run tells at its end, for the window to word (save_notice_message.h).
  virtual void SaveNoticed(const SaveNotice& notice) = 0;
  virtual void SaveRunFinished() = 0;
};

// `context` is the object whose thread runs the listener; reports still queued when it is
// destroyed are dropped. Its owner joins the worker before destroying it.
class ScanEvents final : public ScanObserver {
 public:
  ScanEvents(QObject* context, ScanListener& listener);

  void OnScanStarted() override;
  void OnViewsReset(std::string_view sourceName) override;
  void OnProgressRange(std::uint64_t totalSectors) override;
  void OnProgressPosition(std::uint64_t sector) override;
  void OnProgress(const ScanProgress& progress) override;
  void OnMailFound(const MailRecordPtr& record) override;
  void OnUnreadableSectors(const std::vector<SectorRange>& ranges) override;
  void OnScanFinished(int foundCount) override;

 private:
  template <typename Call>
  void Post(Call call);
  void DeliverProgress();
  void DeliverMails();

  QObject* context_;
  ScanListener& listener_;
  std::mutex mutex_;
  std::uint64_t sector_ = 0;
  std::optional<ScanProgress> progress_;  // the newest counts, worded on the window thread
  bool progressPosted_ = false;
  std::vector<MailRecordPtr> pendingMails_;
};

class SaveRunEvents final : public SaveRunObserver {
 public:
  SaveRunEvents(QObject* context, SaveRunListener& listener);

  void OnWritingStarted() override;
  void OnProgressRange(std::size_t mailCount) override;
  void OnProgressPosition(std::size_t index) override;
  void OnSavingMail(const std::u16string& baseName) override;
  void OnNotice(const SaveNotice& notice) override;
  void OnRunFinished() override;

 private:
  template <typename Call>
  void Post(Call call);
  void DeliverProgress();

  QObject* context_;
  SaveRunListener& listener_;
  std::mutex mutex_;
  std::size_t index_ = 0;
  QString statusText_;
  bool progressPosted_ = false;
};

}  // namespace quillon
