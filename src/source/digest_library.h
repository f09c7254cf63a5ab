// The message-digest functions of the system's crypto library, loaded when a digest is first
// asked for (shared_library.h): a scan without --hash and a save without a report never load
// it, and relocating it cost every start about a quarter of the program's fixed start.
#pragma once

#include <openssl/evp.h>

#include <string>

namespace quillon {

struct DigestLibrary {
  decltype(&EVP_sha256) sha256 = nullptr;
  decltype(&EVP_sha1) sha1 = nullptr;
  decltype(&EVP_md5) md5 = nullptr;
  decltype(&EVP_MD_CTX_new) contextNew = nullptr;
  decltype(&EVP_MD_CTX_free) contextFree = nullptr;
  decltype(&EVP_DigestInit_ex) init = nullptr;
  decltype(&EVP_DigestUpdate) update = nullptr;
  decltype(&EVP_DigestFinal_ex) finish = nullptr;
  decltype(&EVP_Digest) digestAtOnce = nullptr;
};

// The functions of libcrypto.so.3, loaded on the first call and shared from then on; null, with
// `error` saying why, when the library cannot be loaded or lacks one of them.
const DigestLibrary* LoadDigestLibrary(std::string& error);

}  // namespace quillon
