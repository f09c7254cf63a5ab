// The records of the current scan in found order. Shared between the scan thread, which adds,
// and every reader; records are reference-counted so a reader's copy outlives Clear().
// The list also keeps its records' body texts, in one store per scan (mail_text_store.h), and
// gives each record it takes back the room its fields hold beyond their values.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "scan/mail_record.h"
#include "scan/mail_text_store.h"

namespace quillon {

class FoundMails {
 public:
  // Texts go to a scratch file in the system's temporary folder.
  FoundMails() = default;
  // Texts go to a scratch file in `textFolder`; an empty path keeps them in memory.
  explicit FoundMails(std::filesystem::path textFolder) : textFolder_(std::move(textFolder)) {}

  void Add(MailRecordPtr record);
  void Clear();
  std::size_t Count() const;
  MailRecordPtr At(std::size_t index) const;  // null when out of range
  std::vector<MailRecordPtr> Snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::vector<MailRecordPtr> records_;
  std::optional<std::filesystem::path> textFolder_;  // none: the temporary folder
  std::shared_ptr<MailTextStore> textStore_;         // made with the first record of a scan
  std::shared_ptr<const std::string> sourceName_;    // the name the last record was found in
};

}  // namespace quillon
