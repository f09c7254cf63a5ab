// Found mails for the list benchmark, made in memory rather than by scanning a disk: the header
// values and bodies of real messages, found by the real scan of those messages held in memory,
// varied and repeated up to a million so that sorting meets ties, long runs, shared prefixes and
// many scripts, and the body facts published the way the scan publishes them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "scan/mail_record.h"

namespace quillon::bench {

// What the made mails are cut from: the records a scan of the messages in `folder` finds.
struct RecordMaterial {
  std::vector<MailRecordPtr> scanned;
  std::string origin;  // which folder, and how many messages
};

// Scans every file of `folder` (as one mailbox file held in memory). Empty when nothing is found.
RecordMaterial ScanMessages(const std::filesystem::path& folder);

// Words the made subjects carry at known rates, for finds with known shares of hits.
inline constexpr char16_t kRareWord[] = u"Lighthouse";  // in about 0.1 % of the subjects
inline constexpr char16_t kCommonWord[] = u"invoice";   // in about 10 % of the subjects
inline constexpr char16_t kAbsentWord[] = u"quokka-zebra";

struct MadeMails {
  std::vector<MailRecordPtr> records;
  // Where the records keep their texts, as the found-mail list gives them one; null when the
  // records hold them themselves.
  std::shared_ptr<MailTextStore> textStore;
  // The body each record gets once the scan "closes" it, published by CloseBody.
  std::vector<MailBody> bodies;
};

// `count` mails in found order. With `wholeContent` every body is the scanned one whole (its
// text and content as the scan keeps them); without it the bodies keep their parts, ends and
// charset but only the first `contentUnits` units of content, so that a million fit in memory.
MadeMails MakeMails(const RecordMaterial& material, std::size_t count, bool wholeContent,
                    std::size_t contentUnits, unsigned seed);

// Gives every record `store` for its texts, as the found-mail list does with the records of a
// scan; without it the records hold their texts themselves.
void KeepTextsIn(MadeMails& mails, std::shared_ptr<MailTextStore> store);

// Publishes the body of mail `index` as the scan does when it closes one.
void CloseBody(MadeMails& mails, std::size_t index);

}  // namespace quillon::bench
