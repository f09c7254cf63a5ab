#include "source/data_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "source/linux_file_backend.h"
#include "source/memory_source.h"
#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kUntouched = 0xEE;

// The open flags of this process's descriptor for `path`, as the kernel reports them.
std::optional<unsigned long> OpenFlagsOf(const fs::path& path) {
  const fs::path target = fs::canonical(path);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error) != target || error) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    while (info >> key) {
      if (key != "flags:") continue;
      unsigned long flags = 0;
      info >> std::oct >> flags;
      return flags;
    }
  }
  return std::nullopt;
}

class DataSourceFileTest : public testing::Test {
 protected:
  fs::path WriteImage(const std::string& fileName, std::size_t size) {
    const fs::path path = directory_.path() / fileName;
    test::WriteImageFile(path, test::PatternBytes(size));
    return path;
  }

  test::TemporaryDirectory directory_;
};

TEST_F(DataSourceFileTest, OpensImageByPathAndReadsItsSectors) {
  const fs::path path = WriteImage("disk.img", 4 * kSectorSize);
  DataSource source;
  ASSERT_TRUE(source.Open(path.string())) << source.LastError();
  EXPECT_TRUE(source.IsOpen());
  EXPECT_EQ(source.SourceName(), path.string());
  EXPECT_EQ(source.SizeBytes(), 4 * kSectorSize);
  EXPECT_EQ(source.TotalSectors(), 4u);
  EXPECT_TRUE(source.LastError().empty());

  std::vector<std::uint8_t> buffer(2 * kSectorSize);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), 2 * kSectorSize, 1));
  for (std::size_t i = 0; i < buffer.size(); ++i)
    ASSERT_EQ(buffer[i], test::PatternByte(kSectorSize + i)) << "byte " << i;
}

TEST_F(DataSourceFileTest, ReadOnlyImageOpensOnAReadOnlyDescriptor) {
  const fs::path path = WriteImage("locked.img", 2 * kSectorSize);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  DataSource source;
  ASSERT_TRUE(source.Open(path.string())) << source.LastError();
  const std::optional<unsigned long> flags = OpenFlagsOf(path);
  ASSERT_TRUE(flags.has_value()) << "no descriptor of this process refers to " << path;
  EXPECT_EQ(*flags & O_ACCMODE, static_cast<unsigned long>(O_RDONLY));
  EXPECT_NE(*flags & O_CLOEXEC, 0u) << "the descriptor would leak into child processes";

  std::vector<std::uint8_t> buffer(kSectorSize);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), kSectorSize, 1));
  EXPECT_EQ(buffer[0], test::PatternByte(kSectorSize));

  source.Close();
  EXPECT_FALSE(OpenFlagsOf(path).has_value()) << "Close left the descriptor open";
}

TEST_F(DataSourceFileTest, UnreadableFileIsRefusedWithTheReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
  const fs::path path = WriteImage("secret.img", kSectorSize);
  fs::permissions(path, fs::perms::none);
  DataSource source;
  EXPECT_FALSE(source.Open(path.string()));
  EXPECT_EQ(source.LastError(), std::strerror(EACCES));
}

struct RefusedRow {
  const char* label;
  std::string name;
  std::string error;
};

class RefusedNameTest : public DataSourceFileTest,
                        public testing::WithParamInterface<RefusedRow> {};

TEST_P(RefusedNameTest, LeavesAnOpenSourceOpenButKeepsTheName) {
  const RefusedRow& row = GetParam();
  const fs::path path = WriteImage("open.img", 3 * kSectorSize);
  DataSource source;
  ASSERT_TRUE(source.Open(path.string()));

  EXPECT_FALSE(source.Open(row.name));
  EXPECT_EQ(source.LastError(), row.error);
  EXPECT_EQ(source.SourceName(), row.name);
  EXPECT_TRUE(source.IsOpen());
  EXPECT_EQ(source.TotalSectors(), 3u);
  std::vector<std::uint8_t> buffer(kSectorSize);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), kSectorSize, 2));
  EXPECT_EQ(buffer[5], test::PatternByte(2 * kSectorSize + 5));
}

