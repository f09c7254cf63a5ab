// Puts the mails a scan finds into the found-mail list in the order of their positions, and
// tells the front end. Trace finds come from the carver's walk; shape finds from the shape
// scanner, which runs ahead of the walk. A header block both found is one mail: the trace find
// stays as it is and learns from the shape find where the mail's whole text lies. Later copies of
// one message are marked as duplicates of the first.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scan/carve/mail_carver.h"
#include "scan/found_mails.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "scan/shape/shape_scanner.h"

namespace quillon {

class RecordMerger final : public MailSink {
 public:
  RecordMerger(ScanStatus& status, FoundMails& mails, ScanObserver& observer,
               std::string sourceName, bool strict);

  // A trace find, from the carver's walk.
  void Accept(const MailRecordPtr& record) override;
  // Shape finds, in position order, ahead of the walk.
  void AddCandidates(ShapeFinds&& finds);
  // The walk has passed `walkPosition`: every header block ending before it is decided. The
  // bodies of shape finds are followed in `buffer`, which still holds their bytes.
  void Resolve(std::uint64_t walkPosition, CarveBuffer buffer);
  // The scan has ended: everything still held is published; after a stop, only what lies before
  // `stoppedAt`, where the walk stopped.
  void Finish(CarveBuffer buffer, std::uint64_t stoppedAt = UINT64_MAX);

  // Sends the status line with the current counters.
  void PublishStatus();

  // Where the first header block found ahead of the walk begins behind the absolute byte
  // `after`; UINT64_MAX when none is known.
  std::uint64_t NextBlockStart(std::uint64_t after) const;

  // Where store chains are read from at the end, for the store mails that turn out to be finds
  // of their own.
  void SetSourceReader(SourceBytesReader reader) { readSource_ = std::move(reader); }

 private:
  void Publish(const MailRecordPtr& record);
  void MarkDuplicate(MailRecord& record, std::size_t index);
  // Store finds are decided at the end, when every block's successor is known: a block that is
  // some other block's successor continues a message rather than beginning one.
  void DecideStoreCandidates(const UnreadableSectors* unreadable);
  // Whether `at` lies in the blocks of a store found so far.
  bool InStoreArea(std::uint64_t at) const;
  // Whether a trace find lies in a store block that begins no chain found so far.
  bool AwaitsItsStoreChain(const MailRecord& find);
  // Whether a block found so far names `block` as its next: then a message continues there.
  bool IsStoreTarget(std::uint64_t block) const;

  ScanStatus& status_;
  FoundMails& mails_;
  ScanObserver& observer_;
  std::string sourceName_;
  bool strict_;
  SourceBytesReader readSource_;
  std::deque<ShapeCandidate> candidates_;
  std::vector<ShapeCandidate> storeCandidates_;
  // Where the walk finds each chain's mail: the chain's first block and the mail's values.
  struct ChainTraceLine {
    std::uint64_t storeBlock = 0;
    std::string from;
    std::string date;  // normalised, as a record's
  };
  std::unordered_multimap<std::uint64_t, ChainTraceLine> chainTraceLines_;
  // The blocks some block names as its next, in sorted batches as they were found.
  std::vector<std::vector<std::uint64_t>> storeTargets_;
  std::deque<std::pair<std::uint64_t, std::uint64_t>> storeAreas_;  // ahead of the decided finds
  std::vector<MailRecordPtr> awaitingChains_;  // trace finds in store blocks, held to the end
  std::vector<MailRecordPtr> allRecords_;      // every record, for the store decisions
  std::vector<MailRecordPtr> held_;            // decided, waiting for earlier blocks to be decided
  std::vector<MailRecordPtr> traceFinds_;      // trace finds not yet matched with a block
  struct FirstCopy {
    std::size_t index;
    bool hasId;  // it was read with a Message-ID
  };
  std::unordered_map<std::string, std::size_t> firstById_;    // Message-ID -> index
  std::unordered_map<std::string, FirstCopy> firstByValues_;  // From, To, Date, Subject
  std::unordered_map<const MailRecord*, std::size_t> indexOf_;
  // Trace finds in the header block of a message quoted with its mailbox separator line.
  std::unordered_set<const MailRecord*> quotedFinds_;
  // Trace finds inside another mail's body, with the earliest start that mail can have.
  std::unordered_map<const MailRecord*, std::uint64_t> insideFinds_;
  struct OpenContainer {
    std::uint64_t start;
    std::uint64_t end;
    std::size_t index;
  };
  std::vector<OpenContainer> containers_;  // multipart mails around the publishing position
  MailRecordPtr lastMail_;                 // the last mail published that is no part of another
  // The last header block decided: a mailbox separator inside a mail file that began on its own
  // (not in a mailbox), with no NUL between, is text quoted in that mail.
  std::uint64_t lastBlockStart_ = 0;
  bool lastBlockOpensFile_ = false;
  bool haveLastBlock_ = false;
  std::size_t published_ = 0;
};

}  // namespace quillon
