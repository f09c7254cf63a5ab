#include "scan/merge/store_carried_cluster.h"

#include <algorithm>

#include "scan/read/block_header.h"

namespace quillon {

namespace {

// Control bytes that a mail's text holds: tab, line ends, form feed, and the escape that opens a
// switch of character set in 7-bit Japanese text.
bool IsTextByte(std::uint8_t byte) {
  if (byte >= 0x20) return byte != 0x7F;
  return byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f' || byte == 0x1B;
}

// How the text in hand ends its lines, as far as it tells.
enum class LineEnds { Unknown, CrLf, LineFeed };

LineEnds LineEndsOf(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    if (at == 0) continue;
    return text[at - 1] == '\r' ? LineEnds::CrLf : LineEnds::LineFeed;
  }
  return LineEnds::Unknown;
}

// Bytes read at once while searching: many cluster starts per read.
constexpr std::uint64_t kSearchRead = 1024 * 1024;

}  // namespace

std::size_t OpeningBytes(const CarriedText& text) {
  return text.carried + text.padding + (text.slotBehind != 0 ? kBlockHeaderSize : 0);
}

bool ContinuesCarriedText(std::span<const std::uint8_t> bytes, const CarriedText& text) {
  if (text.carried == 0 || bytes.size() < OpeningBytes(text)) return false;
  const LineEnds ends = LineEndsOf(text.before);
  int previous = text.before.empty() ? -1 : static_cast<std::uint8_t>(text.before.back());
  for (std::size_t at = 0; at < text.carried; ++at) {
    const std::uint8_t byte = bytes[at];
    if (!IsTextByte(byte)) return false;
    if (ends == LineEnds::CrLf && (byte == '\n') != (previous == '\r')) return false;
    if (ends == LineEnds::LineFeed && byte == '\r') return false;
    previous = byte;
  }
  const auto isZero = [](std::uint8_t byte) { return byte == 0; };
  const auto padding = bytes.subspan(text.carried, text.padding);
  if (!std::all_of(padding.begin(), padding.end(), isZero)) return false;
  if (text.slotBehind == 0) return true;
  const auto slot = bytes.subspan(text.carried + text.padding, kBlockHeaderSize);
  StoreBlockHeader header;
  return std::all_of(slot.begin(), slot.end(), isZero) ||
         (ReadStoreBlockFields(slot.data(), header) && header.self == text.slotBehind);
}

std::vector<std::uint64_t> FindCarriedClusters(const SourceBytesReader& read,
                                               const CarriedText& text, const CarriedSearch& search,
                                               std::size_t most) {
  std::vector<std::uint64_t> found;
  const std::size_t need = OpeningBytes(text);
  if (!read || need == 0 || search.step == 0) return found;
  std::vector<std::uint8_t> bytes;
  auto consider = [&](std::uint64_t start, std::span<const std::uint8_t> opening) {
    if (search.claimed && search.claimed(start)) return;
    if (ContinuesCarriedText(opening, text)) found.push_back(start);
  };
  for (std::uint64_t stretch = search.from; stretch < search.to && found.size() < most;) {
    // Whole steps per read, each reaching `need` bytes past the last start it looks at.
    const std::uint64_t starts =
        std::max<std::uint64_t>(1, std::min(kSearchRead, search.to - stretch) / search.step);
    const std::uint64_t length = (starts - 1) * search.step + need;
    bytes.resize(length);
    if (read(stretch, length, bytes.data())) {
      for (std::uint64_t n = 0; n < starts && found.size() < most; ++n)
        consider(stretch + n * search.step,
                 std::span<const std::uint8_t>(bytes).subspan(n * search.step, need));
    } else {
      // A stretch the source cannot hand over whole: cluster by cluster, what can be read.
      for (std::uint64_t n = 0; n < starts && found.size() < most; ++n) {
        if (read(stretch + n * search.step, need, bytes.data()))
          consider(stretch + n * search.step, std::span<const std::uint8_t>(bytes).first(need));
      }
    }
    stretch += starts * search.step;
  }
  return found;
}

}  // namespace quillon
