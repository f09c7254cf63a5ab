// What the duplicate marker holds per found mail: scans one source in the default mode, then
// marks its found mails again, in found order, with a marker of its own over the whole source
// mapped into memory, and prints the heap that marker holds at the end per found mail, and
// whether its marks are those of the scan (they may differ only where the scan had a mail's
// bytes no longer in hand and read them again).
//
//     build/bin/marker_bytes IMAGE [--threads N]
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "scan/found_mails.h"
#include "scan/mail_record.h"
#include "scan/merge/duplicate_marker.h"
#include "scan/scan_driver.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"

namespace {

// The source mapped read-only, whole.
class MappedSource {
 public:
  explicit MappedSource(const char* path) {
    const int file = open(path, O_RDONLY);
    if (file < 0) return;
    struct stat info {};
    if (fstat(file, &info) == 0 && info.st_size > 0) {
      size_ = static_cast<std::size_t>(info.st_size);
      void* bytes = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, file, 0);
      if (bytes != MAP_FAILED) data_ = static_cast<const std::uint8_t*>(bytes);
    }
    close(file);
  }
  ~MappedSource() {
    if (data_) munmap(const_cast<std::uint8_t*>(data_), size_);
  }
  MappedSource(const MappedSource&) = delete;
  MappedSource& operator=(const MappedSource&) = delete;

  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: marker_bytes IMAGE [--threads N]\n");
    return 2;
  }
  quillon::ScanOptions options;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
      options.threads = static_cast<unsigned>(std::atoi(argv[++i]));
  }
  quillon::ScanStatus status;
  quillon::FoundMails mails;
  quillon::ScanObserver observer;
  const quillon::ScanResult result =
      quillon::RunScanOfSource(argv[1], options, status, mails, observer);
  const MappedSource source(argv[1]);
  if (!result.opened || !source.Data()) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], result.error.c_str());
    return 1;
  }
  const std::vector<quillon::MailRecordPtr> records = mails.Snapshot();
  std::vector<std::int64_t> scanMarks;
  for (const quillon::MailRecordPtr& record : records) scanMarks.push_back(record->duplicateOf);

  const quillon::CarveBuffer whole{source.Data(), source.Size(), 0};
  std::size_t marked = 0;
  std::size_t differing = 0;
  const std::uint64_t heapBefore = mallinfo2().uordblks;
  std::uint64_t heapHeld = 0;
  std::uint64_t counted = 0;
  {
    quillon::DuplicateMarker marker;
    marker.SetSourceReader([&](std::uint64_t offset, std::size_t count, std::uint8_t* out) {
      if (offset > source.Size() || count > source.Size() - offset) return false;
      std::memcpy(out, source.Data() + offset, count);
      return true;
    });
    for (std::size_t index = 0; index < records.size(); ++index) {
      quillon::MailRecord& record = *records[index];
      record.duplicateOf = -1;
      marker.Mark(record, index, whole, std::span(records).first(index));
      marked += record.duplicateOf >= 0;
      differing += record.duplicateOf != scanMarks[index];
      record.duplicateOf = scanMarks[index];
    }
    heapHeld = mallinfo2().uordblks - heapBefore;
    counted = marker.HeldBytes();
  }
  std::size_t scanMarked = 0;
  for (const std::int64_t mark : scanMarks) scanMarked += mark >= 0;
  const double count = records.empty() ? 1.0 : static_cast<double>(records.size());
  std::printf("%zu found mails; %zu marked by the scan, %zu by the marker again, %zu differ\n",
              records.size(), scanMarked, marked, differing);
  std::printf("sizeof(DuplicateMarker) %zu\n", sizeof(quillon::DuplicateMarker));
  std::printf("%-45s %8.1f B/mail\n", "heap the marker holds at the end",
              static_cast<double>(heapHeld) / count);
  std::printf("%-45s %8.1f B/mail\n", "counted by the marker (its containers' room)",
              static_cast<double>(counted) / count);
  std::printf("sizeof(FirstCopy) %zu\n", sizeof(quillon::FirstCopy));
  return 0;
}
