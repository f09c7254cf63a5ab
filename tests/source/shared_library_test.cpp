#include "source/shared_library.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "source/digest_library.h"
#include "source/image_libraries.h"

namespace quillon {
namespace {

struct LibraryCase {
  const char* fileName;
  const char* function;
  bool opens;
  bool binds;
  // What the error or the list of missing functions must name.
  const char* named;
};

class SharedLibraryTest : public testing::TestWithParam<LibraryCase> {};

TEST_P(SharedLibraryTest, OpensAndBindsOrSaysWhatIsMissing) {
  const LibraryCase& param = GetParam();
  std::string error;
  const auto library = SharedLibrary::Open(param.fileName, error);
  ASSERT_EQ(library != nullptr, param.opens) << error;
  if (!library) {
    EXPECT_NE(error.find(param.named), std::string::npos) << error;
    return;
  }
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_EQ(library->FileName(), param.fileName);
  std::size_t (*function)(const char*) = nullptr;
  std::string missing = "earlier";
  EXPECT_EQ(library->Bind(function, param.function, missing), param.binds);
  if (param.binds) {
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(missing, "earlier");
    // The function found is the library's own: it works.
    EXPECT_EQ(function("quillon"), 7u);
  } else {
    EXPECT_EQ(function, nullptr);
    EXPECT_EQ(missing, std::string("earlier, ") + param.named);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedLibraryTest,
                         testing::Values(LibraryCase{"libc.so.6", "strlen", true, true, ""},
                                         LibraryCase{"libc.so.6", "quillon_no_such_function", true,
                                                     false, "quillon_no_such_function"},
                                         LibraryCase{"libquillon-absent.so.9", "strlen", false,
                                                     false, "libquillon-absent.so.9"}));

// Every function the image sources call is found in the libraries installed, and each table is
// loaded once and then shared.
TEST(ImageLibrariesTest, LoadEveryFunctionOnce) {
  std::string error;
  const EwfLibrary* ewf = LoadEwfLibrary(error);
  ASSERT_NE(ewf, nullptr) << error;
  EXPECT_EQ(LoadEwfLibrary(error), ewf);
  EXPECT_NE(ewf->handle_read_random, nullptr);
  const VmdkLibrary* vmdk = LoadVmdkLibrary(error);
  ASSERT_NE(vmdk, nullptr) << error;
  EXPECT_EQ(LoadVmdkLibrary(error), vmdk);
  EXPECT_NE(vmdk->handle_read_buffer_at_offset, nullptr);
  const VhdiLibrary* vhdi = LoadVhdiLibrary(error);
  ASSERT_NE(vhdi, nullptr) << error;
  EXPECT_EQ(LoadVhdiLibrary(error), vhdi);
  EXPECT_NE(vhdi->file_read_buffer_at_offset, nullptr);
  EXPECT_TRUE(error.empty()) << error;
}

struct DigestCase {
  const char* text;
  const char* name;  // of the algorithm
  const char* hex;   // its digest of `text`
};

class DigestLibraryTest : public testing::TestWithParam<DigestCase> {};

// Each algorithm is bound to its own function, whole or piece by piece.
TEST_P(DigestLibraryTest, DigestsAsTheAlgorithmDefines) {
  const DigestCase& param = GetParam();
  std::string error;
  const DigestLibrary* crypto = LoadDigestLibrary(error);
  ASSERT_NE(crypto, nullptr) << error;
  EXPECT_EQ(LoadDigestLibrary(error), crypto);
  const std::string name = param.name;
  const EVP_MD* engine = name == "sha256" ? crypto->sha256()
                         : name == "sha1" ? crypto->sha1()
                                          : crypto->md5();
  auto hex = [](const unsigned char* bytes, unsigned size) {
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
      static constexpr char kDigits[] = "0123456789abcdef";
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 15];
    }
    return text;
  };
  const std::string text = param.text;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  ASSERT_EQ(crypto->digestAtOnce(text.data(), text.size(), digest, &size, engine, nullptr), 1);
  EXPECT_EQ(hex(digest, size), param.hex);

  EVP_MD_CTX* context = crypto->contextNew();
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(crypto->init(context, engine, nullptr), 1);
  const std::size_t half = text.size() / 2;
  EXPECT_EQ(crypto->update(context, text.data(), half), 1);
  EXPECT_EQ(crypto->update(context, text.data() + half, text.size() - half), 1);
  size = 0;
  EXPECT_EQ(crypto->finish(context, digest, &size), 1);
  crypto->contextFree(context);
  EXPECT_EQ(hex(digest, size), param.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, DigestLibraryTest,
    testing::Values(DigestCase{"abc", "sha256",
                               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                    DigestCase{"abc", "sha1", "a9993e364706816aba3e25717850c26c9cd0d89d"},
                    DigestCase{"abc", "md5", "900150983cd24fb0d6963f7d28e17f72"},
                    DigestCase{
                        "", "sha256",
                        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}));

}  // namespace
}  // namespace quillon
