// E01, VMDK and VHD images made at test time by the system's imaging tools from one raw image,
// opened by name and read back: every byte must be the raw image's, at the same sector.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "scan/read/source_digest.h"
#include "source/data_source.h"
#include "source/image_tools.h"
#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kImageBytes = 3 * 1024 * 1024 + 40 * 512;
constexpr std::uint64_t kChunkSectors = 64;  // ewfacquire's default chunk

class ContainerSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    raw_ = test::RandomBytes(kImageBytes, 17);
    rawPath_ = directory_.path() / "disk.raw";
    test::WriteImageFile(rawPath_, raw_);
  }

  fs::path Folder(const std::string& name) {
    const fs::path folder = directory_.path() / name;
    fs::create_directories(folder);
    return folder;
  }

  // An E01 of the raw image in segments of 1 MiB (the smallest ewfacquire makes), chunks
  // stored as they are so that a test can find and spoil one.
  fs::path MakeEwf(const fs::path& folder) {
    EXPECT_TRUE(test::RunTool("ewfacquire -u -q -c none -b 64 -S 1MiB -t " +
                              test::Quoted(folder / "disk") + " " + test::Quoted(rawPath_)));
    return folder / "disk.E01";
  }

  fs::path MakeQemu(const std::string& format, const std::string& options, const fs::path& out) {
    EXPECT_TRUE(test::RunTool("qemu-img convert -f raw -O " + format +
                              (options.empty() ? "" : " -o " + options) + " " +
                              test::Quoted(rawPath_) + " " + test::Quoted(out)));
    return out;
  }

  // Opens `path` and reads every sector, 37 at a time (reads that cut chunks and segments at
  // odd places); the bytes must be the raw image's.
  void ExpectSameBytes(const fs::path& path, SourceContainer container) {
    DataSource source;
    ASSERT_TRUE(source.Open(path.string())) << source.LastError();
    EXPECT_EQ(source.Facts().container, container);
    ASSERT_EQ(source.SizeBytes(), raw_.size());
    std::vector<std::uint8_t> buffer(37 * kSectorSize);
    for (std::uint64_t sector = 0; sector < source.TotalSectors(); sector += 37) {
      const std::uint64_t count = std::min<std::uint64_t>(37, source.TotalSectors() - sector);
      const auto bytes = static_cast<std::uint32_t>(count * kSectorSize);
      ASSERT_TRUE(source.ReadSectors(buffer.data(), bytes, sector)) << source.LastError();
      ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + bytes,
                             raw_.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize)))
          << "sector " << sector;
    }
  }

  std::string OpenError(const fs::path& path) {
    DataSource source;
    if (source.Open(path.string())) return "(opened)";
    return source.LastError();
  }

  test::TemporaryDirectory directory_;
  std::vector<std::uint8_t> raw_;
  fs::path rawPath_;
};

class EwfSourceTest : public ContainerSourceTest {
 protected:
  void SetUp() override {
    if (!test::HaveTool("ewfacquire")) GTEST_SKIP() << test::ToolMissing("ewfacquire", "ewf-tools");
    ContainerSourceTest::SetUp();
  }
};

TEST_F(EwfSourceTest, ReadsTheMediaOfEverySegmentAsTheRawImage) {
  const fs::path first = MakeEwf(Folder("e01"));
  ExpectSameBytes(first, SourceContainer::Ewf);
  DataSource source;
  ASSERT_TRUE(source.Open(first.string()));
  EXPECT_EQ(source.Facts().files, 4u);
  EXPECT_EQ(SourceContainerLabel(source.Facts()), "E01, 4 segments");
}

TEST_F(EwfSourceTest, AnyOfItsSegmentsOpensTheWholeImage) {
  const fs::path folder = Folder("e01");
  MakeEwf(folder);
  ExpectSameBytes(folder / "disk.E03", SourceContainer::Ewf);
}

