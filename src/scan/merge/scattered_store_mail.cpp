#include "scan/merge/scattered_store_mail.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/shape/header_block.h"
#include "scan/shape/shape_body.h"
#include "scan/source_position.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// The length of the lines of nothing but blanks that `text` begins with: some messages open
// with one, and their header block begins below it.
std::size_t LeadingBlankLines(std::string_view text) {
  std::size_t lead = 0;
  while (true) {
    const std::size_t lineFeed = text.find('\n', lead);
    if (lineFeed == std::string_view::npos ||
        !TrimWhiteSpace(text.substr(lead, lineFeed - lead)).empty())
      return lead;
    lead = lineFeed + 1;
  }
}

// The text's first `limit` bytes, read where the chain's stretches lie; short when a stretch
// cannot be read.
std::string ReadChainText(const SourceBytesReader& read, const TracedChain& chain,
                          std::size_t limit) {
  std::string text;
  for (const auto& [offset, length] : chain.pieces) {
    if (text.size() >= limit) break;
    const std::size_t take = std::min(length, limit - text.size());
    const std::size_t at = text.size();
    text.resize(at + take);
    if (!read(offset, take, reinterpret_cast<std::uint8_t*>(text.data() + at))) {
      text.resize(at);
      break;
    }
  }
  return text;
}

// The source position of the text's byte `index`.
std::uint64_t PositionInChain(const TracedChain& chain, std::size_t index) {
  for (const auto& [offset, length] : chain.pieces) {
    if (index < length) return offset + index;
    index -= length;
  }
  return 0;
}

}  // namespace

bool BuildScatteredCandidate(const SourceBytesReader& read, const TracedChain& chain,
                             std::uint64_t storeBlock, int ansiCodePage,
                             ShapeCandidate& candidate) {
  std::string text = ReadChainText(read, chain, kMaxShapeHeaderBlock + kShapeLookAhead / 2);
  const std::size_t lead = LeadingBlankLines(text);
  if (HeaderNameLength(std::string_view(text).substr(lead)) == 0) return false;
  const std::size_t textLength = PadForReading(text);
  ParsedBlock parsed = ParseBlock(TextBuffer(text), lead);
  if (!parsed.valid) return false;

  ShapeCandidate built;
  built.start = PositionInChain(chain, lead);
  built.headers = std::move(parsed.headers);
  built.headers.startSector = SectorPositionOf(built.start).sector;
  built.headers.sectorOffset = SectorPositionOf(built.start).offset;
  built.lineFeedOnly = parsed.lineFeedOnly;
  built.endsWithoutEmptyLine = parsed.endsWithoutEmptyLine;
  built.inStore = true;
  built.storeBlock = storeBlock;
  std::size_t covered = 0;
  for (const auto& [offset, length] : chain.pieces) {
    if (covered >= parsed.headerEnd) break;
    ++built.headerPieces;
    covered += length;
  }
  built.pieces = chain.pieces;
  built.headerEnd = built.start + parsed.headerEnd - lead;  // a bound, not a place
  built.bodyStartInChain = parsed.headerEnd;
  FollowBody(TextBuffer(text), built, parsed.headerEnd, parsed.endsWithoutEmptyLine, textLength,
             ansiCodePage);
  built.body.textEnd = 0;  // a store mail ends with its chain
  candidate = std::move(built);
  return true;
}

std::shared_ptr<const std::vector<TextPiece>> TextPiecesOf(const TracedChain& chain) {
  auto pieces = std::make_shared<std::vector<TextPiece>>();
  pieces->reserve(chain.pieces.size());
  std::uint64_t at = 0;
  for (const auto& [offset, length] : chain.pieces) {
    pieces->push_back({at, offset, length});
    at += length;
  }
  return pieces;
}

}  // namespace quillon
