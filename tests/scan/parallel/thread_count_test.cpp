// A scan on several threads finds what it finds on one, byte for byte: on an image of every
// layout of the image builder, with small chunks so that many mails cross chunk boundaries and
// workers walk later chunks afresh and scan their shapes over many rounds, in both modes, with
// every chunk handed to a worker or only those with many marks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/cli/record_output.h"
#include "scan/scan_driver.h"
#include "source/memory_source.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

constexpr std::uint32_t kSmallChunk = 256;  // sectors: 128 KiB

struct LayoutRow {
  const char* name;
  const char* layout;
  std::string options;  // for the image builder
  std::set<std::uint64_t> failingSectors;
  // Chunks of the usual size let the workers follow the bodies of shape finds ahead: they see
  // the bytes a following may look at only where seven chunks reach well past a mail.
  std::uint32_t chunkSectors = kSmallChunk;
};

void PrintTo(const LayoutRow& row, std::ostream* out) {
  *out << row.name;
}

// Everything a front end learns of a scan, as text: the notifications in order, every record as
// the command line prints it with where its text lies and its body, and the unreadable sectors.
std::string Described(const test::ScanOutcome& outcome) {
  std::string text;
  for (const std::string& event : outcome.events) text += event + "\n";
  const RenderOptions render{1252};
  for (std::size_t i = 0; i < outcome.records.size(); ++i) {
    const MailRecord& record = *outcome.records[i];
    const MailExtent extent = record.Extent();
    const MailBody body = record.Body();
    text += RecordJson(record, i, render) + " text " + std::to_string(extent.textStart) + " " +
            std::to_string(extent.multipartEnd) + " " + std::to_string(extent.nextMailStart) +
            " body " + std::to_string(body.textEnd) + " " + std::to_string(body.followedEnd) + " " +
            std::to_string(std::hash<std::string>{}(body.bodyText)) + "\n";
  }
  for (const SectorRange& range : outcome.unreadable)
    text += "unreadable " + std::to_string(range.first) + "+" + std::to_string(range.count) + "\n";
  return text;
}

std::string FirstDifference(const std::string& one, const std::string& other) {
  std::size_t line = 1, at = 0;
  while (at < one.size() && at < other.size() && one[at] == other[at])
    if (one[at++] == '\n') ++line;
  return "line " + std::to_string(line) + ": " + one.substr(one.rfind('\n', at) + 1, 200) +
         "\n   with one thread: " + other.substr(other.rfind('\n', at) + 1, 200);
}

// An image of `layout` built from the demo mails and every fourth corpus mail from
// `firstCorpusMail` on; checked to cross enough small chunks.
std::string BuiltImage(const test::TemporaryDirectory& folder, const char* layout,
                       const std::string& options, int seed, std::size_t firstCorpusMail) {
  const std::filesystem::path image = folder.path() / "image.img";
  std::string command = "python3 '" + (test::SourceDir() / "tools" / "quillon-mkimage").string() +
                        "' --layout " + layout + " --out '" + image.string() + "' --truth '" +
                        (folder.path() / "truth.json").string() + "' --seed " +
                        std::to_string(seed) + " " + options + " '" +
                        (test::SourceDir() / "tools" / "demo-mails").string() + "'";
  const std::vector<std::filesystem::path> corpus = test::CorpusMessageFiles();
  for (std::size_t i = firstCorpusMail; i < corpus.size(); i += 4)
    command += " '" + corpus[i].string() + "'";
  EXPECT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
  std::string bytes = test::ReadFileBytes(image);
  EXPECT_GT(bytes.size(), 16u * kSmallChunk * 512) << "too few chunks to cross";
  return bytes;
}

class ThreadCount : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(ThreadCount, FindsWhatOneThreadFinds) {
  const LayoutRow& row = GetParam();
  test::TemporaryDirectory folder;
  const std::string bytes = BuiltImage(folder, row.layout, row.options, 9, 0);
  if (::testing::Test::HasFailure()) return;

  for (const bool strict : {false, true}) {
    ScanOptions options;
    options.strict = strict;
    options.ansiCodePage = 1252;
    options.chunkSectors = row.chunkSectors;
    options.threads = 1;
    const test::ScanOutcome one = test::ScanBytes(bytes, options, row.failingSectors);
    const std::string reference = Described(one);
    if (!strict) {
      EXPECT_FALSE(one.records.empty()) << "nothing found: nothing compared";
    }
    // Every chunk handed to a worker, and chunks with few marks carved on the scan's own thread
    // between those handed over.
    const std::pair<unsigned, std::uint32_t> ways[] = {
        {2u, 0u}, {2u, 24u}, {3u, 0u}, {3u, kHandOverFromMarks}};
    for (const auto& [threads, handOverFromMarks] : ways) {
      options.threads = threads;
      options.handOverFromMarks = handOverFromMarks;
      const std::string described = Described(test::ScanBytes(bytes, options, row.failingSectors));
      EXPECT_TRUE(described == reference)
          << (strict ? "--strict, " : "") << threads << " threads, handed over from "
          << handOverFromMarks << " marks: " << FirstDifference(described, reference);
    }
  }
}

const std::string kSize = "--size " + std::to_string(6 << 20);

