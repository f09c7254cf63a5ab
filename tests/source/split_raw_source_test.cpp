#include "source/split_raw_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/data_source.h"
#include "source/image_tools.h"
#include "source/linux_file_backend.h"
#include "source/source_test_files.h"
#include "support/paths.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// Cuts `bytes` into pieces named by `names`, each `pieceSize` long but the last.
void WritePieces(const fs::path& folder, const std::vector<std::string>& names,
                 const std::vector<std::uint8_t>& bytes, std::size_t pieceSize) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t start = std::min(i * pieceSize, bytes.size());
    const std::size_t end =
        i + 1 == names.size() ? bytes.size() : std::min(start + pieceSize, bytes.size());
    test::WriteImageFile(folder / names[i], {bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                             bytes.begin() + static_cast<std::ptrdiff_t>(end)});
  }
}

const PieceOpener kOpenFile = [](const std::string& path) { return OpenLinuxFile(path); };

struct JoinRow {
  std::string label;
  std::vector<std::string> names;  // the first is the one opened
  std::size_t pieceSize;
  std::size_t totalBytes;
};

class SplitRawJoinTest : public testing::TestWithParam<JoinRow> {};

TEST_P(SplitRawJoinTest, ReadsThePiecesAsOneImage) {
  const JoinRow& row = GetParam();
  test::TemporaryDirectory directory;
  const std::vector<std::uint8_t> bytes = test::RandomBytes(row.totalBytes, row.totalBytes);
  WritePieces(directory.path(), row.names, bytes, row.pieceSize);

  DataSource source;
  ASSERT_TRUE(source.Open((directory.path() / row.names[0]).string())) << source.LastError();
  EXPECT_EQ(source.SizeBytes(), bytes.size());
  EXPECT_EQ(source.Facts().container, SourceContainer::SplitRaw);
  EXPECT_EQ(source.Facts().files, row.names.size());

  // Reads that start inside one piece and end in the next, in odd sizes.
  std::vector<std::uint8_t> read(bytes.size());
  for (std::uint64_t sector = 0; sector < source.TotalSectors(); sector += 7) {
    const std::uint64_t count = std::min<std::uint64_t>(7, source.TotalSectors() - sector);
    std::vector<std::uint8_t> buffer(count * kSectorSize, 0);
    ASSERT_TRUE(
        source.ReadSectors(buffer.data(), static_cast<std::uint32_t>(buffer.size()), sector));
    const std::size_t at = static_cast<std::size_t>(sector * kSectorSize);
    std::copy_n(buffer.begin(), std::min(buffer.size(), bytes.size() - at), read.begin() + at);
  }
  EXPECT_TRUE(read == bytes);
  std::vector<std::uint8_t> across(1000);
  ASSERT_TRUE(source.ReadBytes(row.pieceSize - 500, across.size(), across.data()));
  EXPECT_TRUE(std::equal(across.begin(), across.end(), bytes.begin() + row.pieceSize - 500));
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SplitRawJoinTest,
    testing::Values(
        JoinRow{"NumberedFromOne", {"disk.001", "disk.002", "disk.003", "disk.004"}, 5120, 18000},
        JoinRow{"NumberedFromZero", {"disk.img.000", "disk.img.001"}, 4096, 6000},
        JoinRow{"Lettered", {"diskaa", "diskab", "diskac"}, 3000, 8100},
        // Pieces of a size that cuts sectors in two.
        JoinRow{"OddPieceSize", {"x.aa", "x.ab", "x.ac"}, 1000, 2600},
        JoinRow{"LastPieceFull", {"disk.01", "disk.02"}, 2048, 4096}),
    test::RowLabel());

struct RefusalRow {
  std::string label;
  std::vector<std::string> names;  // written, the first one opened
  std::vector<std::size_t> sizes;
  std::string expected;  // the error; empty when the name is no piece (opened plain)
};

class SplitRawRefusalTest : public testing::TestWithParam<RefusalRow> {};

TEST_P(SplitRawRefusalTest, SaysWhichPieceIsWrong) {
  const RefusalRow& row = GetParam();
  test::TemporaryDirectory directory;
  for (std::size_t i = 0; i < row.names.size(); ++i)
    test::WriteImageFile(directory.path() / row.names[i], test::RandomBytes(row.sizes[i], i));

  const std::optional<BackendOpening> opening =
      OpenSplitRawImage(directory.path() / row.names[0], kOpenFile);
  if (row.expected.empty()) {
    EXPECT_FALSE(opening.has_value());
    return;
  }
  ASSERT_TRUE(opening.has_value());
  EXPECT_EQ(opening->backend, nullptr);
  EXPECT_EQ(opening->error, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SplitRawRefusalTest,
    testing::Values(
        RefusalRow{"MissingMiddlePiece",
                   {"disk.001", "disk.002", "disk.004"},
                   {512, 512, 100},
                   "piece disk.003 of the split image is missing (disk.004 comes after it)"},
        RefusalRow{"MissingLetteredPiece",
                   {"xaa", "xac"},
                   {512, 512},
                   "piece xab of the split image is missing (xac comes after it)"},
        RefusalRow{"GapAfterTwo",
                   {"xaa", "xab", "xad"},
                   {512, 512, 1},
                   "piece xac of the split image is missing (xad comes after it)"},
        RefusalRow{"ShortMiddlePiece",
                   {"disk.001", "disk.002", "disk.003"},
                   {4096, 1000, 4096},
                   "piece disk.002 of the split image has 1000 bytes where disk.001 has 4096: "
                   "it is cut short"},
        RefusalRow{"ShortFirstPiece",
                   {"disk.001", "disk.002"},
                   {1000, 4096},
                   "the last piece disk.002 of the split image has 4096 bytes, more than the "
                   "1000 of disk.001: disk.001 may be cut short"},
        RefusalRow{"LaterPieceNamed",
                   {"disk.002", "disk.001", "disk.003"},
                   {512, 512, 512},
                   "disk.002 is piece 2 of a split image: open its first piece disk.001"},
        RefusalRow{"SecondOfZeroBasedSet",
                   {"disk.001", "disk.000"},
                   {512, 512},
                   "disk.001 is piece 2 of a split image: open its first piece disk.000"},
        RefusalRow{"LoneNumberedFile", {"disk.001"}, {512}, ""},
        RefusalRow{"NameThatOnlyLooksLikeAPiece", {"disk.img", "disk.iso"}, {512, 512}, ""},
        RefusalRow{"NoSuffix", {"disk", "disk2"}, {512, 512}, ""}),
    test::RowLabel());

TEST(SplitRawSourceTest, PieceThatCannotBeOpenedIsNamed) {
  test::TemporaryDirectory directory;
  for (const char* name : {"disk.001", "disk.002"})
    test::WriteImageFile(directory.path() / name, test::RandomBytes(512, 1));
  const PieceOpener refuseSecond = [](const std::string& path) {
    if (path.ends_with("002")) return BackendOpening{nullptr, "Permission denied"};
    return OpenLinuxFile(path);
  };
  const std::optional<BackendOpening> opening =
      OpenSplitRawImage(directory.path() / "disk.001", refuseSecond);
  ASSERT_TRUE(opening.has_value());
  EXPECT_EQ(opening->error, "piece disk.002: Permission denied");
}

}  // namespace
}  // namespace quillon
