// Puts the mails a scan finds into the found-mail list in the order of their positions, one mail
// once. Trace finds come from the carver's walk; shape finds from the shape scanner, which runs
// ahead of the walk. A header block both found is one mail: the trace find stays as it is and
// learns from the shape find where the mail's whole text lies. The rooms beside it: store chains
// (store_chains.h), duplicates (duplicate_marker.h), parts of other mails (mail_containment.h),
// the list and the front end (mail_publisher.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "scan/carve/mail_carver.h"
#include "scan/found_mails.h"
#include "scan/merge/duplicate_marker.h"
#include "scan/merge/mail_containment.h"
#include "scan/merge/mail_publisher.h"
#include "scan/merge/nul_search.h"
#include "scan/merge/prepared_bodies.h"
#include "scan/merge/shape_candidate_queue.h"
#include "scan/merge/store_chains.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "scan/shape/shape_scanner.h"

namespace quillon {

class RecordMerger final : public MailSink {
 public:
  RecordMerger(ScanStatus& status, FoundMails& mails, ScanObserver& observer,
               std::string sourceName, bool strict, int ansiCodePage);
  RecordMerger(const RecordMerger&) = delete;
  RecordMerger& operator=(const RecordMerger&) = delete;

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

  // Bodies of shape finds followed ahead on other threads (prepared_bodies.h), taken where they
  // were followed as this merge would follow them.
  void AddPreparedBodies(std::vector<PreparedBody>&& bodies) {
    preparedBodies_.Add(std::move(bodies));
  }

  // Tells the front end the current counts.
  void PublishProgress() { publisher_.PublishProgress(); }

  // Where the first header block found ahead of the walk begins behind the absolute byte
  // `after`; UINT64_MAX when none is known.
  std::uint64_t NextBlockStart(std::uint64_t after) const;

  // Notes the store block headers of a stretch the walk has passed (StoreChains::IndexBlocks).
  void IndexStoreBlocks(CarveBuffer bytes, std::uint64_t from, std::uint64_t to,
                        const std::vector<std::uint64_t>& sizeFields) {
    storeChains_.IndexBlocks(bytes, from, to, sizeFields);
  }

  // Where store chains are read from at the end, for the store mails that turn out to be finds
  // of their own.
  void SetSourceReader(SourceBytesReader reader) {
    duplicates_.SetSourceReader(reader);
    storeChains_.SetSourceReader(std::move(reader));
  }

 private:
  void Publish(const MailRecordPtr& record, CarveBuffer buffer);
  // Matches the header block `candidate` with the trace finds in it, or makes it a find of its
  // own (held until earlier blocks are decided), whose body is followed up to `nextBlockStart`.
  // Takes what it keeps out of `candidate`, which is decided in the place it was held.
  void DecideBlock(ShapeCandidate& candidate, std::uint64_t nextBlockStart, CarveBuffer buffer);
  // Follows the body of a shape find up to `limit`, or takes the one followed ahead.
  void FollowBodyOf(ShapeCandidate& candidate, std::uint64_t limit, CarveBuffer buffer);
  // Holds or notes the trace finds before `undecided`, where the first undecided block begins.
  void DecideTraceFinds(std::uint64_t undecided, CarveBuffer buffer);

  std::shared_ptr<const std::string> sourceName_;  // shared with every record built
  bool strict_;
  int ansiCodePage_;  // of 8-bit text without a charset
  MailPublisher publisher_;
  PreparedBodies preparedBodies_;
  DuplicateMarker duplicates_;
  MailContainment containment_;
  ContainerStartFinder containerStarts_;
  StoreChains storeChains_;
  ShapeCandidateQueue candidates_;
  std::vector<MailRecordPtr> allRecords_;  // every record, for the store decisions
  std::vector<MailRecordPtr> held_;        // decided, waiting for earlier blocks to be decided
  std::vector<MailRecordPtr> traceFinds_;  // trace finds not yet matched with a block
  bool traceFindsInOrder_ = true;          // ... each behind the one before
  // Trace finds in the header block of a message quoted with its mailbox separator line.
  std::unordered_set<const MailRecord*> quotedFinds_;
  // The last header block decided: a mailbox separator inside a mail file that began on its own
  // (not in a mailbox), with no NUL between, is text quoted in that mail.
  std::uint64_t lastBlockStart_ = 0;
  bool lastBlockOpensFile_ = false;
  bool haveLastBlock_ = false;
};

}  // namespace quillon
