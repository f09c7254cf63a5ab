#include "scan/read/source_digest.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "source/digest_library.h"

namespace quillon {

namespace {

const EVP_MD* Engine(const DigestLibrary& crypto, DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return crypto.sha256();
    case DigestAlgorithm::Md5:
      return crypto.md5();
    case DigestAlgorithm::Sha1:
      return crypto.sha1();
  }
  return nullptr;
}

std::string Hex(const unsigned char* bytes, unsigned size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (unsigned i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

using Piece = std::shared_ptr<const std::vector<std::uint8_t>>;

// Bytes are handed on in pieces of this size (small adds are gathered first), and an
// algorithm's thread may fall this many pieces behind before Add waits for it.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxPendingPieces = 16;

// One algorithm's digest, computed on a thread of its own from the pieces handed to it, in
// order. The thread starts with the first piece and sets the library's digest up itself: that
// takes as long as digesting a few megabytes, and the scan that constructs this has no time to
// spare for it (nor for a digest nobody asks for, as where the bytes are never added).
struct SourceDigest::Context {
  explicit Context(DigestAlgorithm chosen) : algorithm(chosen) {}
  ~Context() {
    Close();
    if (crypto_) crypto_->contextFree(context_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  void Hand(Piece piece) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    changed_.wait(lock, [this] { return pending_.size() < kMaxPendingPieces; });
    pending_.push_back(std::move(piece));
    changed_.notify_all();
  }

  // Waits until every piece is digested; the digest in hex, empty when the library refused.
  std::string Finish() {
    Close();
    if (!begun_) Begin();  // no piece came: the digest of no bytes
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (!context_ || crypto_->finish(context_, digest, &size) != 1) return {};
    return Hex(digest, size);
  }

  const DigestAlgorithm algorithm;

 private:
  // The library refuses an algorithm only when it is built without it (MD5 in a FIPS-only
  // configuration), and is loaded here, on the digest's own thread; where it refuses or cannot
  // be loaded the digest comes out empty rather than wrong.
  void Begin() {
    begun_ = true;
    std::string unloaded;
    crypto_ = LoadDigestLibrary(unloaded);
    if (!crypto_) return;
    context_ = crypto_->contextNew();
    if (context_ && crypto_->init(context_, Engine(*crypto_, algorithm), nullptr) != 1) {
      crypto_->contextFree(context_);
      context_ = nullptr;
    }
  }

  void Run() {
    Begin();
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !pending_.empty() || closing_; });
      if (pending_.empty()) return;
      const Piece piece = pending_.front();
      lock.unlock();
      if (context_) crypto_->update(context_, piece->data(), piece->size());
      lock.lock();
      pending_.pop_front();
      changed_.notify_all();
    }
  }

  void Close() {
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Set by the digest's thread, or by Finish where none ran; read once that thread is joined.
  const DigestLibrary* crypto_ = nullptr;
  EVP_MD_CTX* context_ = nullptr;
  bool begun_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> pending_;
  bool closing_ = false;
  std::thread thread_;
};

std::string_view DigestName(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return "sha256";
    case DigestAlgorithm::Md5:
      return "md5";
    case DigestAlgorithm::Sha1:
      return "sha1";
  }
  return {};
}

std::optional<DigestAlgorithm> DigestByName(std::string_view name) {
  for (DigestAlgorithm algorithm :
       {DigestAlgorithm::Sha256, DigestAlgorithm::Md5, DigestAlgorithm::Sha1})
    if (LowerCase(std::string(name)) == DigestName(algorithm)) return algorithm;
  return std::nullopt;
}

SourceDigest::SourceDigest(std::vector<DigestAlgorithm> algorithms) {
  for (DigestAlgorithm algorithm : algorithms) Include(algorithm);
}

void SourceDigest::Include(DigestAlgorithm algorithm) {
  // A digest begun later would miss the bytes already added and come out wrong.
  if (bytesAdded_ != 0 || done_) return;
  const bool already = std::any_of(contexts_.begin(), contexts_.end(), [&](const auto& context) {
    return context->algorithm == algorithm;
  });
  if (!already) contexts_.push_back(std::make_unique<Context>(algorithm));
}

SourceDigest::~SourceDigest() = default;

void SourceDigest::Add(const void* bytes, std::size_t count) {
  if (done_ || count == 0) return;
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  staging_.insert(staging_.end(), data, data + count);
  bytesAdded_ += count;
  if (staging_.size() >= kPieceBytes) HandOn();
}

void SourceDigest::HandOn() {
  if (staging_.empty()) return;
  const auto piece = std::make_shared<const std::vector<std::uint8_t>>(std::move(staging_));
  staging_.clear();
  staging_.reserve(kPieceBytes);
  for (const auto& context : contexts_) context->Hand(piece);
}

std::vector<DigestValue> SourceDigest::Finish() {
  if (done_) return finished_;
  HandOn();
  done_ = true;
  for (const auto& context : contexts_)
    finished_.push_back({context->algorithm, context->Finish()});
  return finished_;
}

std::vector<StoredHashCheck> CheckStoredHashes(const std::vector<StoredHash>& stored,
                                               const std::vector<DigestValue>& computed) {
  std::vector<StoredHashCheck> checks;
  for (const StoredHash& hash : stored) {
    StoredHashCheck check{hash, HashCheck::NotComputed};
    const std::optional<DigestAlgorithm> algorithm = DigestByName(hash.algorithm);
    for (const DigestValue& value : computed) {
      if (!algorithm || value.algorithm != *algorithm || value.hex.empty()) continue;
      check.result = LowerCase(hash.hex) == value.hex ? HashCheck::Verified : HashCheck::Mismatch;
    }
    checks.push_back(check);
  }
  return checks;
}

}  // namespace quillon