INSTANTIATE_TEST_SUITE_P(
    Layouts, ThreadCount,
    ::testing::Values(
        LayoutRow{"Deleted", "deleted", kSize, {}},
        LayoutRow{"DeletedShifted", "deleted", kSize + " --shift 1048573", {}},
        LayoutRow{"Dbx", "dbx", kSize, {}},
        LayoutRow{"DbxFragmented", "dbx", kSize + " --fragment --shift 524300", {}},
        LayoutRow{"Mbox", "mbox", kSize, {}}, LayoutRow{"Straddle", "straddle", kSize, {}},
        LayoutRow{"Tail", "tail", kSize, {}},
        LayoutRow{"Mixed", "mixed", kSize + " --shift 333", {}},
        LayoutRow{"Glued", "glued", kSize, {}}, LayoutRow{"GluedChunk", "glued-chunk", kSize, {}},
        LayoutRow{"Sector", "sector", kSize + " --mix held-out", {}},
        LayoutRow{"Slack", "slack", kSize, {}},
        LayoutRow{"DiskLineFeeds", "disk", kSize + " --case lf", {}},
        LayoutRow{"DiskLongHeader", "disk", kSize + " --case long-header", {}},
        LayoutRow{"Copies", "copies", kSize, {}},
        LayoutRow{"ScatteredStore", "scattered-store", kSize, {}},
        LayoutRow{"Bench", "bench", kSize + " --mails 40", {}},
        LayoutRow{"Dense", "bench-dense", "--size " + std::to_string(12 << 20), {}},
        LayoutRow{"DenseWithUnreadableSectors",
                  "bench-dense",
                  "--size " + std::to_string(12 << 20),
                  {300, 511, 512, 513, 4000, 4001, 9000, 15000, 20479}},
        LayoutRow{"Attachments", "bench-attachments", "--size " + std::to_string(8 << 20), {}},
        LayoutRow{"DenseUsualChunks",
                  "bench-dense",
                  "--size " + std::to_string(12 << 20),
                  {},
                  kChunkSectors},
        LayoutRow{
            "MboxUsualChunks", "mbox", "--size " + std::to_string(12 << 20), {}, kChunkSectors}),
    RowName{});

// A source whose reads take a while in every other stretch of `stretch` bytes, as a page-cached
// image whose copy takes the reader's core: there the scan's own thread catches up with the
// reading and carves chunks itself, elsewhere the reading runs ahead and workers take chunks,
// and the scan goes from one to the other many times.
class UnevenBackend final : public SourceBackend {
 public:
  UnevenBackend(const std::string& bytes, std::uint64_t stretch, std::chrono::microseconds perRead)
      : inner_(MakeMemoryBackend(std::vector<std::uint8_t>(bytes.begin(), bytes.end()))),
        stretch_(stretch),
        perRead_(perRead) {}
  std::uint64_t SizeBytes() const override { return inner_->SizeBytes(); }
  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (offset / stretch_ % 2 == 1) std::this_thread::sleep_for(perRead_);
    return inner_->ReadAt(buffer, count, offset);
  }

 private:
  std::unique_ptr<SourceBackend> inner_;
  std::uint64_t stretch_;
  std::chrono::microseconds perRead_;
};

test::ScanOutcome ScanUnevenly(const std::string& bytes, const ScanOptions& options,
                               std::chrono::microseconds perRead) {
  DataSource source;
  source.OpenBackend(std::make_unique<UnevenBackend>(
                         bytes, std::uint64_t{3} * options.chunkSectors * kSectorSize, perRead),
                     "memory.img");
  ScanStatus status;
  FoundMails mails;
  test::RecordingObserver observer;
  test::ScanOutcome outcome;
  outcome.unreadable = RunScan(source, options, status, mails, observer);
  outcome.records = mails.Snapshot();
  outcome.events = observer.events;
  return outcome;
}

struct UnevenRow {
  const char* name;
  const char* layout;
  std::string options;  // for the image builder
  std::chrono::microseconds perRead;
};

void PrintTo(const UnevenRow& row, std::ostream* out) {
  *out << row.name;
}

class ThreadCountWhileReadingLags : public ::testing::TestWithParam<UnevenRow> {};

TEST_P(ThreadCountWhileReadingLags, FindsWhatOneThreadFinds) {
  const UnevenRow& row = GetParam();
  test::TemporaryDirectory folder;
  const std::string bytes = BuiltImage(folder, row.layout, row.options, 5, 1);
  if (::testing::Test::HasFailure()) return;

  for (const bool strict : {false, true}) {
    ScanOptions options;
    options.strict = strict;
    options.ansiCodePage = 1252;
    options.chunkSectors = kSmallChunk;
    options.threads = 1;
    const test::ScanOutcome one = test::ScanBytes(bytes, options);
    const std::string reference = Described(one);
    if (!strict) {
      EXPECT_FALSE(one.records.empty()) << "nothing found: nothing compared";
    }
    for (const unsigned threads : {1u, 2u, 3u}) {
      options.threads = threads;
      options.handOverFromMarks = 0;
      const std::string described = Described(ScanUnevenly(bytes, options, row.perRead));
      EXPECT_TRUE(described == reference) << (strict ? "--strict, " : "") << threads
                                          << " threads: " << FirstDifference(described, reference);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ThreadCountWhileReadingLags,
    testing::Values(UnevenRow{"Attachments", "bench-attachments",
                              "--size " + std::to_string(6 << 20), std::chrono::microseconds(400)},
                    UnevenRow{"Dense", "bench-dense", "--size " + std::to_string(6 << 20),
                              std::chrono::microseconds(400)},
                    UnevenRow{"Mixed", "mixed", "--size " + std::to_string(6 << 20) + " --shift 77",
                              std::chrono::microseconds(900)}),
    RowName{});

}  // namespace
}  // namespace quillon
