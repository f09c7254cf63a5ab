// Recognises a mail by the shape of its header block rather than by one trace line: a run of
// well-formed header lines holding From and Date and one of To, Cc, Subject or Message-ID, ending
// at an empty line. Finds mails the trace rule misses: those whose first line follows zeros,
// binary bytes or a sector start rather than a line break, those opened by another header or
// without any trace line, header blocks longer than 8 sectors, mails without To, and mails with
// bare LF line ends. Header blocks inside another mail's body (an attached message, a quoted or
// forwarded header) are not taken for mails of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/find/shape_marks.h"
#include "scan/lines/pending_mail.h"
#include "scan/mail_record.h"
#include "scan/read/store_chain.h"
#include "scan/shape/block_context.h"
#include "scan/shape/closing_boundary_finder.h"
#include "scan/shape/header_block.h"
#include "scan/shape/read_nul_finder.h"
#include "scan/source_bytes.h"

namespace quillon {

// Raw bytes the scanner needs before and behind the stretch it scans.
inline constexpr std::size_t kShapeLookBehind = kMaxShapeHeaderBlock;
inline constexpr std::size_t kShapeLookAhead = 1024 * 1024;

struct ShapeCandidate {
  std::uint64_t start = 0;      // absolute byte of the block's first header line
  std::uint64_t headerEnd = 0;  // absolute byte behind the empty line that ends the block
  PendingMail headers;          // startSector and sectorOffset say where `start` lies
  bool lineFeedOnly = false;
  bool endsWithoutEmptyLine = false;
  bool behindMboxSeparator = false;  // a "From " separator line stands in front of it
  bool separatorOpensFile = false;   // ... at a sector start or behind zeros or binary bytes
  bool opensFile = false;  // the block itself begins a file: at a sector start, behind zeros...
  // For a multipart mail: the absolute byte behind its closing boundary line (or its first NUL),
  // when that lies within the bytes looked at; 0 otherwise. Mails found before it are its parts.
  std::uint64_t multipartEnd = 0;
  MailBody body;  // filled by FollowShapeBody; for a store mail, as soon as it is found or
                  // (bodyAwaited) by FollowStoreBody
  // A mail in a store: its text is the block chain from the header at storeBlock, in these
  // absolute stretches (as far as the chain was read); the first headerPieces hold its header
  // block.
  bool inStore = false;
  std::uint64_t storeBlock = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> pieces;
  std::size_t headerPieces = 0;
  std::uint64_t tracePosition = 0;  // where the trace rule would find it; 0: nowhere
  // A store mail the trace rule will most likely find too (and follow its body): its body is
  // followed only when it turns out to be a find of its own.
  bool bodyAwaited = false;
  std::size_t bodyStartInChain = 0;  // where its header block ends in the chain's text
};

// The length of the lines of nothing but blanks that a store message's text begins with: some
// messages open with one, and their header block begins below it.
std::size_t LeadingBlankLines(std::string_view text);

// The candidate of a store mail whose header block `parsed` was read at `lead` in its chain's
// text: `start` is the absolute byte of its first header line, `pieces` the absolute stretches
// of the chain's text in text order, `storeBlock` the chain's first block header. Its body is
// not followed yet.
ShapeCandidate StoreCandidate(ParsedBlock parsed, std::uint64_t start, std::size_t lead,
                              std::uint64_t storeBlock,
                              std::vector<std::pair<std::uint64_t, std::size_t>> pieces);

// What one look at a stretch found.
struct ShapeFinds {
  std::vector<ShapeCandidate> candidates;       // outside stores, in position order
  std::vector<ShapeCandidate> storeCandidates;  // chains that begin with a header block
  std::vector<std::uint64_t> storeTargets;      // absolute blocks some block names as its next
  // Absolute stretches [first, second) of store blocks (headers and data areas), adjacent blocks
  // joined, in position order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> storeAreas;
};

// What the searches for where multipart mails end have seen so far.
struct MultipartEndSearch {
  ReadNulFinder nuls;
  ClosingBoundaryFinder closings;
};

class ShapeScanner {
 public:
  // `ansiCodePage`: the code page of 8-bit text without a charset in the bodies it follows.
  explicit ShapeScanner(int ansiCodePage) : ansiCodePage_(ansiCodePage) {}

  // Finds the header blocks whose first line begins in [from, to) (absolute offsets), in order;
  // their bodies are not followed yet. A block is reached from its From and Date lines up to
  // kMaxShapeHeaderBlock behind `to`, and one that still runs on there (read on for want of
  // them) from its line there.
  // `buffer` holds unchanged source bytes from buffer.base on: up to kShapeLookBehind before
  // `from` where the source has them, and kShapeLookAhead behind `to` (zero-padded at the
  // source's end). `marks` covers [from, to + kMaxShapeHeaderBlock + 4) as far as the buffer
  // reaches.
  void Scan(CarveBuffer buffer, std::uint64_t from, std::uint64_t to, const ShapeMarks& marks,
            ShapeFinds& found);

  // Where store chains are read from: the source itself, since a chain may lead anywhere (and
  // the bytes in hand, where it leads into them).
  void SetSourceReader(SourceBytesReader reader) { readSource_ = std::move(reader); }

 private:
  void ScanStoreBlocks(CarveBuffer buffer, std::size_t first, std::size_t last,
                       const ShapeMarks& marks, ShapeFinds& found);

  SourceBytesReader readSource_;
  int ansiCodePage_;
  std::uint64_t coveredUntil_ = 0;  // the end of the last block found
  MultipartEndSearch multipartEnds_;
};

}  // namespace quillon
