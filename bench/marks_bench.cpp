// Throughput of the shape scan's mark search (header-line anchors, store size fields and the
// sectors that may hold a line break) over
// 64 KiB pieces, as the reader hands them over fresh from a read, beside memchr for CR over the
// same bytes (the trace walk's step) as the baseline. Random bytes stand for most of a disk;
// mail-like text for the rest.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scan/find/byte_patterns.h"

namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

std::vector<std::uint8_t> RandomPiece() {
  std::vector<std::uint8_t> bytes(kPieceSize);
  std::uint32_t state = 0x9E3779B9u;
  for (std::uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

std::vector<std::uint8_t> TextPiece() {
  const std::string lines =
      "From: Ann Example <ann@example.org>\r\nDate: Mon, 3 Mar 2008 10:01:00 +0100\r\n"
      "Subject: the minutes of Tuesday's meeting, as promised\r\n"
      "We met at 10:30 and went through the list: budget, rooms, dates for the fall.\r\n"
      "Nothing was decided about the rooms; Dave will ask again at the next meeting.\r\n\r\n";
  std::vector<std::uint8_t> bytes;
  while (bytes.size() < kPieceSize) bytes.insert(bytes.end(), lines.begin(), lines.end());
  bytes.resize(kPieceSize);
  return bytes;
}

// The lines of a base64 attachment: 76 characters and CR LF each.
std::vector<std::uint8_t> Base64Piece() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> bytes;
  std::uint32_t state = 0x2545F491u;
  while (bytes.size() < kPieceSize) {
    for (int k = 0; k < 76; ++k) {
      state = state * 1664525u + 1013904223u;
      bytes.push_back(static_cast<std::uint8_t>(kAlphabet[state >> 26]));
    }
    bytes.push_back('\r');
    bytes.push_back('\n');
  }
  bytes.resize(kPieceSize);
  return bytes;
}

// 0: random bytes, 1: text, 2: base64 lines.
const std::vector<std::uint8_t>& Piece(std::int64_t kind) {
  static const std::vector<std::uint8_t> random = RandomPiece();
  static const std::vector<std::uint8_t> mail = TextPiece();
  static const std::vector<std::uint8_t> base64 = Base64Piece();
  return kind == 2 ? base64 : kind == 1 ? mail : random;
}

void BM_MemchrCarriageReturns(benchmark::State& state) {
  const std::vector<std::uint8_t>& piece = Piece(state.range(0));
  for (auto _ : state) {
    std::size_t count = 0;
    for (const std::uint8_t* at = piece.data(); at < piece.data() + piece.size(); ++at, ++count) {
      at = static_cast<const std::uint8_t*>(
          std::memchr(at, '\r', static_cast<std::size_t>(piece.data() + piece.size() - at)));
      if (!at) break;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * piece.size()));
}

void BM_FindMarkPositions(benchmark::State& state) {
  const std::vector<std::uint8_t>& piece = Piece(state.range(0));
  const auto steps = static_cast<quillon::MarkSteps>(state.range(1));
  std::vector<std::uint64_t> anchors, sizeFields;
  quillon::LineBreakMap lineBreaks(0, piece.size());
  for (auto _ : state) {
    anchors.clear();
    sizeFields.clear();
    quillon::FindMarkPositions(piece.data(), 0, piece.size(), 0, anchors, sizeFields,
                               lineBreaks.Bits(), steps);
    benchmark::DoNotOptimize(anchors.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * piece.size()));
}

}  // namespace

// Argument 0: random bytes, 1: text, 2: base64 lines.
BENCHMARK(BM_MemchrCarriageReturns)->ArgNames({"text"})->Arg(0)->Arg(1)->Arg(2);
// Second argument: the widest steps (0 bytes, 1 SSE2, 2 AVX2, 3 AVX-512).
BENCHMARK(BM_FindMarkPositions)
    ->ArgNames({"text", "steps"})
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}});
