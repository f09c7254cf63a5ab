// Marks later copies of one message as duplicates of the first (in found order). A find the scan
// took for a part of another mail is one only where its bytes say so and where its header block
// lies as a mail of its own does (glued behind other bytes, at a sector start, behind a mailbox's
// separator line), a mail behind one whose end was not seen; a message behind a whole line (in a
// MIME part, behind a forwarding text) is left to the mail around it, as is one whose bytes tell
// nothing, and two such parts are never joined. Two finds are
// copies of one message when they carry the same Message-ID, or else the same sender,
// recipients, date and subject, and their whole texts agree (mail_print.h): the same bytes from
// the first header line to the end, or one a whole prefix of the other (a copy cut short).
// Mails that share their header fields but not their text (a resent or rewritten message, test
// mails made from one template) are no copies. Messages of mailboxes whose texts run on past
// where the scan followed them end in front of a next separator line where both agree as far. A
// mail in a store's block chain is read through its chain, without the block headers; a store's
// blocks met in a deleted copy's bytes are stepped over. Only where a mail's header block does not
// end in the bytes there are do the header fields decide alone. Nearly every mail found is a first
// copy: each is kept as its print and hashes of its values (first_copies.h), the values themselves
// read in the found list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "scan/mail_record.h"
#include "scan/merge/first_copies.h"
#include "scan/merge/mail_print.h"
#include "scan/merge/text_prints.h"
#include "scan/read/store_chain.h"
#include "scan/source_bytes.h"

namespace quillon {

class DuplicateMarker {
 public:
  // `record` is published at `index` of the found-mail list, after every earlier one, its
  // `partOf` decided; sets its `duplicateOf` when an earlier copy was published. `buffer` holds
  // bytes of the source, the mail's among them where they are in hand. `found` is the found-mail
  // list so far (at least `index` records, none of whose header values changed since it was
  // marked): the marker keeps hashes of the values, and reads them there to be sure.
  void Mark(MailRecord& record, std::size_t index, CarveBuffer buffer,
            std::span<const MailRecordPtr> found);

  // Where the text of a store's mail is read from when its chain is not in the bytes at hand.
  void SetSourceReader(SourceBytesReader reader) { readSource_ = std::move(reader); }

  // The heap the marker holds between two marks.
  std::size_t HeldBytes() const { return firstCopies_.HeldBytes(); }

 private:
  // The print of `record`'s text in `buffer`, or read through its store chain, put in `mine`
  // with whether its From line's position is told. Where `mayWait` and the text lies whole in the
  // bytes in hand, only its bounds are kept: MakeWaitingPrint makes it when it is needed.
  void PrintOfRecord(const MailRecord& record, CarveBuffer buffer, bool mayWait, FirstCopy& mine);
  // Makes the print `copy` was kept without, of the same bytes: those in hand where they hold
  // them, else read again from the source.
  void MakeWaitingPrint(FirstCopy& copy) const;
  // The text of the chain that begins at `storeBlock` from `start` on, kept in `text`.
  MailText ChainText(std::uint64_t storeBlock, std::uint64_t start, CarveBuffer buffer,
                     std::string& text) const;
  // Where a text read again is kept: grown as the reads grow, never cleared first (every byte
  // a read hands on was read).
  struct ReadRoom {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::string chain;  // a store's mail, read through its chain
    std::uint8_t* Reserve(std::size_t size);
  };
  // At least the first `size` bytes of the text of a first copy: taken from the bytes in hand
  // where they hold them, else read again from the source.
  MailText ReadAgain(const FirstCopy& copy, std::size_t size, ReadRoom& room,
                     std::string& stepped) const;
  // The bytes ReadAgain reads the text of a first copy out of a mail's store (storeBlock 0)
  // from: `reach` of them from its start on, fewer near the source's end; none where nothing
  // could be read.
  struct BytesRead {
    const std::uint8_t* bytes = nullptr;
    std::size_t reach = 0;
  };
  BytesRead BytesAgain(const FirstCopy& copy, std::size_t size, ReadRoom& room) const;
  // The text of `copy` in `read`, looked through no further than `limit`: the start of the one
  // looked through further (a store block header the nearer limit cuts ends it there).
  MailText TextIn(const FirstCopy& copy, BytesRead read, std::size_t limit,
                  std::string& stepped) const;
  // What SameText tells of two texts read as far as `ourRead` and `theirRead` reach where they
  // part within their first `limit` bytes, looked through no further; nothing where they do not.
  std::optional<bool> PartedEarly(const FirstCopy& mine, const FirstCopy& copy, BytesRead ourRead,
                                  BytesRead theirRead, std::size_t limit) const;
  // The `size` bytes of the source from `from` on: the bytes in hand where they hold them, else
  // read into `room`; nothing where they cannot be read.
  std::optional<std::string_view> SourceBytes(std::uint64_t from, std::size_t size,
                                              std::string& room) const;
  // Whether the header block whose line begins at the absolute byte `at` stands behind a whole
  // line, not at a sector start: a message the mail around it holds.
  bool HeldByTheMailAround(std::uint64_t at) const;
  // Whether the mail `mine` and the first copy `copy` are copies of one message.
  bool SameMessage(const FirstCopy& mine, const FirstCopy& copy) const;
  // Whether their texts are the same, or one a whole prefix of the other.
  bool SameText(const FirstCopy& mine, const FirstCopy& copy) const;
  // Whether the header lines in front of two copies' From lines agree, as far as both have
  // header lines there: a message sent on again may differ only there, above where a copy was
  // found.
  bool SameLinesBefore(const FirstCopy& mine, const FirstCopy& copy) const;
  // The first copy listed under `key` that `mine` (read from `record`) is a copy of, and whose
  // values for that key are the record's; FirstCopies::kNone when none is.
  std::uint32_t FindCopy(CopyKey key, FirstCopy& mine, const MailRecord& record,
                         std::span<const MailRecordPtr> found);

  // The first copy of each distinct content, per Message-ID and per header values.
  FirstCopies firstCopies_;
  SourceBytesReader readSource_;
  // The bytes the mark at work was given; empty between marks.
  CarveBuffer inHand_;
};

}  // namespace quillon
