#include "scan/mail_text_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// Texts of every length class: empty, small, one that spans the write buffer, one larger than
// it, and many that fill several buffers, each with bytes of its own.
std::vector<std::string> TextsOfSizes(const std::vector<std::size_t>& sizes) {
  std::vector<std::string> texts;
  for (std::size_t index = 0; index < sizes.size(); ++index) {
    std::string text(sizes[index], '\0');
    for (std::size_t at = 0; at < text.size(); ++at)
      text[at] = static_cast<char>((at * 131 + index * 7) % 251);
    texts.push_back(std::move(text));
  }
  return texts;
}

enum class Folder { Temporary, None, Missing };

struct StoreRow {
  const char* label;
  Folder folder;
  bool spilling;
  std::vector<std::size_t> sizes;
};

class MailTextStoreTest : public testing::TestWithParam<StoreRow> {};

fs::path FolderFor(Folder folder, const test::TemporaryDirectory& directory) {
  switch (folder) {
    case Folder::Temporary:
      return directory.path();
    case Folder::None:
      return {};
    case Folder::Missing:
      return directory.path() / "not-there";
  }
  return {};
}

TEST_P(MailTextStoreTest, GivesBackEveryTextWhileMoreAreAdded) {
  test::TemporaryDirectory directory;
  MailTextStore store(FolderFor(GetParam().folder, directory));
  EXPECT_EQ(store.Spilling(), GetParam().spilling);
  const std::vector<std::string> texts = TextsOfSizes(GetParam().sizes);
  std::vector<KeptText> kept;
  std::string back;
  for (const std::string& text : texts) {
    kept.push_back(store.Keep(text));
    // The first text is read back after every addition: it moves from the buffer to the file.
    ASSERT_TRUE(store.Read(kept.front(), back));
    ASSERT_EQ(back, texts.front());
  }
  for (std::size_t index = 0; index < texts.size(); ++index) {
    ASSERT_TRUE(store.Read(kept[index], back));
    EXPECT_EQ(back, texts[index]) << "text " << index;
  }
  std::uint64_t total = 0;
  for (const std::string& text : texts) total += text.size();
  if (GetParam().spilling) {
    const std::size_t largest = *std::max_element(GetParam().sizes.begin(), GetParam().sizes.end());
    EXPECT_LE(store.BytesInMemory(), std::max(MailTextStore::kWriteSize, largest));
  } else {
    EXPECT_EQ(store.BytesInMemory(), total);
  }
}

const std::size_t kBuffer = MailTextStore::kWriteSize;

INSTANTIATE_TEST_SUITE_P(
    Rows, MailTextStoreTest,
    testing::Values(
        StoreRow{"Empty", Folder::Temporary, true, {0, 0}},
        StoreRow{"OneSmall", Folder::Temporary, true, {11}},
        StoreRow{"FillsTheBufferExactly", Folder::Temporary, true, {kBuffer - 5, 5, 1}},
        StoreRow{"OneByteOverTheBuffer", Folder::Temporary, true, {kBuffer - 5, 6, 3}},
        StoreRow{"LargerThanTheBuffer", Folder::Temporary, true, {17, kBuffer * 2 + 3, 9}},
        StoreRow{"ManyBuffers", Folder::Temporary, true, std::vector<std::size_t>(900, 9000)},
        StoreRow{"NoFolderInMemory", Folder::None, false, {17, kBuffer + 3, 0, 9}},
        StoreRow{"MissingFolderInMemory", Folder::Missing, false,
                 std::vector<std::size_t>(300, 9000)}),
    [](const testing::TestParamInfo<StoreRow>& row) { return row.param.label; });

TEST(MailTextStoreTest, KeepsUtf16TextUnitForUnit) {
  test::TemporaryDirectory directory;
  MailTextStore store(directory.path());
  const std::u16string text = u"Grüße, Привет, 你好 \U0001F600";
  const KeptText kept = store.Keep(text);
  std::u16string back = u"left over";
  ASSERT_TRUE(store.Read(kept, back));
  EXPECT_EQ(back, text);
}

// The scratch file may hold anybody's mail: only its owner may read it, it has no name in the
// folder, and it is gone once the store is.
TEST(MailTextStoreTest, ScratchFileIsPrivateNamelessAndGoneWithTheStore) {
  test::TemporaryDirectory directory;
  auto openInFolder = [&] {
    std::vector<struct stat> found;
    for (const fs::directory_entry& link : fs::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      const fs::path target = fs::read_symlink(link.path(), error);
      if (error || target.string().rfind(directory.path().string(), 0) != 0) continue;
      struct stat facts {};
      if (::stat(link.path().c_str(), &facts) == 0) found.push_back(facts);
    }
    return found;
  };
  {
    MailTextStore store(directory.path());
    (void)store.Keep(std::string(3 * kBuffer, 'x'));
    (void)store.Keep(std::string(9, 'y'));  // sends the first text to the file
    const std::vector<struct stat> open = openInFolder();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].st_mode & 0777, 0600u);
    EXPECT_EQ(static_cast<std::uint64_t>(open[0].st_size), 3 * kBuffer);
    EXPECT_TRUE(fs::is_empty(directory.path()));
  }
  EXPECT_TRUE(openInFolder().empty());
}

// A full disk: the file takes no more than the limit. Every text must still come back, those
// written before the failure from the file and the rest from memory.
TEST(MailTextStoreTest, WriteFailureKeepsTheTextsInMemory) {
  test::TemporaryDirectory directory;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &before), 0);
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit saved = limit;
  limit.rlim_cur = 2 * kBuffer + kBuffer / 2;

  const std::vector<std::string> texts = TextsOfSizes(std::vector<std::size_t>(700, 7000));
  std::vector<KeptText> kept;
  MailTextStore store(directory.path());
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  for (const std::string& text : texts) kept.push_back(store.Keep(text));
  const bool spilling = store.Spilling();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
  ASSERT_EQ(::sigaction(SIGXFSZ, &before, nullptr), 0);

  EXPECT_FALSE(spilling);
  EXPECT_GT(store.BytesInMemory(), 0u);
  std::string back;
  for (std::size_t index = 0; index < texts.size(); ++index) {
    ASSERT_TRUE(store.Read(kept[index], back));
    ASSERT_EQ(back, texts[index]) << "text " << index;
  }
}

}  // namespace
}  // namespace quillon
