#include "source/digest_library.h"

#include "source/shared_library.h"

namespace quillon {

const DigestLibrary* LoadDigestLibrary(std::string& error) {
  static const LoadedTable<DigestLibrary> loaded(
      "libcrypto.so.3", "digests need", "lacks digest functions",
      [](const SharedLibrary& library, DigestLibrary& table, std::string& missing) {
        library.Bind(table.sha256, "EVP_sha256", missing);
        library.Bind(table.sha1, "EVP_sha1", missing);
        library.Bind(table.md5, "EVP_md5", missing);
        library.Bind(table.contextNew, "EVP_MD_CTX_new", missing);
        library.Bind(table.contextFree, "EVP_MD_CTX_free", missing);
        library.Bind(table.init, "EVP_DigestInit_ex", missing);
        library.Bind(table.update, "EVP_DigestUpdate", missing);
        library.Bind(table.finish, "EVP_DigestFinal_ex", missing);
        library.Bind(table.digestAtOnce, "EVP_Digest", missing);
      });
  return loaded.Get(error);
}

}  // namespace quillon
