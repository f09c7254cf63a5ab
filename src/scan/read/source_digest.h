// Digests of the bytes a scan reads (SHA-256, MD5, SHA-1), computed as the bytes pass so that
// proving what was read costs no second pass over the source. The digests come from OpenSSL's
// libcrypto; nothing here implements a hash function. Each algorithm runs on a thread of its
// own over copies of the bytes, in order, so that where cores are free the digests cost the
// scan little more than the copy; Add waits only when they fall far behind.
//
// Bytes of sectors that could not be read are digested as the zeros the scan reads in their
// place, as imaging tools do.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/source_facts.h"

namespace quillon {

enum class DigestAlgorithm { Sha256, Md5, Sha1 };

// "sha256", "md5", "sha1": the names used in messages, reports and StoredHash.
std::string_view DigestName(DigestAlgorithm algorithm);
std::optional<DigestAlgorithm> DigestByName(std::string_view name);

struct DigestValue {
  DigestAlgorithm algorithm = DigestAlgorithm::Sha256;
  std::string hex;  // lower case

  bool operator==(const DigestValue&) const = default;
};

class SourceDigest {
 public:
  // Computes each of `algorithms` (each once, in the order given) over the bytes added.
  explicit SourceDigest(std::vector<DigestAlgorithm> algorithms);
  ~SourceDigest();
  SourceDigest(const SourceDigest&) = delete;
  SourceDigest& operator=(const SourceDigest&) = delete;

  // Computes `algorithm` as well, unless it is computed already. Only before the first Add.
  void Include(DigestAlgorithm algorithm);

  void Add(const void* bytes, std::size_t count);
  std::uint64_t BytesAdded() const { return bytesAdded_; }

  // The digests of every byte added so far, one per algorithm. Ends the digest: bytes added
  // afterwards are not digested, and Finish returns the same values again.
  std::vector<DigestValue> Finish();

 private:
  struct Context;
  void HandOn();  // gives the gathered bytes to every algorithm

  std::vector<std::unique_ptr<Context>> contexts_;
  std::vector<std::uint8_t> staging_;
  std::vector<DigestValue> finished_;
  std::uint64_t bytesAdded_ = 0;
  bool done_ = false;
};

// A hash the source stored for its media, held against what was computed over it.
enum class HashCheck {
  Verified,     // the computed digest is the stored one
  Mismatch,     // it differs: the media read is not what was imaged
  NotComputed,  // the algorithm was not computed
};

struct StoredHashCheck {
  StoredHash stored;
  HashCheck result = HashCheck::NotComputed;
};

// Holds each of `stored` against `computed` (comparing hex without regard to case).
std::vector<StoredHashCheck> CheckStoredHashes(const std::vector<StoredHash>& stored,
                                               const std::vector<DigestValue>& computed);

}  // namespace quillon
