// Drives the mail carver over arbitrary bytes: once as one stretch, and once split into two
// consecutive walks at a point the input chooses, so that what carries over between chunks is
// exercised too. The buffer is exactly as large as the carver is promised, so any read or write
// beyond it is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/carve/mail_carver.h"

namespace {

class CountingSink final : public quillon::MailSink {
 public:
  void Accept(const quillon::MailRecordPtr& record) override { last = record; }
  quillon::MailRecordPtr last;
};

void Carve(const std::uint8_t* data, std::size_t size, std::size_t split, std::uint64_t base) {
  std::vector<std::uint8_t> buffer(data, data + size);
  buffer.resize(size + quillon::kCarveLookAhead, 0);
  CountingSink sink;
  quillon::MailCarver carver("fuzz", sink, 1252, base);
  std::atomic<bool> stop{false};
  const quillon::CarveBuffer carve{buffer.data(), buffer.size(), base};
  carver.Walk(carve, base + split, stop);
  carver.Walk(carve, base + size, stop);
  carver.Finish();
  if (sink.last) (void)sink.last->Body();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the split point and the alignment of the stretch.
  const std::size_t split = size > 2 ? (data[0] | (data[1] << 8)) % (size - 1) : 0;
  const std::uint64_t base = data[1] % 4 + 512ULL * data[0];
  Carve(data + 2, size - 2, split > size - 2 ? size - 2 : split, base);
  return 0;
}
