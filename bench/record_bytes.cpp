// Where the memory of a scan's found mails goes: scans one source (default mode unless --strict)
// and prints the bytes per found mail by part of the record, counted from the record's own
// fields (the object, its shared pointer's block, each string's and array's room on the heap),
// next to what the heap and the resident set grew by over the whole scan.
//
//     build/bin/record_bytes IMAGE [--strict] [--threads N]
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/found_mails.h"
#include "scan/mail_record.h"
#include "scan/scan_driver.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"

namespace {

using quillon::MailRecord;

// What the allocator takes for a block of `bytes`: glibc rounds a request plus its 8-byte size
// word up to 16, and never hands out less than 32.
std::uint64_t Chunk(std::uint64_t bytes) {
  const std::uint64_t rounded = (bytes + 8 + 15) & ~std::uint64_t{15};
  return rounded < 32 ? 32 : rounded;
}

template <typename Char>
std::uint64_t HeapOf(const std::basic_string<Char>& text) {
  const std::basic_string<Char> empty;
  if (text.capacity() <= empty.capacity()) return 0;  // held in the object itself
  return Chunk((text.capacity() + 1) * sizeof(Char));
}

template <typename Item>
std::uint64_t RoomOf(const std::vector<Item>& items) {
  return items.capacity() == 0 ? 0 : Chunk(items.capacity() * sizeof(Item));
}

// The length word, the characters and a NUL in one block; none for an empty text or one of the
// well-known values every record shares.
std::uint64_t HeapOf(const quillon::CompactText& text) {
  return text.OwnsBlock() ? Chunk(4 + text.size() + 1) : 0;
}

std::uint64_t HeapOf(const std::vector<quillon::PartEntry>& parts) {
  std::uint64_t bytes = RoomOf(parts);
  for (const quillon::PartEntry& part : parts) {
    bytes += HeapOf(part.name) + HeapOf(part.contentType) + HeapOf(part.nameText) +
             HeapOf(part.transferEncoding);
  }
  return bytes;
}

struct Tally {
  const char* what;
  std::uint64_t bytes = 0;
};

struct RecordTallies {
  Tally object{"record object and its shared block"};
  Tally headers{"header strings (8-bit), heap"};
  Tally decoded{"decoded strings (UTF-16), heap"};
  Tally sameAsRaw{"decoded equal to raw (not kept), heap if kept"};
  Tally source{"source name, heap"};
  Tally lists{"attachments and parts, heap"};
  Tally bodyStrings{"body charset, heap"};
  const std::string* lastName = nullptr;

  std::vector<Tally*> All() {
    return {&object, &headers, &decoded, &sameAsRaw, &source, &lists, &bodyStrings};
  }
};

bool SameText(std::string_view raw, const std::u16string& decoded) {
  if (raw.size() != decoded.size()) return false;
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (static_cast<unsigned char>(raw[i]) != decoded[i]) return false;
  return true;
}

void Count(const MailRecord& record, RecordTallies& tallies) {
  // make_shared puts the object behind a 16-byte block of counts in one allocation.
  tallies.object.bytes += Chunk(sizeof(MailRecord) + 16);
  for (const quillon::CompactText* text :
       {&record.subject, &record.from, &record.to, &record.cc, &record.date, &record.boundary,
        &record.contentType, &record.transferEncoding, &record.innerBoundary, &record.messageId}) {
    tallies.headers.bytes += HeapOf(*text);
  }
  // A decoded text equal to its raw value widened is not kept; the others are, in one block of
  // three strings per record (their room counted as their length).
  bool anyKept = false;
  for (const auto& [raw, decoded] : {std::pair{record.from.View(), record.FromText()},
                                     std::pair{record.to.View(), record.ToText()},
                                     std::pair{record.subject.View(), record.SubjectText()}}) {
    const std::uint64_t heap = HeapOf(decoded);
    if (SameText(raw, decoded)) {
      tallies.sameAsRaw.bytes += heap;
      continue;
    }
    anyKept = true;
    tallies.decoded.bytes += heap;
  }
  if (anyKept) tallies.decoded.bytes += Chunk(3 * sizeof(std::u16string));
  // One name shared by every record of the scan counts once.
  if (&record.SourceName() != tallies.lastName) tallies.source.bytes += HeapOf(record.SourceName());
  tallies.lastName = &record.SourceName();
  tallies.lists.bytes += HeapOf(record.attachments);
  record.ReadBody([&](const quillon::BodyFacts& body) {
    tallies.lists.bytes += HeapOf(body.parts);
    tallies.bodyStrings.bytes += HeapOf(body.textCharset);
  });
}

// Samples the heap at every progress report: the scan's rooms (the merger, the duplicate
// marker) are gone by the end, so only a sample during the scan sees their share.
class HeapSampler final : public quillon::ScanObserver {
 public:
  void OnProgress(const quillon::ScanProgress& progress) override {
    (void)progress;
    peak_ = std::max<std::uint64_t>(peak_, mallinfo2().uordblks);
  }
  std::uint64_t Peak() const { return peak_; }

 private:
  std::uint64_t peak_ = 0;
};

std::uint64_t PeakResidentKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  std::uint64_t kib = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtoull(line + 6, nullptr, 10);
  }
  std::fclose(status);
  return kib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: record_bytes IMAGE [--strict] [--threads N]\n");
    return 2;
  }
  quillon::ScanOptions options;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--strict") == 0) options.strict = true;
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
      options.threads = static_cast<unsigned>(std::atoi(argv[++i]));
  }
  quillon::ScanStatus status;
  quillon::FoundMails mails;
  HeapSampler observer;
  const std::uint64_t heapBefore = mallinfo2().uordblks;
  const quillon::ScanResult result =
      quillon::RunScanOfSource(argv[1], options, status, mails, observer);
  if (!result.opened) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], result.error.c_str());
    return 1;
  }
  const std::uint64_t heapAfter = mallinfo2().uordblks;
  const std::vector<quillon::MailRecordPtr> records = mails.Snapshot();
  RecordTallies tallies;
  for (const quillon::MailRecordPtr& record : records) Count(*record, tallies);
  const double count = records.empty() ? 1.0 : static_cast<double>(records.size());

  std::printf("%zu found mails; sizeof(MailRecord) %zu, BodyFacts %zu, MailExtent %zu\n",
              records.size(), sizeof(MailRecord), sizeof(quillon::BodyFacts),
              sizeof(quillon::MailExtent));
  std::uint64_t counted = 0;
  for (const Tally* tally : tallies.All()) {
    std::printf("%-45s %8.1f B/mail\n", tally->what, static_cast<double>(tally->bytes) / count);
    if (tally != &tallies.sameAsRaw && tally->what[0] != ' ') counted += tally->bytes;
  }
  std::printf("%-45s %8.1f B/mail\n", "counted in the records", counted / count);
  std::printf("%-45s %8.1f B/mail\n", "heap held at the end of the scan",
              static_cast<double>(heapAfter - heapBefore) / count);
  std::printf("%-45s %8.1f B/mail\n", "heap at its peak during the scan (sampled)",
              static_cast<double>(std::max(observer.Peak(), heapAfter) - heapBefore) / count);
  std::printf("peak RSS %llu KiB\n", static_cast<unsigned long long>(PeakResidentKiB()));
  return 0;
}
