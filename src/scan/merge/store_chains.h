// The mails of a mail store, whose text runs through a chain of blocks. Store finds are decided
// at the end, when every block's successor is known: a block that some other block names as its
// next continues a message rather than beginning one. Until then, trace finds in store blocks
// that begin no chain found so far are held here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scan/mail_record.h"
#include "scan/merge/store_block_index.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/shape_scanner.h"
#include "scan/source_bytes.h"

namespace quillon {

class StoreChains {
 public:
  StoreChains(std::shared_ptr<const std::string> sourceName, int ansiCodePage)
      : sourceName_(std::move(sourceName)), ansiCodePage_(ansiCodePage) {}

  // Where chains are read from at the end, for the store mails that turn out to be finds of
  // their own.
  void SetSourceReader(SourceBytesReader reader) { readSource_ = std::move(reader); }

  // Notes the block headers whose size fields (`sizeFields`) lie in [from, to) (absolute), for
  // following chains wherever their blocks lie (store_block_index.h). Every stretch of the source
  // once.
  void IndexBlocks(CarveBuffer bytes, std::uint64_t from, std::uint64_t to,
                   const std::vector<std::uint64_t>& sizeFields);

  // Takes the store candidates, block successors and store areas of one look, in position order.
  void Add(ShapeFinds& finds);
  // A stopped scan drops the candidates the walk never reached.
  void DropFrom(std::uint64_t stoppedAt);

  // Whether `at` lies in the blocks of a store found so far.
  bool InStoreArea(std::uint64_t at) const;
  // Whether a header block found at `at` is part of a scattered store's text, which the
  // chains decide: it lies in a block that lies before its own offset in the store, or `at` is
  // the sector start where a cluster of the store begins inside a block (a block header stands
  // less than a sector behind it whose own offset puts `at` inside the block before it, and no
  // block header stands right there).
  bool ContinuesAStoreBlock(std::uint64_t at) const;
  // Where a trace find lies towards the stores found so far; asked in position order. One in a
  // store block that begins no chain found so far awaits its chain and is held (Hold) until the
  // chains decide; one at the trace line of a chain found already is that chain's own mail.
  enum class StorePlace { Outside, OpensAChain, AwaitsItsChain };
  StorePlace PlaceOf(const MailRecord& find);
  void Hold(MailRecordPtr find) { awaitingChains_.push_back(std::move(find)); }

  using IndexOfMail = std::function<std::optional<std::size_t>(const MailRecord*)>;
  using PublishMail = std::function<void(const MailRecordPtr&)>;
  // Decides every store candidate against `published` (every mail published so far): a mail
  // found already at its trace line or in its header block learns that it lies in a chain, any
  // other becomes a find of its own. Publishes those, then the finds held, each attached to the
  // mail whose chain holds it.
  void Decide(const std::vector<MailRecordPtr>& published, const UnreadableSectors* unreadable,
              const IndexOfMail& indexOf, const PublishMail& publish);

 private:
  // Whether a block found so far names `block` as its next: then a message continues there.
  bool IsStoreTarget(std::uint64_t block) const;
  // Reads again, from where the block index places them, the candidates whose blocks lie
  // scattered, and adds those the shape scan could not read at all; notes where their text lies.
  void PlaceScatteredChains();
  // Adds [from, end) to `areas`, which are in position order and apart, joining it to those
  // it touches.
  static void JoinArea(std::vector<std::pair<std::uint64_t, std::uint64_t>>& areas,
                       std::uint64_t from, std::uint64_t end);

  StoreBlockIndex blockIndex_;
  std::vector<std::uint64_t> indexedTargets_;  // the blocks held blocks name as next, sorted
  bool sealed_ = false;                        // every block header is held
  // The text of each candidate whose blocks lie scattered, by its first block.
  std::map<std::uint64_t, std::shared_ptr<const std::vector<TextPiece>>> scatteredTexts_;
  std::set<std::uint64_t> lostChains_;  // first blocks of those whose text was cut short
  // Sector starts inside a store block whose header stands behind them, and that header, where
  // no block lies right before (StoreBlockIndex); in position order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> blockLeads_;
  // The blocks that lie before their own offsets (a scattered store's), joined where they
  // touch; in position order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> earlyBlocks_;
  // Every block found, header and used bytes, and the bytes in front of it in its cluster,
  // joined where they touch; in position order.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> blockAreas_;

  std::shared_ptr<const std::string> sourceName_;  // shared with every record built
  int ansiCodePage_;                               // of 8-bit text without a charset
  SourceBytesReader readSource_;
  std::vector<ShapeCandidate> storeCandidates_;
  // Where the shape scan saw each chain's trace line: the chain's first block and the mail's
  // values.
  struct ChainTraceLine {
    std::uint64_t storeBlock = 0;
    std::string from;
    std::string date;  // normalised, as a record's
  };
  std::multimap<std::uint64_t, ChainTraceLine> chainTraceLines_;
  // The blocks some block names as its next, in sorted batches as they were found.
  std::vector<std::vector<std::uint64_t>> storeTargets_;
  std::deque<std::pair<std::uint64_t, std::uint64_t>> storeAreas_;  // ahead of the decided finds
  std::vector<MailRecordPtr> awaitingChains_;  // trace finds in store blocks, held to the end
};

}  // namespace quillon
