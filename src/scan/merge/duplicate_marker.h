// Marks later copies of one message as duplicates of the first. Two finds are copies of one
// message when they carry the same Message-ID, or else the same sender, recipients, date and
// subject, and their bytes agree: the same header block (from its From line on, where copies
// found at different lines of it agree), byte for byte, and a body whose first
// bytes are the same as far as both reach (a copy cut short is a prefix of the whole one; the
// bytes are compared in steps of 128 through digests, so that each mail keeps little).
// Mails that share their header fields but not their text (a resent or rewritten message, test
// mails made from one template) are no copies. Where the bytes of either are not in hand (a mail
// in a store's block chain, a header block cut short) the header fields decide alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/mail_record.h"
#include "scan/source_bytes.h"

namespace quillon {

// What a mail's bytes say for telling copies apart.
struct ContentPrint {
  bool known = false;
  std::uint64_t headerDigest = 0;  // of the header block from its From line to its empty line
  // The body's first bytes (at most a few KiB, up to the first byte that is no text): their
  // number, and digests of their first 128, 256, ... bytes and of them all.
  std::size_t bodyLength = 0;
  std::string bodyStart;  // the first step's bytes themselves, for short bodies
  std::vector<std::uint64_t> bodySteps;
  std::uint64_t bodyDigest = 0;
};

// The print of the mail whose text begins at buffer index `start`; not known when its header
// block does not end within the bytes in hand.
ContentPrint PrintOf(CarveBuffer buffer, std::size_t start);

// Whether two prints may be of one message: unknown prints do not tell them apart.
bool SameContent(const ContentPrint& a, const ContentPrint& b);

class DuplicateMarker {
 public:
  // `record` is published at `index` of the found-mail list, after every earlier one; sets its
  // `duplicateOf` when an earlier copy was published. `buffer` holds bytes of the source, the
  // mail's among them where they are in hand.
  void Mark(MailRecord& record, std::size_t index, CarveBuffer buffer);

 private:
  struct Copy {
    std::size_t index;
    bool hasId;         // it was read with a Message-ID
    std::size_t print;  // in prints_
  };
  // The prints of the first copies, each kept once though a copy with a Message-ID is listed
  // under its Message-ID and under its values: a print holds a few hundred bytes, and there is
  // one for nearly every mail found. A deque, as a growing vector would hold them twice while it
  // moves them.
  std::deque<ContentPrint> prints_;
  // The first copy of each distinct content, per Message-ID and per header values.
  std::unordered_map<std::string, std::vector<Copy>> firstById_;
  std::unordered_map<std::string, std::vector<Copy>> firstByValues_;
};

}  // namespace quillon
