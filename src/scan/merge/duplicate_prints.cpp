// The prints of the texts the duplicate marker compares: made as a mail is marked, or kept as
// the bounds of its text until a comparison needs them.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "scan/merge/duplicate_marker.h"
#include "scan/merge/held_in_hand.h"

namespace quillon {

namespace {

// Where `start` lies in the text of the chain `chain`; nothing when it lies in none of its pieces.
std::optional<std::size_t> IndexInChain(const StoreChainText& chain, std::uint64_t start) {
  std::size_t index = 0;
  for (const auto& [offset, length] : chain.pieces) {
    if (start >= offset && start < offset + length)
      return index + static_cast<std::size_t>(start - offset);
    index += length;
  }
  return std::nullopt;
}

}  // namespace

MailText DuplicateMarker::ChainText(std::uint64_t storeBlock, std::uint64_t start,
                                    CarveBuffer buffer, std::string& text) const {
  if (!readSource_) return {};
  StoreChainText chain = ReadStoreChain(readSource_, storeBlock, kLongestPrintedText,
                                        {buffer.data, buffer.base, buffer.size});
  const std::optional<std::size_t> index = IndexInChain(chain, start);
  if (!index) return {};
  text = std::move(chain.text);
  std::string stepped;  // a chain's text holds no block headers: nothing is stepped over
  const CarveBuffer bytes{reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0};
  return TextFrom(bytes, *index, text.size(), stepped);
}

namespace {

// Puts in `copy` the print `made` of its text, printed up to where the scan followed it or
// less (`boundsLength` bytes, the end seen unless `boundsOpen`).
void TakePrint(const TextPrint& made, bool boundsOpen, std::uint64_t boundsLength,
               FirstCopy& copy) {
  copy.print = made.print;
  const bool inBuffer = made.hasText && !made.stepped;
  // A text that stopped short of the bound ended there, seen by the scan or not.
  copy.print.open = boundsOpen && !(inBuffer && made.size < boundsLength);
  copy.fromLineKnown = copy.print.known && inBuffer;
  copy.printedTextOnly = copy.fromLineKnown && made.size == made.limit - made.start;
}

}  // namespace

void DuplicateMarker::PrintOfRecord(const MailRecord& record, CarveBuffer buffer, bool mayWait,
                                    FirstCopy& mine) {
  mine.fromLineKnown = false;
  mine.printedTextOnly = false;
  const MailExtent extent = record.Extent();
  // A store's mail lies in its block chain, not in the bytes from its start on.
  if (extent.inStore) {
    std::string scratch;
    const MailText text =
        ChainText(extent.storeBlock, extent.TextStartOr(record.StartByte()), buffer, scratch);
    mine.print = text.data ? PrintOf(text) : MailPrint{};
    return;
  }
  const PrintBounds bounds = BoundsToPrint(record, extent);
  mine.print = {};
  mine.print.open = bounds.open;
  if (bounds.start < buffer.base || bounds.start >= buffer.base + buffer.size) return;
  // The text is read no further than the buffer reaches.
  const std::uint64_t limit = std::min<std::uint64_t>(bounds.limit, buffer.base + buffer.size);
  if (mayWait && readSource_ && limit > bounds.start &&
      HeldInHand(buffer, bounds.start, static_cast<std::size_t>(limit - bounds.start))) {
    mine.unprintedLength = static_cast<std::uint32_t>(limit - bounds.start);
    mine.boundsLength = static_cast<std::uint32_t>(bounds.limit - bounds.start);
    return;
  }
  TakePrint(PrintTextAt(buffer, bounds.start, limit), bounds.open, bounds.limit - bounds.start,
            mine);
}

void DuplicateMarker::MakeWaitingPrint(FirstCopy& copy) const {
  if (copy.unprintedLength == 0) return;
  const std::size_t size = copy.unprintedLength;
  copy.unprintedLength = 0;
  const bool boundsOpen = copy.print.open;
  // The scan read these bytes whole: they read again as they did.
  std::unique_ptr<std::uint8_t[]> room;
  const std::uint8_t* bytes = HeldInHand(inHand_, copy.textStart, size);
  if (!bytes) {
    room = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    if (!readSource_(copy.textStart, size, room.get())) {
      copy.print = {};
      copy.print.open = boundsOpen;
      return;
    }
    bytes = room.get();
  }
  const TextPrint made =
      PrintTextAt({bytes, size, copy.textStart}, copy.textStart, copy.textStart + size);
  TakePrint(made, boundsOpen, copy.boundsLength, copy);
}

}  // namespace quillon