TEST_P(RefusedNameTest, LeavesAClosedSourceClosed) {
  DataSource source;
  EXPECT_FALSE(source.Open(GetParam().name));
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.TotalSectors(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RefusedNameTest,
    testing::Values(RefusedRow{"Empty", "", "empty name refused"},
                    RefusedRow{"TwoLetters", "AB", "two-character name without ':' refused"},
                    RefusedRow{"BareHd", "hd", "two-character name without ':' refused"}),
    test::RowLabel());

struct FailedOpenRow {
  const char* label;
  std::string name;  // "@" stands for the test's temporary directory
  std::string error;
};

class FailedOpenTest : public DataSourceFileTest,
                       public testing::WithParamInterface<FailedOpenRow> {};

TEST_P(FailedOpenTest, ClosesThePreviousSourceAndSaysWhy) {
  const FailedOpenRow& row = GetParam();
  std::string name = row.name;
  if (const auto at = name.find('@'); at != std::string::npos)
    name.replace(at, 1, directory_.path().string());

  DataSource source;
  ASSERT_TRUE(source.Open(WriteImage("before.img", kSectorSize).string()));
  EXPECT_FALSE(source.Open(name));
  EXPECT_EQ(source.LastError(), row.error);
  EXPECT_EQ(source.SourceName(), name);
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.SizeBytes(), 0u);
  EXPECT_EQ(source.TotalSectors(), 0u);
  std::uint8_t buffer[kSectorSize];
  EXPECT_FALSE(source.ReadSectors(buffer, kSectorSize, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FailedOpenTest,
    testing::Values(FailedOpenRow{"MissingFile", "@/missing.img", std::strerror(ENOENT)},
                    FailedOpenRow{"Directory", "@", std::strerror(EISDIR)},
                    FailedOpenRow{"DirectoryWithSlash", "@/", std::strerror(EISDIR)},
                    FailedOpenRow{"RootDirectory", "/", std::strerror(EISDIR)},
                    FailedOpenRow{"MissingDevice", "quillon-no-such-device", std::strerror(ENOENT)},
                    FailedOpenRow{"DriveLetter", "C:", std::strerror(ENOENT)},
                    FailedOpenRow{"NoSuchDisk", "HD99", "no such disk"},
                    FailedOpenRow{"NoSuchDiskLowerCase", "hd98", "no such disk"},
                    FailedOpenRow{"EmbeddedNul", std::string("null\0x", 6), std::strerror(EINVAL)}),
    test::RowLabel());

TEST(DataSourceDeviceTest, ShortNameReachesTheDeviceUnderDev) {
  // /dev/null is a character device: found under /dev, and refused for having no size.
  DataSource source;
  EXPECT_FALSE(source.Open("null"));
  EXPECT_EQ(source.SourceName(), "null");
  EXPECT_EQ(source.LastError(), kSizeUnknownError);
  EXPECT_FALSE(source.IsOpen());
}

TEST(DataSourceDeviceTest, LowerCaseDiskNameOpensLikeUpperCaseAndIsStoredAsPassed) {
  DataSource upper;
  DataSource lower;
  const bool upperOpened = upper.Open("HD0");
  EXPECT_EQ(lower.Open("hd0"), upperOpened);
  EXPECT_EQ(lower.SourceName(), "hd0");
  EXPECT_EQ(lower.LastError(), upper.LastError());
  EXPECT_EQ(lower.SizeBytes(), upper.SizeBytes());
}

struct SizeRow {
  const char* label;
  std::size_t bytes;
  std::uint64_t sectors;
};

class TotalSectorsTest : public DataSourceFileTest, public testing::WithParamInterface<SizeRow> {};

TEST_P(TotalSectorsTest, CountsATrailingPartialSector) {
  const SizeRow& row = GetParam();
  DataSource source;
  ASSERT_TRUE(source.Open(WriteImage("sized.img", row.bytes).string()));
  EXPECT_EQ(source.SizeBytes(), row.bytes);
  EXPECT_EQ(source.TotalSectors(), row.sectors);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TotalSectorsTest,
                         testing::Values(SizeRow{"Empty", 0, 0}, SizeRow{"OneByte", 1, 1},
                                         SizeRow{"OneShortOfASector", 511, 1},
                                         SizeRow{"OneSector", 512, 1},
                                         SizeRow{"OneSectorAndAByte", 513, 2},
                                         SizeRow{"TwoSectors", 1024, 2},
                                         SizeRow{"MillionBytes", 1000000, 1954}),
                         test::RowLabel());

TEST_F(DataSourceFileTest, TailSectorDeliversItsBytesAndLeavesTheRestOfTheBuffer) {
  constexpr std::size_t kSize = 1000000;  // 1953 whole sectors and 64 bytes
  DataSource source;
  ASSERT_TRUE(source.Open(WriteImage("tail.img", kSize).string()));
  ASSERT_EQ(source.TotalSectors(), 1954u);

  std::vector<std::uint8_t> buffer(3 * kSectorSize, kUntouched);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), 3 * kSectorSize, 1952));
  const std::size_t delivered = kSize - 1952 * kSectorSize;
  ASSERT_EQ(delivered, kSectorSize + 64);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    const std::uint8_t expected =
        i < delivered ? test::PatternByte(1952 * kSectorSize + i) : kUntouched;
    ASSERT_EQ(buffer[i], expected) << "byte " << i;
  }
}

