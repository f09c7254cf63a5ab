// One found mail: where it starts in its source and what its header block said, and the body
// facts the body steps gather while the scan follows it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/compact_text.h"
#include "scan/mail_text_store.h"
#include "scan/source_position.h"
#include "scan/text_origin.h"

namespace quillon {

// One attachment or MIME part. Compact texts, as most mails have one or more.
struct PartEntry {
  CompactText name;              // file name as written in the mail
  CompactText contentType;       // the part's media type, lower-cased ("" for X-Attachment)
  std::u16string nameText;       // decoded file name
  CompactText transferEncoding;  // the part's Content-Transfer-Encoding, lower-cased
  std::int64_t size = 0;         // bytes as stated (decoded bytes for a base64 part)
};

// How a record was recognised: by its "Received: " trace line, or by the shape of its header
// block (a mail the trace rule alone would miss).
enum class FoundBy : std::uint8_t { Trace, Shape };

// What the body steps learn while the scan follows a mail, but its texts: what a record keeps
// of its body in itself (the texts go elsewhere, see MailRecord::KeepTextIn). The flags stand
// together so that a million records do not pad each one.
struct BodyFacts {
  // The content text is not carried: the record works it out from the body text when it is
  // read (ContentTextOf, with ansiCodePage for text without a charset).
  bool contentFromBodyText = false;
  bool textIsHtml = false;
  bool closed = false;
  int ansiCodePage = 0;
  std::vector<PartEntry> parts;
  CompactText textCharset;  // charset parameter of the text part ("" when none)
  // Absolute byte where the mail's text ends, when the scan saw its end (the closing boundary
  // of its multipart, a NUL, binary bytes, an mbox separator); 0 when it did not.
  std::uint64_t textEnd = 0;
  // Absolute byte behind the last line the scan took into this mail (the body steps' reach);
  // 0 when no line was taken.
  std::uint64_t followedEnd = 0;
};

// All the body steps learn while the scan follows a mail. Published whole when the body closes.
struct MailBody : BodyFacts {
  std::string bodyText;        // the text part, CR LF between lines, at most kMaxBodyText bytes;
                               // decoded by its transfer encoding once closed
  std::u16string contentText;  // bodyText converted by its charset; HTML tags stripped
};

inline constexpr std::size_t kMaxBodyText = 0x40000;  // 262,144 bytes

// Where a mail's whole text lies, as far as the scan could tell. A trace find is recorded at its
// trace line, which need not be the mail's first line; a mail in a store lies in a block chain.
// The flags stand together so that a million records do not pad each one to 8 bytes.
struct MailExtent {
  bool textStartKnown = false;          // the scan saw the mail's first header line
  bool lineFeedOnly = false;            // the mail's lines end in a bare LF
  bool inStore = false;                 // the text is the block chain that starts at storeBlock
  bool behindMailboxSeparator = false;  // a "From " separator line stands in front of it
  std::uint64_t textStart = 0;          // absolute byte of the mail's first header line

  std::uint64_t TextStartOr(std::uint64_t fallback) const {
    return textStartKnown ? textStart : fallback;
  }
  std::uint64_t storeBlock = 0;     // absolute position of the chain's first block header
  std::uint64_t multipartEnd = 0;   // behind a multipart mail's closing boundary; 0 when unknown
  std::uint64_t nextMailStart = 0;  // where the next mail found (not one of its parts) begins
  // Where a store mail's text lies when its blocks lie scattered (a deleted store), or where a
  // store in one piece would not have them; null when they follow from storeBlock by the
  // store's own offsets.
  std::shared_ptr<const std::vector<TextPiece>> storePieces;
};

class MailRecord {
 public:
  // Header values as carved (8-bit), fixed once the record is accepted; compact, as a million
  // records hold ten apiece.
  CompactText subject;  // leading and trailing CR and LF removed
  CompactText from;
  CompactText to;
  CompactText cc;
  CompactText date;  // "%d-%02d-%02d %02d:%02d:%02d" when its year is 1991..2049
  CompactText boundary;
  CompactText contentType;
  CompactText transferEncoding;
  CompactText innerBoundary;
  CompactText messageId;

  // Decoded for display: the sender, the recipients and the subject ("( No Subject )" when
  // empty). Most mails write them in plain ASCII, where the decoded text is the raw value
  // widened: such a text is not kept a second time but widened again when asked for, so set the
  // raw value before its decoded text (the raw values do not change once a record is built).
  std::u16string FromText() const;
  std::u16string ToText() const;
  std::u16string SubjectText() const;
  void SetFromText(std::u16string text);
  void SetToText(std::u16string text);
  void SetSubjectText(std::u16string text);
  // Whether FromText() / SubjectText() is the raw value with each byte widened to one unit:
  // then a reader may take the raw bytes as the characters U+0000 to U+00FF and spare the copy.
  bool FromTextIsWidened() const { return (decodedKept_ & kFromKept) == 0; }
  bool SubjectTextIsWidened() const { return (decodedKept_ & kSubjectKept) == 0; }