TEST_F(EwfSourceTest, CarriesTheHashesStoredAtAcquisition) {
  const fs::path first = MakeEwf(Folder("e01"));
  SourceDigest digest({DigestAlgorithm::Md5});
  digest.Add(raw_.data(), raw_.size());
  DataSource source;
  ASSERT_TRUE(source.Open(first.string()));
  const std::vector<StoredHash> expected = {{"md5", digest.Finish()[0].hex}};
  EXPECT_EQ(source.Facts().storedHashes, expected);
}

TEST_F(EwfSourceTest, ImageNamedLikeAnE01ButRawReadsRaw) {
  const fs::path fake = directory_.path() / "disk.E01";
  test::WriteImageFile(fake, raw_);
  ExpectSameBytes(fake, SourceContainer::None);
}

// Flips one byte of the stored chunk that holds media sector `sector`; false when the sector's
// bytes were not found in any segment.
bool SpoilChunkOf(const fs::path& folder, const std::vector<std::uint8_t>& raw,
                  std::uint64_t sector) {
  const auto wanted = raw.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize);
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::vector<std::uint8_t> segment = test::ReadAll(entry.path());
    const auto found = std::search(segment.begin(), segment.end(), wanted, wanted + kSectorSize);
    if (found == segment.end()) continue;
    found[100] ^= 0xFF;
    test::WriteImageFile(entry.path(), segment);
    return true;
  }
  return false;
}

TEST_F(EwfSourceTest, ChunkWithABadChecksumFailsToReadJustItsSectors) {
  const fs::path folder = Folder("e01");
  const fs::path first = MakeEwf(folder);
  const std::uint64_t chunkStart = 40 * kChunkSectors;  // in the second segment
  ASSERT_TRUE(SpoilChunkOf(folder, raw_, chunkStart + 5));

  DataSource source;
  ASSERT_TRUE(source.Open(first.string())) << source.LastError();
  std::vector<std::uint8_t> sector(kSectorSize);
  for (std::uint64_t at = chunkStart - 2; at < chunkStart + kChunkSectors + 2; ++at) {
    const bool inside = at >= chunkStart && at < chunkStart + kChunkSectors;
    EXPECT_EQ(source.ReadSectors(sector.data(), kSectorSize, at), !inside) << "sector " << at;
    if (!inside) {
      EXPECT_TRUE(std::equal(sector.begin(), sector.end(),
                             raw_.begin() + static_cast<std::ptrdiff_t>(at * kSectorSize)))
          << "sector " << at;
    }
  }
  // A read running into the chunk fails at its first sector, as a read from a bad disk does.
  std::vector<std::uint8_t> run(16 * kSectorSize);
  EXPECT_FALSE(
      source.ReadSectors(run.data(), static_cast<std::uint32_t>(run.size()), chunkStart - 10));
  EXPECT_EQ(source.LastError(), "read failed at sector " + std::to_string(chunkStart));
}

TEST_F(EwfSourceTest, MissingSegmentIsNamed) {
  const fs::path folder = Folder("e01");
  const fs::path first = MakeEwf(folder);
  fs::remove(folder / "disk.E02");
  EXPECT_EQ(OpenError(first),
            "segment disk.E02 is missing (disk.E01 says another segment follows)");
}

TEST_F(EwfSourceTest, MissingLastSegmentIsNamed) {
  const fs::path folder = Folder("e01");
  const fs::path first = MakeEwf(folder);
  fs::remove(folder / "disk.E04");
  EXPECT_EQ(OpenError(first),
            "segment disk.E04 is missing (disk.E03 says another segment follows)");
}

TEST_F(EwfSourceTest, TruncatedSegmentIsNamed) {
  const fs::path folder = Folder("e01");
  const fs::path first = MakeEwf(folder);
  fs::resize_file(folder / "disk.E03", 300000);
  EXPECT_TRUE(OpenError(first).starts_with("segment disk.E03 is truncated: it has 300000 bytes"))
      << OpenError(first);
}

