#include "scan/scan_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "source/memory_source.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::ImageBuilder;
using test::SampleMail;
using test::ScanBytes;

std::vector<std::string> Matching(const std::vector<std::string>& events,
                                  const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& event : events)
    if (event.rfind(prefix, 0) == 0) out.push_back(event);
  return out;
}

TEST(ScanDriverTest, EmptySourceReadsNothingAndFinishesWithZero) {
  auto outcome = ScanBytes("");
  EXPECT_EQ(outcome.events,
            (std::vector<std::string>{"started", "reset:memory.img", "range:0", "finished:0"}));
}

// 3000 sectors are two chunks of 2048 and 952 sectors.
TEST(ScanDriverTest, ChunksAndCounts) {
  ImageBuilder image;
  image.Put(2100 * 512 + 40, SampleMail("In the second chunk")).Resize(3000 * 512);
  auto outcome = ScanBytes(image.Bytes());
  EXPECT_EQ(Matching(outcome.events, "position:"),
            (std::vector<std::string>{"position:0", "position:2048"}));
  EXPECT_EQ(
      Matching(outcome.events, "counts:"),
      (std::vector<std::string>{"counts:0:0:3000", "counts:0:2048:3000", "counts:1:2048:3000"}));
  EXPECT_EQ(outcome.events.back(), "finished:1");
  // The row comes before the count that includes it.
  const auto mail = std::find(outcome.events.begin(), outcome.events.end(),
                              "mail:2100:" + std::to_string(40 + test::SampleMailTraceOffset()));
  ASSERT_NE(mail, outcome.events.end());
  EXPECT_EQ(*(mail + 1), "counts:1:2048:3000");
}

// Only the sectors that cannot be read scan as zeros: a failing sector in the same 128-sector
// read as a mail no longer hides it.
TEST(ScanDriverTest, OnlyUnreadableSectorsScanAsZeros) {
  ImageBuilder image;
  for (int i = 0; i < 8; ++i)
    image.Put(i * 128 * 512 + 1000, SampleMail("Mail " + std::to_string(i)));
  image.Resize(8 * 128 * 512);
  auto outcome = ScanBytes(image.Bytes(), {}, {3 * 128 + 5});
  ASSERT_EQ(outcome.records.size(), 8u);
  EXPECT_EQ(outcome.records[3]->SubjectText(), u"Mail 3");
  EXPECT_EQ(outcome.unreadable, (std::vector<SectorRange>{{3 * 128 + 5, 1}}));
  for (const auto& record : outcome.records) EXPECT_FALSE(record->damaged);
}

TEST(ScanDriverTest, RangeKeepsAbsolutePositions) {
  ImageBuilder image;
  image.Put(100 * 512, SampleMail("Early")).Put(5000 * 512, SampleMail("Late")).Resize(6000 * 512);
  ScanOptions options;
  options.startSector = 4000;
  options.sectorCount = 1500;
  auto outcome = ScanBytes(image.Bytes(), options);
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(outcome.records[0]->SubjectText(), u"Late");
  EXPECT_EQ(outcome.records[0]->startSector, 5000u);
}

// A trailing partial sector is scanned: a mail that ends in it keeps its text.
TEST(ScanDriverTest, TrailingPartialSectorIsScanned) {
  ImageBuilder image;
  const std::string mail = SampleMail("Tail", "Last words\r\n");
  image.Put(10 * 512 - 100, mail);
  ASSERT_NE(image.Bytes().size() % 512, 0u);
  auto outcome = ScanBytes(image.Bytes());
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(outcome.records[0]->Body().bodyText, "Last words");
}

class StopAfterFirstMail : public test::RecordingObserver {
 public:
  explicit StopAfterFirstMail(ScanStatus& status) : status_(status) {}
  void OnMailFound(const MailRecordPtr& record) override {
    RecordingObserver::OnMailFound(record);
    status_.stopRequested = true;
  }

 private:
  ScanStatus& status_;
};

TEST(ScanDriverTest, StopEndsTheScanAndClearsTheFlag) {
  ImageBuilder image;
  for (int i = 0; i < 6; ++i) image.Put(i * (1 << 20) + 900, SampleMail());
  DataSource source;
  const std::string& bytes = image.Resize(6 << 20).Bytes();
  source.OpenBackend(MakeMemoryBackend({bytes.begin(), bytes.end()}), "stop.img");
  ScanStatus status;
  FoundMails mails;
  StopAfterFirstMail observer(status);
  ScanOptions options;
  options.strict = true;  // each mail is published as the walk accepts it
  RunScan(source, options, status, mails, observer);
  EXPECT_EQ(mails.Count(), 1u);
  EXPECT_FALSE(status.stopRequested.load());
  EXPECT_FALSE(status.scanning.load());
  EXPECT_EQ(Matching(observer.events, "position:").size(), 1u) << "no chunk after the stop";
  EXPECT_EQ(observer.events.back(), "finished:1");
}

TEST(ScanDriverTest, SourceThatCannotBeOpenedOnlyFinishes) {
  ScanStatus status;
  status.foundCount = 4;
  FoundMails mails;
  test::RecordingObserver observer;
  const ScanResult result =
      RunScanOfSource("/nonexistent/quillon.img", {}, status, mails, observer);
  EXPECT_FALSE(result.opened);
  EXPECT_FALSE(result.error.empty());
  EXPECT_EQ(observer.events, (std::vector<std::string>{"finished:4"}));
}

// The window thread reads records and their bodies while the scan thread fills them; run under
// ThreadSanitizer to prove there is no race.
TEST(ScanDriverTest, RecordsCanBeReadWhileTheScanRuns) {
  ImageBuilder image;
  for (int i = 0; i < 200; ++i)
    image.Put(i * 20000 + 333, SampleMail("Mail " + std::to_string(i), "line\r\nline\r\n"));
  const std::string& bytes = image.Resize(200 * 20000 + 4096).Bytes();
  DataSource source;
  source.OpenBackend(MakeMemoryBackend({bytes.begin(), bytes.end()}), "race.img");
  ScanStatus status;
  FoundMails mails;
  test::RecordingObserver observer;
  // Waiting for `scanning` to rise first would wait forever where the scan is over before this
  // thread looks: the scan thread says itself when it is done.
  std::atomic<bool> finished{false};
  std::thread scan([&] {
    RunScan(source, {}, status, mails, observer);
    finished.store(true);
  });
  std::size_t reads = 0;
  while (!finished.load()) {
    for (const auto& record : mails.Snapshot()) {
      reads += record->Body().bodyText.size() + record->SubjectText().size();
    }
    (void)status.foundCount.load();
  }
  scan.join();
  EXPECT_EQ(mails.Count(), 200u);
  for (const auto& record : mails.Snapshot()) EXPECT_TRUE(record->BodyClosed());
  (void)reads;
}

}  // namespace
}  // namespace quillon