struct StartRow {
  const char* label;
  std::int64_t startFromTotal;  // the start sector, relative to TotalSectors()
  bool succeeds;
  std::size_t delivered;  // bytes of the 1024-byte buffer that change
};

class ReadStartTest : public DataSourceFileTest, public testing::WithParamInterface<StartRow> {};

TEST_P(ReadStartTest, ReadsUpToTheEndAndRefusesBeyond) {
  const StartRow& row = GetParam();
  constexpr std::uint64_t kSectors = 6;
  DataSource source;
  ASSERT_TRUE(source.Open(WriteImage("bounds.img", kSectors * kSectorSize).string()));
  const std::uint64_t start = kSectors + static_cast<std::uint64_t>(row.startFromTotal);

  std::vector<std::uint8_t> buffer(2 * kSectorSize, kUntouched);
  EXPECT_EQ(source.ReadSectors(buffer.data(), 2 * kSectorSize, start), row.succeeds);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    const std::uint8_t expected =
        i < row.delivered ? test::PatternByte(start * kSectorSize + i) : kUntouched;
    ASSERT_EQ(buffer[i], expected) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Starts, ReadStartTest,
                         testing::Values(StartRow{"TwoBeforeTheEnd", -2, true, 1024},
                                         StartRow{"LastSector", -1, true, 512},
                                         StartRow{"AtTheEnd", 0, true, 0},
                                         StartRow{"OnePastTheEnd", 1, false, 0},
                                         StartRow{"FarPastTheEnd", 1000, false, 0}),
                         test::RowLabel());

TEST_F(DataSourceFileTest, LargestStartSectorIsRefused) {
  DataSource source;
  ASSERT_TRUE(source.Open(WriteImage("small.img", kSectorSize).string()));
  std::uint8_t buffer[kSectorSize];
  EXPECT_FALSE(source.ReadSectors(buffer, kSectorSize, UINT64_MAX));
}

TEST_F(DataSourceFileTest, SparseImageBeyondTwoTebibytesIsAddressedIn64Bits) {
  constexpr std::uint64_t kSize = std::uint64_t{3} << 40;  // 3 TiB
  constexpr std::uint64_t kMarkedSector = (std::uint64_t{1} << 32) + 5;
  const fs::path path = directory_.path() / "huge.img";
  {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(descriptor, 0) << std::strerror(errno);
    if (::ftruncate(descriptor, static_cast<off_t>(kSize)) != 0) {
      const int error = errno;
      ::close(descriptor);
      GTEST_SKIP() << "this file system cannot hold a sparse 3 TiB file: " << std::strerror(error);
    }
    std::vector<std::uint8_t> marker(kSectorSize);
    for (std::size_t i = 0; i < marker.size(); ++i) marker[i] = test::PatternByte(i);
    ASSERT_EQ(::pwrite(descriptor, marker.data(), marker.size(),
                       static_cast<off_t>(kMarkedSector * kSectorSize)),
              static_cast<ssize_t>(marker.size()));
    ::close(descriptor);
  }

  DataSource source;
  ASSERT_TRUE(source.Open(path.string())) << source.LastError();
  EXPECT_EQ(source.SizeBytes(), kSize);
  EXPECT_EQ(source.TotalSectors(), kSize / kSectorSize);
  EXPECT_GT(source.TotalSectors(), std::uint64_t{1} << 32);

  // The marked sector and the one after it: a 32-bit offset would land on sector 5.
  std::vector<std::uint8_t> buffer(2 * kSectorSize, kUntouched);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), 2 * kSectorSize, kMarkedSector));
  for (std::size_t i = 0; i < kSectorSize; ++i)
    ASSERT_EQ(buffer[i], test::PatternByte(i)) << "byte " << i;
  for (std::size_t i = kSectorSize; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0) << "byte " << i;

  ASSERT_TRUE(source.ReadSectors(buffer.data(), kSectorSize, 5));
  EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + kSectorSize, 0), kSectorSize);
  EXPECT_TRUE(source.ReadSectors(buffer.data(), kSectorSize, source.TotalSectors() - 1));
  EXPECT_FALSE(source.ReadSectors(buffer.data(), kSectorSize, source.TotalSectors() + 1));
}

