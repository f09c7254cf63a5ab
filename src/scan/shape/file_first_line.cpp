#include "scan/shape/file_first_line.h"

#include <algorithm>
#include <cstdint>

#include "scan/lines/line_reader.h"
#include "scan/read/block_header.h"
#include "scan/read/store_chain.h"
#include "scan/shape/field_names.h"
#include "scan/shape/header_block.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

using shape_names::IsBlank;
using shape_names::IsLetter;
using shape_names::IsUpper;

namespace {

// Whether a mail store's block header lies in the `length` bytes from buffer index `from` on: a
// store's blocks follow one another every few hundred bytes, and the chain decides where its
// mails begin.
bool StoreBlockWithin(CarveBuffer buffer, std::size_t from, std::size_t length) {
  StoreBlockHeader block;
  const std::size_t end = std::min(buffer.size, from + length);
  for (std::size_t at = from + (4 - (buffer.base + from) % 4) % 4; at + kBlockHeaderSize <= end;
       at += 4) {
    if (ReadStoreBlockHeader(buffer.data + at, buffer.base + at, block)) return true;
  }
  return false;
}

// Whether a store block header ends a few bytes in front of buffer index `begin`, at whatever
// alignment: a store behind a shift of the disk has its headers off the 4-byte grid, and the
// bytes behind one go on with the block in front of it.
bool BehindABlockHeader(CarveBuffer buffer, std::size_t begin) {
  constexpr std::size_t kStrayBytes = 8;
  StoreBlockHeader block;
  for (std::size_t stray = 0; stray <= kStrayBytes; ++stray) {
    if (begin < kBlockHeaderSize + stray) break;
    const std::size_t at = begin - kBlockHeaderSize - stray;
    if (ReadStoreBlockHeader(buffer.data + at, buffer.base + at, block)) return true;
  }
  return false;
}

// Whether buffer index `begin` is where a file may begin: a sector start or behind zeros.
bool SectorOrZerosAt(CarveBuffer buffer, std::size_t begin) {
  constexpr std::size_t kZeroRun = 4;
  return IsSectorStart(buffer.base + begin) ||
         (begin >= kZeroRun && std::all_of(buffer.data + begin - kZeroRun, buffer.data + begin,
                                           [](std::uint8_t byte) { return byte == 0; }));
}

// Whether a file is seen to begin at buffer index `begin`: at a sector start or behind zeros,
// outside a mail store.
bool FileOpensAt(CarveBuffer buffer, std::size_t begin) {
  // Both ways: a fragmented store's next block may lie anywhere, its own header right in front.
  constexpr std::size_t kStoreLook = 1024;
  const std::size_t lookFrom = begin > kStoreLook ? begin - kStoreLook : 0;
  return SectorOrZerosAt(buffer, begin) &&
         !StoreBlockWithin(buffer, lookFrom, begin - lookFrom + kStoreLook) &&
         !BehindABlockHeader(buffer, begin);
}

}  // namespace

bool FirstLineOfAFile(CarveBuffer buffer, std::size_t begin, std::size_t end) {
  constexpr std::size_t kLongestFirstLine = 80;
  if (end <= begin || end - begin > kLongestFirstLine ||
      IsBlank(static_cast<char>(buffer.data[begin])))
    return false;
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  // A sentence of prose, or one that introduces what follows, ends as sentences do: header
  // lines behind it are text that quotes them.
  if (line.find(' ') == std::string_view::npos ||
      std::string_view(".,;:!?").find(line.back()) != std::string_view::npos)
    return false;
  // A colon with a blank behind it or in front is a field's, one glued into old text.
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
       colon = line.find(':', colon + 1)) {
    if ((colon + 1 < line.size() && IsBlank(line[colon + 1])) ||
        (colon > 0 && IsBlank(line[colon - 1])))
      return false;
  }
  return FileOpensAt(buffer, begin);
}

bool RunOnLineOpensAFile(CarveBuffer buffer, std::size_t begin, std::size_t end) {
  constexpr std::size_t kLongestFirstLine = 80;
  // Most lines the walk meets begin at no sector and behind no zeros: answered first.
  if (end <= begin || end - begin > kLongestFirstLine || !SectorOrZerosAt(buffer, begin) ||
      IsBlank(static_cast<char>(buffer.data[begin])))
    return false;
  const std::string_view line(reinterpret_cast<const char*>(buffer.data + begin), end - begin);
  // A line that ends as a clause does is prose, and a word of one letter over and over is filler
  // rather than a base64 token, which holds a digit, a padding or a '+' or '/'.
  if (std::string_view(".,;:!?").find(line.back()) != std::string_view::npos) return false;
  if (line.find(' ') == std::string_view::npos &&
      line.find_first_of("0123456789=+/") == std::string_view::npos)
    return false;
  return MayBeARunOnValue(line) && HeaderNameLength(line) == 0 && !IntroducesQuotedText(line) &&
         FileOpensAt(buffer, begin);
}

bool IntroducesQuotedText(std::string_view line) {
  return line.front() == '>' || line.substr(0, 5) == "From " || line.back() == '-' ||
         FindNoCase(line, "forward") != std::string_view::npos ||
         FindNoCase(line, "original") != std::string_view::npos ||
         FindNoCase(line, "wrote") != std::string_view::npos;
}

bool ReadsAsABanner(std::string_view line) {
  constexpr int kFewestWords = 2;
  // Longer than that, it is more likely old words with a banner glued behind them.
  constexpr std::size_t kLongestBanner = 60;
  // A mailbox separator, or one a sector cuts behind its quote marks, opens a message of a
  // mailbox or a patch a body carries.
  if (line.empty() || line.size() > kLongestBanner || line.substr(0, 5) == "From ") return false;
  // A banner is a title: a sector start cut out of a line of prose begins in a word's middle
  // or a small letter ("this is no header " + "at all").
  constexpr std::size_t kShortestBanner = 12;
  if (line.size() < kShortestBanner) return false;
  const bool letterFirst = IsUpper(line[0]);
  const std::size_t marks = line.find_first_not_of(line[0]);
  const bool markRunFirst = std::string_view("*=#~+").find(line[0]) != std::string_view::npos &&
                            marks >= 2 && marks < line.size() && IsBlank(line[marks]);
  if (!letterFirst && !markRunFirst) return false;
  int words = 0;
  std::size_t run = 0;
  for (std::size_t at = 0; at < line.size(); ++at) {
    const char c = line[at];
    // Bytes no banner is written with, the end of a sentence of old text in front of it, a
    // word of it run into a run of marks ("th" + "=== Mail export ===").
    const bool sentenceEnd = std::string_view(".?!;").find(c) != std::string_view::npos &&
                             at + 1 < line.size() && IsBlank(line[at + 1]);
    const bool markBehindWord = at > 0 && IsLetter(line[at - 1]) &&
                                std::string_view("*=#~").find(c) != std::string_view::npos;
    if (c < ' ' || c > '~' || sentenceEnd || markBehindWord) return false;
    run = IsLetter(c) ? run + 1 : 0;
    if (run == 2) ++words;
  }
  return words >= kFewestWords;
}

}  // namespace quillon
