#include "output/mailbox_file.h"

#include <cstdio>
#include <system_error>

#include "output/mail_file_writer.h"
#include "source/rename_without_replacing.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxNameNumbers = 100000;

}  // namespace

MailboxFile::~MailboxFile() {
  if (temporary_.empty()) return;
  stream_.close();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool MailboxFile::Open(const fs::path& folder, std::time_t scanTime, std::string& reason) {
  folder_ = folder;
  const auto [path, file] = CreateTemporaryFile(folder, reason);
  if (!file) return false;
  std::fclose(file);
  temporary_ = path;
  stream_.open(path, std::ios::binary | std::ios::trunc);
  if (!stream_) {
    reason = "cannot write " + path.string();
    return false;
  }
  writer_.emplace(stream_, scanTime);
  return true;
}

void MailboxFile::Add(const MboxMessage& message) {
  writer_->Add(message);
}

std::optional<fs::path> MailboxFile::Finish(const std::string& baseName, std::string& reason) {
  const bool written = writer_->Finish();
  stream_.close();
  if (!written || stream_.fail()) {
    reason = "write failed";
    return std::nullopt;
  }
  for (std::size_t number = 0; number < kMaxNameNumbers; ++number) {
    const fs::path target =
        folder_ / (baseName + (number == 0 ? "" : "_" + std::to_string(number)) + ".mbox");
    std::error_code error;
    switch (RenameWithoutReplacing(temporary_, target, error)) {
      case RenameOutcome::Renamed:
        temporary_.clear();
        return target;
      case RenameOutcome::NameTaken:
        continue;
      case RenameOutcome::Failed:
        reason = error.message();
        return std::nullopt;
    }
  }
  reason = "no free name";
  return std::nullopt;
}

}  // namespace quillon