TEST_F(EwfSourceTest, FirstSegmentCutToItsHeaderIsNamed) {
  const fs::path folder = Folder("e01");
  const fs::path first = MakeEwf(folder);
  fs::resize_file(first, 100);
  EXPECT_TRUE(OpenError(first).starts_with("segment disk.E01 is truncated")) << OpenError(first);
}

class VirtualDiskSourceTest : public ContainerSourceTest {
 protected:
  void SetUp() override {
    if (!test::HaveTool("qemu-img")) GTEST_SKIP() << test::ToolMissing("qemu-img", "qemu-utils");
    ContainerSourceTest::SetUp();
  }
};

struct VirtualDiskRow {
  std::string label;
  std::string format;   // qemu-img's
  std::string options;  // its -o
  std::string fileName;
  SourceContainer container;
};

class VirtualDiskFormatTest : public VirtualDiskSourceTest,
                              public testing::WithParamInterface<VirtualDiskRow> {};

TEST_P(VirtualDiskFormatTest, ReadsTheDiskItHoldsAsTheRawImage) {
  const VirtualDiskRow& row = GetParam();
  const fs::path disk = MakeQemu(row.format, row.options, directory_.path() / row.fileName);
  ExpectSameBytes(disk, row.container);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, VirtualDiskFormatTest,
    testing::Values(VirtualDiskRow{"VmdkSparse", "vmdk", "", "disk.vmdk", SourceContainer::Vmdk},
                    VirtualDiskRow{"VmdkFlat", "vmdk", "subformat=monolithicFlat", "disk.vmdk",
                                   SourceContainer::Vmdk},
                    VirtualDiskRow{"VmdkSplitSparse", "vmdk", "subformat=twoGbMaxExtentSparse",
                                   "disk.vmdk", SourceContainer::Vmdk},
                    VirtualDiskRow{"VmdkStreamOptimized", "vmdk", "subformat=streamOptimized",
                                   "disk.vmdk", SourceContainer::Vmdk},
                    VirtualDiskRow{"VhdDynamic", "vpc", "force_size=on", "disk.vhd",
                                   SourceContainer::Vhd},
                    VirtualDiskRow{"VhdFixed", "vpc", "subformat=fixed,force_size=on", "disk.vhd",
                                   SourceContainer::Vhd},
                    VirtualDiskRow{"Vhdx", "vhdx", "", "disk.vhdx", SourceContainer::Vhdx},
                    // The signature decides, not the name.
                    VirtualDiskRow{"VmdkNamedImg", "vmdk", "", "disk.img", SourceContainer::Vmdk}),
    test::RowLabel());

TEST_F(VirtualDiskSourceTest, MissingExtentIsNamed) {
  const fs::path folder = Folder("vmdk");
  const fs::path descriptor = MakeQemu("vmdk", "subformat=monolithicFlat", folder / "disk.vmdk");
  fs::remove(folder / "disk-flat.vmdk");
  EXPECT_EQ(OpenError(descriptor),
            "its descriptor names the extent \"disk-flat.vmdk\", which is "
            "missing (no file " +
                (folder / "disk-flat.vmdk").string() + ")");
}

TEST_F(VirtualDiskSourceTest, VmdkHoldingOnlyChangesIsRefused) {
  const fs::path folder = Folder("vmdk");
  MakeQemu("vmdk", "", folder / "base.vmdk");
  ASSERT_TRUE(test::RunTool("qemu-img create -f vmdk -F vmdk -b base.vmdk " +
                            test::Quoted(folder / "delta.vmdk")));
  EXPECT_TRUE(OpenError(folder / "delta.vmdk")
                  .starts_with("the VMDK holds only the changes made to its parent disk"))
      << OpenError(folder / "delta.vmdk");
}

}  // namespace
}  // namespace quillon
