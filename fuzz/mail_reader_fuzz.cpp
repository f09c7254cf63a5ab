// Reads mails back from arbitrary windows: the block-header removal must give the same bytes
// however the window arrives in pieces, the searches must stay inside the window, and the text
// handed out must hold no NUL and no byte below 8.
//
// Input layout: byte 0 picks the piece sizes, byte 1 the record's values, the rest is the raw
// window (also served as a source to the whole re-reader).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "scan/mail_reader.h"
#include "scan/reread/mail_reader_window.h"
#include "source/memory_source.h"

namespace {

using quillon::MailRecord;
namespace reader = quillon::mail_reader;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mail_reader_fuzz: %s\n", what);
    std::abort();
  }
}

// Record values drawn from the window itself, so that the matched search meets them.
void FillRecord(MailRecord& record, std::uint8_t choice, std::string_view window) {
  auto slice = [&](std::size_t from, std::size_t length) {
    if (window.empty()) return std::string();
    from %= window.size();
    return std::string(window.substr(from, length));
  };
  record.from = slice(choice * 7u, (choice & 7u) + 1);
  record.to = slice(choice * 13u, (choice >> 3 & 7u) + 1);
  record.date = (choice & 0x40) ? slice(choice * 3u, 19) : "2009-03-09 10:11:12";
  if (choice & 0x80) record.boundary = slice(choice, 6);
  if (choice & 0x20) {
    quillon::PartEntry attachment;
    attachment.size = static_cast<std::int64_t>(choice) * 16;
    record.attachments.push_back(attachment);
  }
}

void CheckExtent(std::string_view data, const reader::TextSpan& extent,
                 const reader::RecordPlace& place) {
  if (!extent.found) return;
  Check(extent.start <= extent.end, "extent starts behind its end");
  Check(extent.end <= data.size(), "extent ends outside the data");
  const bool atRecord = place.mailStartsThere && extent.start == place.position;
  Check(atRecord || (extent.start >= 2 && data.substr(extent.start - 2, 2) == "\r\n"),
        "extent does not start at a line start");
}

void CheckText(std::string_view text) {
  for (unsigned char c : text) Check(c >= 8, "text holds a byte below 8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t pieces = data[0];
  const std::uint8_t choice = data[1];
  const std::string_view window(reinterpret_cast<const char*>(data + 2), size - 2);

  // Streaming removal equals the one-pass reference, and what is settled never changes.
  const std::string reference = reader::CompactWindowOnce(window);
  reader::BlockHeaderCompactor compactor;
  std::size_t at = 0;
  std::size_t step = 0;
  while (at < window.size()) {
    const std::size_t piece =
        std::min<std::size_t>(window.size() - at, ((pieces >> (step++ % 8)) & 0x1F) + 1);
    compactor.Append(reinterpret_cast<const std::uint8_t*>(window.data() + at), piece);
    at += piece;
    const std::string_view settled = compactor.Settled();
    Check(reference.compare(0, settled.size(), settled) == 0, "settled bytes changed");
  }
  compactor.Finish();
  Check(compactor.Settled() == reference, "streaming removal differs from the reference");

  MailRecord record;
  FillRecord(record, choice, window);
  reader::RecordPlace place;
  if (!reference.empty() && (choice & 0x10)) place.position = (choice * 5u) % reference.size();
  place.mailStartsThere = choice & 1;
  CheckExtent(reference, reader::FindMatchedMail(reference, record, place), place);
  CheckExtent(reference, reader::FindFirstMail(reference, place), place);
  const reader::WindowSearch search = reader::SearchWindow(reference, record, place);
  CheckExtent(reference, search.chosen, place);
  CheckText(reader::CleanMailText(reference));

  // The whole re-reader over the window as a source, from a start inside it.
  quillon::DataSource source;
  source.OpenBackend(
      quillon::MakeMemoryBackend(std::vector<std::uint8_t>(window.begin(), window.end())),
      "fuzz.img");
  record.startSector = (choice % 8);
  record.sectorOffset = choice;
  if (choice & 1) record.foundBy = quillon::FoundBy::Shape;
  std::string text;
  Check(quillon::ReadMailText(record, &source, text, nullptr), "an open source failed");
  CheckText(text);
  return 0;
}
