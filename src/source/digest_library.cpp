#include "source/digest_library.h"

#include <memory>

#include "source/shared_library.h"

namespace quillon {

namespace {

struct LoadedDigests {
  std::unique_ptr<SharedLibrary> library;
  DigestLibrary table;
  std::string error;
};

LoadedDigests Load() {
  constexpr const char* kFileName = "libcrypto.so.3";
  LoadedDigests loaded;
  std::string why;
  loaded.library = SharedLibrary::Open(kFileName, why);
  if (!loaded.library) {
    loaded.error =
        std::string("digests need ") + kFileName + ", which cannot be loaded (" + why + ")";
    return loaded;
  }
  std::string missing;
  const SharedLibrary& library = *loaded.library;
  DigestLibrary& table = loaded.table;
  library.Bind(table.sha256, "EVP_sha256", missing);
  library.Bind(table.sha1, "EVP_sha1", missing);
  library.Bind(table.md5, "EVP_md5", missing);
  library.Bind(table.contextNew, "EVP_MD_CTX_new", missing);
  library.Bind(table.contextFree, "EVP_MD_CTX_free", missing);
  library.Bind(table.init, "EVP_DigestInit_ex", missing);
  library.Bind(table.update, "EVP_DigestUpdate", missing);
  library.Bind(table.finish, "EVP_DigestFinal_ex", missing);
  library.Bind(table.digestAtOnce, "EVP_Digest", missing);
  if (!missing.empty()) {
    loaded.error = std::string(kFileName) + " lacks digest functions: " + missing;
    loaded.library.reset();
  }
  return loaded;
}

}  // namespace

const DigestLibrary* LoadDigestLibrary(std::string& error) {
  static const LoadedDigests loaded = Load();
  if (!loaded.library) {
    error = loaded.error;
    return nullptr;
  }
  return &loaded.table;
}

}  // namespace quillon
