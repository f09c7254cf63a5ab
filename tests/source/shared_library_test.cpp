#include "source/shared_library.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

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

}  // namespace
}  // namespace quillon
