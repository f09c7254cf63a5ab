// Where the found mails' body texts are kept, so that a scan of a million mails does not hold
// them all in memory: appended to a private scratch file in the temporary folder (gone when the
// store is dropped or the process ends) and read back when a search, a sort or a saved file
// needs one. When no scratch file can be made, or a write to it fails, the texts stay in memory
// instead, so that no text is ever lost to a full disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class SpillFile;

// Where one text lies in its store; bytes, not characters.
struct KeptText {
  std::uint64_t position = 0;
  std::uint32_t size = 0;
};

class MailTextStore {
 public:
  // Texts go to a scratch file in `folder`; with no folder (or one where no file can be made)
  // they stay in memory.
  explicit MailTextStore(const std::filesystem::path& folder);
  // A store in the system's temporary folder.
  static std::shared_ptr<MailTextStore> InTemporaryFolder();
  ~MailTextStore();
  MailTextStore(const MailTextStore&) = delete;
  MailTextStore& operator=(const MailTextStore&) = delete;

  // Texts written to the store are held in a buffer of this size before they go to the file.
  static constexpr std::size_t kWriteSize = std::size_t{1} << 20;

  // Safe from any thread; texts longer than 4 GiB are cut there (no mail text comes near).
  KeptText Keep(std::string_view text);
  KeptText Keep(std::u16string_view text);

  // Replace `out` with the kept text. False (and `out` empty) when the scratch file could not
  // be read back.
  [[nodiscard]] bool Read(KeptText kept, std::string& out) const;
  [[nodiscard]] bool Read(KeptText kept, std::u16string& out) const;

  // Whether the texts written from now on go to the scratch file.
  bool Spilling() const;
  // Bytes of text held in memory (the write buffer and what could not go to the file).
  std::uint64_t BytesInMemory() const;

 private:
  KeptText KeepBytes(std::span<const std::byte> bytes);
  bool ReadBytes(KeptText kept, std::byte* out) const;
  void FlushLocked();

  // Texts that stayed in memory, in position order; each one piece of the stream.
  struct MemoryPiece {
    std::uint64_t start = 0;
    std::vector<std::byte> bytes;
  };

  mutable std::mutex mutex_;
  std::unique_ptr<SpillFile> file_;  // kept for reading after a failed write
  bool writing_ = false;             // texts go to file_
  std::uint64_t memoryFrom_ = 0;     // positions from here on lie in memory, never in the file
  std::vector<MemoryPiece> pieces_;
  std::uint64_t pendingStart_ = 0;  // position of pending_'s first byte
  std::vector<std::byte> pending_;
};

}  // namespace quillon
