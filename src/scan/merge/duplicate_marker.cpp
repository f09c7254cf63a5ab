#include "scan/merge/duplicate_marker.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "scan/read/block_header.h"

namespace quillon {

namespace {

// The most of a mail's text that is printed. A text running on further is printed this far and
// tells apart only there; mails lying back to back with nothing between would otherwise each be
// read to the end of the bytes in hand.
constexpr std::size_t kLongestPrintedText = 1024 * 1024;
constexpr std::size_t kStoreBlockData = 0x200;  // the least a store block holds

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

MailText DuplicateMarker::TextOf(const MailRecord& record, CarveBuffer buffer,
                                 std::string& scratch) const {
  const MailExtent extent = record.Extent();
  const std::uint64_t start = extent.TextStartOr(record.StartByte());
  // A store's mail lies in its block chain, not in the bytes from its start on.
  if (extent.inStore) return ChainText(extent.storeBlock, start, buffer, scratch);
  if (start < buffer.base || start >= buffer.base + buffer.size) return {};
  const std::size_t index = static_cast<std::size_t>(start - buffer.base);
  // Where the scan saw the mail end: the closing boundary of its multipart, or the body's end.
  std::uint64_t end = record.ReadBody(
      [](const MailBody& body) { return body.closed ? body.textEnd : std::uint64_t{0}; });
  if (end <= start) end = extent.multipartEnd;
  std::size_t limit = index + kLongestPrintedText;
  if (end > start) limit = std::min<std::uint64_t>(limit, end - buffer.base);
  return TextFrom(buffer, index, limit, scratch);
}

MailText DuplicateMarker::ReadAgain(const Copy& copy, std::size_t size, std::string& text,
                                    std::string& stepped) const {
  if (!readSource_) return {};
  if (copy.storeBlock != 0) return ChainText(copy.storeBlock, copy.textStart, {}, text);
  // Room for the block headers a store's blocks would put between the text's pieces.
  for (const std::size_t room : {size + (size / kStoreBlockData + 2) * kBlockHeaderSize, size}) {
    text.resize(room);
    if (!readSource_(copy.textStart, room, reinterpret_cast<std::uint8_t*>(text.data()))) continue;
    const CarveBuffer bytes{reinterpret_cast<const std::uint8_t*>(text.data()), room,
                            copy.textStart};
    return TextFrom(bytes, 0, room, stepped);
  }
  return {};
}

bool DuplicateMarker::SameMessage(const MailPrint& ours, MailText text,
                                  std::optional<std::uint64_t> textAt, const Copy& copy) const {
  const MailPrint& theirs = prints_[copy.print];
  if (!ours.known || !theirs.known) return true;
  if (!SameHeader(ours, theirs)) return false;
  const bool sameAbove =
      ours.aboveLength == theirs.aboveLength && ours.aboveDigest == theirs.aboveDigest;
  if (sameAbove && ours.length == theirs.length && ours.digest == theirs.digest) return true;
  if (ours.aboveLength == theirs.aboveLength && !sameAbove) return false;
  if (!text.data) return false;
  // Ours is in hand; theirs is read again from the source where ours cannot tell alone.
  std::string again;
  std::string stepped;
  MailText their;
  const auto theirText = [&] {
    if (!their.data) their = ReadAgain(copy, theirs.aboveLength + theirs.length, again, stepped);
    return their;
  };
  if (ours.aboveLength > theirs.aboveLength ? !EndsWithLinesAbove(text, ours, theirs)
      : ours.aboveLength < theirs.aboveLength
          ? !theirText().data || !EndsWithLinesAbove(their, theirs, ours)
          : false)
    return false;
  if (ours.length == theirs.length && ours.digest == theirs.digest) return true;
  if (theirs.length < ours.length) {
    if (BeginsWith(text, ours, theirs)) return true;
  } else if (theirText().data && BeginsWith(their, theirs, ours)) {
    return true;
  }
  // A copy cut short where a sector ends, and other bytes written behind it: the texts part
  // where a sector of one of them ends, inside the body.
  if (!theirText().data) return false;
  const std::size_t common = CommonLength(text, ours, their, theirs);
  if (common <= ours.headerLength) return false;
  const auto sectorEnds = [](std::uint64_t position) { return position % kSectorSize == 0; };
  return (textAt && sectorEnds(*textAt + ours.aboveLength + common)) ||
         (copy.storeBlock == 0 && stepped.empty() &&
          sectorEnds(copy.textStart + theirs.aboveLength + common));
}

void DuplicateMarker::Mark(MailRecord& record, std::size_t index, CarveBuffer buffer) {
  std::string scratch;
  const MailText text = TextOf(record, buffer, scratch);
  MailPrint print = text.data ? PrintOf(text) : MailPrint{};
  // Where the text lies in the source byte for byte: not where block headers were left out.
  std::optional<std::uint64_t> textAt;
  if (text.data >= buffer.data && text.data < buffer.data + buffer.size)
    textAt = buffer.base + static_cast<std::uint64_t>(text.data - buffer.data);
  const MailExtent extent = record.Extent();
  const Copy copy{index, !record.messageId.empty(), 0, extent.TextStartOr(record.StartByte()),
                  extent.inStore ? extent.storeBlock : 0};

  // A copy found by its trace line may have been read without the Message-ID above that line:
  // values alone then match it with a copy that has one, unless both have one and they differ.
  std::string values = record.from + '\n' + record.to + '\n' + record.date + '\n' + record.subject;
  std::optional<std::size_t> kept;  // where `print` went in prints_, once it is kept
  if (copy.hasId) {
    std::vector<Copy>& copies = firstById_[record.messageId];
    const auto first = std::find_if(copies.begin(), copies.end(), [&](const Copy& earlier) {
      return SameMessage(print, text, textAt, earlier);
    });
    if (first != copies.end()) {
      record.duplicateOf = static_cast<std::int64_t>(first->index);
      return;
    }
    kept = prints_.size();
    prints_.push_back(std::move(print));
    copies.push_back(copy);
    copies.back().print = *kept;
  }
  const MailPrint& ours = kept ? prints_[*kept] : print;
  std::vector<Copy>& copies = firstByValues_[std::move(values)];
  const auto first = std::find_if(copies.begin(), copies.end(), [&](const Copy& earlier) {
    return (!copy.hasId || !earlier.hasId) && SameMessage(ours, text, textAt, earlier);
  });
  if (first != copies.end()) {
    record.duplicateOf = static_cast<std::int64_t>(first->index);
    return;
  }
  if (!kept) {
    kept = prints_.size();
    prints_.push_back(std::move(print));
  }
  copies.push_back(copy);
  copies.back().print = *kept;
}

}  // namespace quillon