  // Provenance: the source scanned, the absolute sector of the mail's first recognised line and
  // its byte offset inside that sector. The name is one string that every record of a scan
  // shares (FoundMails hands each record its list's copy).
  const std::string& SourceName() const;
  void SetSourceName(std::shared_ptr<const std::string> name);
  void SetSourceName(std::string_view name);
  // The name as the record holds it, null when none was set.
  const std::shared_ptr<const std::string>& SharedSourceName() const { return sourceName_; }
  std::uint64_t startSector = 0;
  std::uint16_t sectorOffset = 0;
  std::int16_t priority = 0;
  FoundBy foundBy = FoundBy::Trace;
  // The mail's text holds sectors the source could not deliver: zeros stand there, in the
  // saved text too. Set by the scan when it ends (it may be read on another thread).
  std::atomic<bool> damaged{false};
  // Index (0-based, found order) of the first record of the same message, or -1.
  std::int64_t duplicateOf = -1;
  // Index (0-based, found order) of the mail this one is attached to, or -1; the scan sets it
  // from `container`, the record of that mail, which it keeps alive as long as this one.
  std::int64_t partOf = -1;
  const MailRecord* container = nullptr;
  // Index (0-based, found order) of this record in the found-mail list, once the scan has placed
  // it there; -1 before. Asked by record rather than looked up by address: a million records
  // make a table of their addresses a cache miss or two per mail.
  std::int64_t foundIndex = -1;

  std::vector<PartEntry> attachments;  // from "X-Attachment: " lines

  // Absolute byte position of the mail in its source.
  std::uint64_t StartByte() const { return ByteOf({startSector, sectorOffset}); }

  // The body is written by the scan thread and read by any other; these take the record's lock.
  // Body() gives the whole body, its texts read back from where the record keeps them.
  MailBody Body() const;
  // Calls `read(const BodyFacts&)` under the lock and returns what it returns, for searches and
  // sorts over many mails that need a field or two of each body and no copy of it.
  // BodyText() and ReadContentText() give the texts.
  // `read` must not call back into this record (the lock is not recursive).
  template <typename Read>
  decltype(auto) ReadBody(Read&& read) const {
    std::lock_guard lock(bodyMutex_);
    return std::forward<Read>(read)(static_cast<const BodyFacts&>(body_));
  }
  bool BodyClosed() const;
  void PublishBody(MailBody body);
  std::string BodyText() const;
  // Replaces `text` with the body's contentText, reusing its room (a search reads one mail after
  // another into one string).
  void ReadContentText(std::u16string& text) const;
  // Whether the content text, case folded, holds `foldedNeedle` (ASCII, case folded), told from
  // the body's bytes where its charset lets (HoldsFoldedAscii); nothing where the text must be
  // converted to tell. `bytes` and `scratch` are reused from mail to mail.
  std::optional<bool> ContentHoldsFoldedAscii(std::string_view foldedNeedle, std::string& bytes,
                                              std::string& scratch) const;
  // From now on the body's texts live in `store` rather than in the record; texts published
  // already move there. The found-mail list does this for every record it takes.
  void KeepTextIn(std::shared_ptr<MailTextStore> store);
  // Gives back the room the strings and arrays of a finished record hold beyond their contents
  // (values gathered by appending keep what their growth reserved). The found-mail list does
  // this for every record it takes.
  void ShrinkToFit();
  MailExtent Extent() const;
  void SetExtent(const MailExtent& extent);

 private:
  // The texts while no store keeps them.
  struct HeldText {
    std::string bodyText;
    std::u16string contentText;
  };
  void KeepTextLocked(std::string&& bodyText, std::u16string&& contentText);
  std::u16string ContentTextLocked(std::string_view bodyText) const;

  // The decoded texts that differ from their raw values, each kept only when its bit is set.
  struct DecodedTexts {
    std::u16string from;
    std::u16string to;
    std::u16string subject;
  };
  enum DecodedKept : std::uint8_t { kFromKept = 1, kToKept = 2, kSubjectKept = 4 };
  std::u16string DecodedText(std::string_view raw, DecodedKept kept,
                             std::u16string DecodedTexts::*text) const;
  void SetDecodedText(std::string_view raw, DecodedKept kept, std::u16string DecodedTexts::*text,
                      std::u16string&& value);

  std::shared_ptr<const std::string> sourceName_;
  std::unique_ptr<DecodedTexts> decoded_;
  std::uint8_t decodedKept_ = 0;

  // A lock of one byte rather than a std::mutex's forty: a million records each hold one, and
  // it is only ever held for a copy or one text read.
  class BodyLock {
   public:
    void lock() const noexcept {
      while (held_.test_and_set(std::memory_order_acquire))
        held_.wait(true, std::memory_order_relaxed);
    }
    void unlock() const noexcept {
      held_.clear(std::memory_order_release);
      held_.notify_one();
    }

   private:
    mutable std::atomic_flag held_;
  };
  BodyLock bodyMutex_;
  BodyFacts body_;
  MailExtent extent_;
  std::shared_ptr<MailTextStore> textStore_;
  std::unique_ptr<HeldText> heldText_;
  KeptText keptBodyText_;
  KeptText keptContentText_;
};

using MailRecordPtr = std::shared_ptr<MailRecord>;

}  // namespace quillon
