// Runs a whole scan, with every rule, over arbitrary bytes held as a source, and reads each mail
// it finds back the way a save run does. Exercises what only the default mode does: the shape
// scanner's searches and look-backs, store chains that loop or lead anywhere, the merging of
// finds, and the reading of extents the scan told.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/found_mails.h"
#include "scan/mail_reader.h"
#include "scan/scan_driver.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "source/data_source.h"
#include "source/memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses how far into the source the bytes lie (store offsets and sector
  // starts fall differently) and whether the trace rule runs alone.
  const std::size_t lead = (data[0] & 0x7F) * 4;
  std::vector<std::uint8_t> bytes(lead, 0);
  bytes.insert(bytes.end(), data + 1, data + size);
  quillon::DataSource source;
  source.OpenBackend(quillon::MakeMemoryBackend(std::move(bytes), {}), "fuzz.img");

  quillon::ScanOptions options;
  options.strict = (data[0] & 0x80) != 0;
  quillon::ScanStatus status;
  quillon::FoundMails mails;
  quillon::ScanObserver observer;
  quillon::RunScan(source, options, status, mails, observer);

  std::string text;
  for (const quillon::MailRecordPtr& record : mails.Snapshot()) {
    (void)quillon::ReadMailText(*record, &source, text, nullptr);
    (void)record->Body();
  }
  return 0;
}
