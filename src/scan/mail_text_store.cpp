#include "scan/mail_text_store.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <system_error>

#include "source/spill_file.h"

namespace quillon {

MailTextStore::MailTextStore(const std::filesystem::path& folder) {
  std::error_code error;
  if (!folder.empty()) file_ = SpillFile::Create(folder, error);
  writing_ = file_ != nullptr;
  memoryFrom_ = writing_ ? std::numeric_limits<std::uint64_t>::max() : 0;
  pending_.reserve(kWriteSize);
}

std::shared_ptr<MailTextStore> MailTextStore::InTemporaryFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return std::make_shared<MailTextStore>(error ? std::filesystem::path() : folder);
}

MailTextStore::~MailTextStore() = default;

KeptText MailTextStore::Keep(std::string_view text) {
  return KeepBytes(std::as_bytes(std::span(text.data(), text.size())));
}

KeptText MailTextStore::Keep(std::u16string_view text) {
  return KeepBytes(std::as_bytes(std::span(text.data(), text.size())));
}

KeptText MailTextStore::KeepBytes(std::span<const std::byte> bytes) {
  bytes =
      bytes.first(std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint32_t>::max()));
  std::lock_guard lock(mutex_);
  if (!pending_.empty() && pending_.size() + bytes.size() > kWriteSize) FlushLocked();
  const KeptText kept{pendingStart_ + pending_.size(), static_cast<std::uint32_t>(bytes.size())};
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  return kept;
}

void MailTextStore::FlushLocked() {
  std::error_code error;
  if (writing_ && !file_->WriteAt(pendingStart_, pending_, error)) {
    // The texts already in the file stay readable there; this buffer and every later text stay
    // in memory.
    writing_ = false;
    memoryFrom_ = pendingStart_;
  }
  pendingStart_ += pending_.size();
  if (writing_) {
    pending_.clear();
    return;
  }
  pending_.shrink_to_fit();
  pieces_.push_back({pendingStart_ - pending_.size(), std::move(pending_)});
  pending_ = {};
  pending_.reserve(kWriteSize);
}

bool MailTextStore::ReadBytes(KeptText kept, std::byte* out) const {
  {
    std::lock_guard lock(mutex_);
    if (kept.position >= pendingStart_) {
      std::memcpy(out, pending_.data() + (kept.position - pendingStart_), kept.size);
      return true;
    }
    if (kept.position >= memoryFrom_) {
      const auto piece = std::upper_bound(
          pieces_.begin(), pieces_.end(), kept.position,
          [](std::uint64_t position, const MemoryPiece& each) { return position < each.start; });
      const MemoryPiece& holder = *std::prev(piece);
      std::memcpy(out, holder.bytes.data() + (kept.position - holder.start), kept.size);
      return true;
    }
  }
  // In the file: written once and never changed, so it is read without the lock.
  std::error_code error;
  return file_->ReadAt(kept.position, std::span(out, kept.size), error);
}

bool MailTextStore::Read(KeptText kept, std::string& out) const {
  out.resize(kept.size);
  if (kept.size == 0 || ReadBytes(kept, reinterpret_cast<std::byte*>(out.data()))) return true;
  out.clear();
  return false;
}

bool MailTextStore::Read(KeptText kept, std::u16string& out) const {
  out.resize(kept.size / sizeof(char16_t));
  if (kept.size == 0 || ReadBytes(kept, reinterpret_cast<std::byte*>(out.data()))) return true;
  out.clear();
  return false;
}

bool MailTextStore::Spilling() const {
  std::lock_guard lock(mutex_);
  return writing_;
}

std::uint64_t MailTextStore::BytesInMemory() const {
  std::lock_guard lock(mutex_);
  std::uint64_t bytes = pending_.size();
  for (const MemoryPiece& piece : pieces_) bytes += piece.bytes.size();
  return bytes;
}

}  // namespace quillon