TEST_F(DataSourceFileTest, CloseResetsSizeAndKeepsTheName) {
  const fs::path path = WriteImage("closing.img", 2 * kSectorSize);
  DataSource source;
  ASSERT_TRUE(source.Open(path.string()));
  source.Close();
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.SizeBytes(), 0u);
  EXPECT_EQ(source.TotalSectors(), 0u);
  EXPECT_EQ(source.SourceName(), path.string());
  std::uint8_t buffer[kSectorSize];
  EXPECT_FALSE(source.ReadSectors(buffer, kSectorSize, 0));
  source.Close();  // closing twice is harmless
  EXPECT_FALSE(source.IsOpen());
}

TEST_F(DataSourceFileTest, MoveHandsTheOpenSourceOver) {
  const fs::path path = WriteImage("moved.img", 2 * kSectorSize);
  DataSource source;
  ASSERT_TRUE(source.Open(path.string()));
  DataSource moved(std::move(source));
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_EQ(moved.TotalSectors(), 2u);
  EXPECT_EQ(moved.SourceName(), path.string());
  std::uint8_t buffer[kSectorSize];
  ASSERT_TRUE(moved.ReadSectors(buffer, kSectorSize, 1));
  EXPECT_EQ(buffer[0], test::PatternByte(kSectorSize));

  DataSource assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(assigned.IsOpen());
  EXPECT_EQ(assigned.TotalSectors(), 2u);
}

TEST(DataSourceBackendTest, ReadFailsWhenItTouchesAFailingSector) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(8 * kSectorSize), {4}), "memory");
  ASSERT_TRUE(source.IsOpen());
  EXPECT_EQ(source.SourceName(), "memory");
  EXPECT_EQ(source.TotalSectors(), 8u);

  std::vector<std::uint8_t> buffer(4 * kSectorSize, kUntouched);
  EXPECT_TRUE(source.ReadSectors(buffer.data(), 4 * kSectorSize, 0));
  EXPECT_FALSE(source.ReadSectors(buffer.data(), 4 * kSectorSize, 1));
  EXPECT_FALSE(source.LastError().empty());
  EXPECT_FALSE(source.ReadSectors(buffer.data(), kSectorSize, 4));
  EXPECT_TRUE(source.ReadSectors(buffer.data(), 3 * kSectorSize, 5));
  EXPECT_EQ(buffer[0], test::PatternByte(5 * kSectorSize));
}

// Hands out at most a few bytes per call, as a pipe or a slow device may.
class TricklingBackend final : public SourceBackend {
 public:
  explicit TricklingBackend(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t SizeBytes() const override { return bytes_.size(); }
  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    ++calls;
    if (offset >= bytes_.size()) return 0;
    const std::size_t delivered = std::min<std::size_t>({count, 100, bytes_.size() - offset});
    std::memcpy(buffer, bytes_.data() + offset, delivered);
    return static_cast<std::int64_t>(delivered);
  }
  int calls = 0;

 private:
  std::vector<std::uint8_t> bytes_;
};

TEST(DataSourceBackendTest, ShortReadsAreRepeatedUntilTheCountOrTheEnd) {
  constexpr std::size_t kSize = 4 * kSectorSize + 30;
  auto backend = std::make_unique<TricklingBackend>(test::PatternBytes(kSize));
  TricklingBackend* trickle = backend.get();
  DataSource source;
  source.OpenBackend(std::move(backend), "trickle");
  ASSERT_EQ(source.TotalSectors(), 5u);

  std::vector<std::uint8_t> buffer(4 * kSectorSize, kUntouched);
  ASSERT_TRUE(source.ReadSectors(buffer.data(), 4 * kSectorSize, 1));
  const std::size_t delivered = kSize - kSectorSize;
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    const std::uint8_t expected = i < delivered ? test::PatternByte(kSectorSize + i) : kUntouched;
    ASSERT_EQ(buffer[i], expected) << "byte " << i;
  }
  EXPECT_GT(trickle->calls, 1);
}

TEST(DataSourceBackendTest, OpeningANewSourceReplacesTheBackend) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(test::PatternBytes(2 * kSectorSize)), "first");
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(kSectorSize, 9)), "second");
  EXPECT_EQ(source.SourceName(), "second");
  EXPECT_EQ(source.TotalSectors(), 1u);
  std::uint8_t buffer[kSectorSize];
  ASSERT_TRUE(source.ReadSectors(buffer, kSectorSize, 0));
  EXPECT_EQ(buffer[0], 9);

  source.OpenBackend(nullptr, "none");
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.TotalSectors(), 0u);
}

}  // namespace
}  // namespace quillon
