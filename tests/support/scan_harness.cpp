#include "support/scan_harness.h"

#include <memory>

#include "source/memory_source.h"
#include "text/code_page.h"

namespace quillon::test {

void RecordingObserver::OnScanStarted() {
  events.push_back("started");
}
void RecordingObserver::OnViewsReset(std::string_view sourceName) {
  events.push_back("reset:" + std::string(sourceName));
}
void RecordingObserver::OnProgressRange(std::uint64_t totalSectors) {
  events.push_back("range:" + std::to_string(totalSectors));
}
void RecordingObserver::OnProgressPosition(std::uint64_t sector) {
  events.push_back("position:" + std::to_string(sector));
}
void RecordingObserver::OnProgress(const ScanProgress& progress) {
  events.push_back("counts:" + std::to_string(progress.foundCount) + ":" +
                   std::to_string(progress.currentSector) + ":" +
                   std::to_string(progress.totalSectors));
}
void RecordingObserver::OnMailFound(const MailRecordPtr& record) {
  events.push_back("mail:" + std::to_string(record->startSector) + ":" +
                   std::to_string(record->sectorOffset));
}
void RecordingObserver::OnScanFinished(int foundCount) {
  events.push_back("finished:" + std::to_string(foundCount));
}
void RecordingObserver::OnUnreadableSectors(const std::vector<SectorRange>& ranges) {
  unreadable = ranges;
  ++unreadableReports;
}

ScanOutcome ScanBytes(std::string_view bytes, ScanOptions options,
                      std::set<std::uint64_t> failingSectors) {
  DataSource source;
  auto counter = std::make_shared<ReadCounter>();
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                                       std::move(failingSectors), counter),
                     "memory.img");
  ScanStatus status;
  FoundMails mails;
  RecordingObserver observer;
  std::vector<SectorRange> unreadable = RunScan(source, options, status, mails, observer);
  return {mails.Snapshot(), observer.events, std::move(unreadable), observer.unreadable,
          counter->calls.load()};
}

ImageBuilder& ImageBuilder::Put(std::uint64_t offset, std::string_view bytes) {
  if (bytes_.size() < offset + bytes.size()) bytes_.resize(offset + bytes.size(), '\0');
  bytes_.replace(offset, bytes.size(), bytes);
  return *this;
}

ImageBuilder& ImageBuilder::Resize(std::uint64_t size) {
  bytes_.resize(size, '\0');
  return *this;
}

std::string CrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

namespace {
constexpr std::string_view kSampleHead =
    "Received: from mail.example.org by mx.example.com; Mon, 9 Mar 2009 10:11:12 +0800\n";
}

std::string SampleMail(std::string_view subject, std::string_view body) {
  return CrLf(std::string(kSampleHead) +
              "Received: from client.example.org by mail.example.org; Mon, 9 Mar 2009 10:11:10 "
              "+0800\n"
              "From: Alice Example <alice@example.org>\n"
              "To: Bob Example <bob@example.com>\n"
              "Subject: " +
              std::string(subject) +
              "\n"
              "Date: Mon, 9 Mar 2009 10:11:12 +0800\n"
              "Message-ID: <sample@example.org>\n"
              "\n") +
         std::string(body);
}

std::size_t SampleMailTraceOffset() {
  return kSampleHead.size() + 1;
}

}  // namespace quillon::test
