#include "scan/merge/scattered_store_mail.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/shape/header_block.h"
#include "scan/shape/shape_body.h"
#include "scan/source_position.h"

namespace quillon {

namespace {

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
  // A chain cut short inside its header block: its whole lines that are sure tell the mail's
  // values, and its text is what is sure (the mail is marked damaged).
  std::string closed;
  if (const std::size_t lastLineEnd = text.rfind('\n');
      chain.lost && text.size() == chain.length && lastLineEnd != std::string::npos) {
    const bool crLf = lastLineEnd > 0 && text[lastLineEnd - 1] == '\r';
    closed = text.substr(0, lastLineEnd + 1) + (crLf ? "\r\n" : "\n");
  }
  const std::size_t textLength = PadForReading(text);
  ParsedBlock parsed = ParseBlock(TextBuffer(text), lead);
  if (!parsed.valid && !closed.empty()) {
    PadForReading(closed);
    parsed = ParseBlock(TextBuffer(closed), lead);
    if (!parsed.valid) return false;
    candidate = StoreCandidate(std::move(parsed), PositionInChain(chain, lead), lead, storeBlock,
                               chain.pieces);
    candidate.body.textEnd = 0;
    return true;
  }
  if (!parsed.valid) return false;

  const std::size_t headerEnd = parsed.headerEnd;
  const bool endsWithoutEmptyLine = parsed.endsWithoutEmptyLine;
  ShapeCandidate built = StoreCandidate(std::move(parsed), PositionInChain(chain, lead), lead,
                                        storeBlock, chain.pieces);
  FollowBody(TextBuffer(text), built, headerEnd, endsWithoutEmptyLine, textLength, ansiCodePage);
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
