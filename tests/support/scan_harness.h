// Scans bytes held in memory the way the scan thread scans a disk, and records what the front
// end would be told.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "scan/found_mails.h"
#include "scan/scan_driver.h"
#include "scan/scan_observer.h"

namespace quillon::test {

// Every notification in order, as text: "started", "reset:<name>", "range:<n>", "position:<n>",
// "counts:<found>:<sector>:<total>", "mail:<sector>:<offset>", "finished:<n>".
class RecordingObserver : public ScanObserver {
 public:
  void OnScanStarted() override;
  void OnViewsReset(std::string_view sourceName) override;
  void OnProgressRange(std::uint64_t totalSectors) override;
  void OnProgressPosition(std::uint64_t sector) override;
  void OnProgress(const ScanProgress& progress) override;
  void OnMailFound(const MailRecordPtr& record) override;
  void OnScanFinished(int foundCount) override;
  // Kept apart from `events`, whose order the tests hold.
  void OnUnreadableSectors(const std::vector<SectorRange>& ranges) override;

  std::vector<std::string> events;
  std::vector<SectorRange> unreadable;
  int unreadableReports = 0;
};

struct ScanOutcome {
  std::vector<MailRecordPtr> records;
  std::vector<std::string> events;
  std::vector<SectorRange> unreadable;  // as the scan returned them
  std::vector<SectorRange> reported;    // as the observer was told
  std::uint64_t readCalls = 0;          // reads asked of the in-memory source
};

ScanOutcome ScanBytes(std::string_view bytes, ScanOptions options = {},
                      std::set<std::uint64_t> failingSectors = {});

// A disk image assembled piece by piece at chosen byte offsets; gaps are zeros.
class ImageBuilder {
 public:
  ImageBuilder& Put(std::uint64_t offset, std::string_view bytes);
  ImageBuilder& Resize(std::uint64_t size);
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A small well-formed mail with CR LF line ends, its header opened by two "Received: " lines.
std::string SampleMail(std::string_view subject = "Hello", std::string_view body = "Body line\r\n");

// Byte position of the second "Received: " line of SampleMail, the line a scan records.
std::size_t SampleMailTraceOffset();

// Replaces "\n" by "\r\n" in text written with bare line feeds.
std::string CrLf(std::string_view text);

}  // namespace quillon::test
