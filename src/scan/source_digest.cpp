#include "scan/source_digest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>

namespace quillon {

namespace {

const EVP_MD* Engine(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return EVP_sha256();
    case DigestAlgorithm::Md5:
      return EVP_md5();
    case DigestAlgorithm::Sha1:
      return EVP_sha1();
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

struct SourceDigest::Context {
  DigestAlgorithm algorithm;
  EVP_MD_CTX* context = nullptr;

  explicit Context(DigestAlgorithm chosen) : algorithm(chosen), context(EVP_MD_CTX_new()) {
    // The library refuses an algorithm only when it is built without it (MD5 in a FIPS-only
    // configuration); the digest then comes out empty rather than wrong.
    if (context && EVP_DigestInit_ex(context, Engine(algorithm), nullptr) != 1) {
      EVP_MD_CTX_free(context);
      context = nullptr;
    }
  }
  ~Context() { EVP_MD_CTX_free(context); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
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
  for (const auto& context : contexts_)
    if (context->context) EVP_DigestUpdate(context->context, bytes, count);
  bytesAdded_ += count;
}

std::vector<DigestValue> SourceDigest::Finish() {
  if (done_) return finished_;
  done_ = true;
  for (const auto& context : contexts_) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    std::string hex;
    if (context->context && EVP_DigestFinal_ex(context->context, digest, &size) == 1)
      hex = Hex(digest, size);
    finished_.push_back({context->algorithm, hex});
  }
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
