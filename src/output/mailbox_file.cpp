#include "output/mailbox_file.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "source/rename_without_replacing.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameTries = 100;
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
  static thread_local std::mt19937_64 numbers{std::random_device{}()};
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const fs::path path = folder / (".quillon-save-" + std::to_string(numbers()) + ".tmp");
    // "x": made new, never one that is there, so two runs never share one.
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (!file && errno == EEXIST) continue;
    if (!file) {
      reason = std::generic_category().message(errno);
      return false;
    }
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
  reason = "no free temporary name";
  return false;
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
