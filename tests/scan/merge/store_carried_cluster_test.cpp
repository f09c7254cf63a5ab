// What a cluster must open with to hold the rest of a store block that runs into it, and the
// search for the one cluster that does among others of plain text, zeros, claimed ones and
// stretches the source cannot hand over.
#include "scan/merge/store_carried_cluster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

struct OpeningRow {
  const char* name;
  std::string before;   // the chain's text in front of the cluster
  std::string opening;  // the cluster's first bytes
  std::size_t carried;
  std::size_t padding;
  bool continues;
  std::uint32_t slotBehind = 0;
};

class CarriedOpening : public ::testing::TestWithParam<OpeningRow> {};

TEST_P(CarriedOpening, TellsWhetherTheClusterGoesOnAsTheBlock) {
  const OpeningRow& row = GetParam();
  const std::vector<std::uint8_t> bytes = Bytes(row.opening);
  EXPECT_EQ(ContinuesCarriedText(bytes, {row.before, row.carried, row.padding, row.slotBehind}),
            row.continues);
}

const std::string kPad(6, '\0');
// The header of a block at store offset 0x1234: 0x200 data bytes, 16 used, last of its chain.
const std::string kHeaderAt1234("\x34\x12\0\0\0\x02\0\0\x10\0\0\0\0\0\0\0", 16);

INSTANTIATE_TEST_SUITE_P(
    StoreCarriedCluster, CarriedOpening,
    ::testing::Values(
        OpeningRow{"CrLfTextThenZeros", "Subject: hi\r\n", "To: a@b.c\r\n" + kPad, 11, 6, true},
        OpeningRow{"LineFeedOfALineEndCutByTheCluster", "Subject: hi\r", "\nTo: a@b\r\n" + kPad, 10,
                   6, true},
        OpeningRow{"BareLineFeedInCrLfText", "Subject: hi\r\n", "To: a@b.c\n\r\n" + kPad, 12, 6,
                   false},
        OpeningRow{"CrLfInLineFeedText", "Subject: hi\n", "To: a@b.c\r\n" + kPad, 11, 6, false},
        OpeningRow{"LineFeedAloneGoesOnLineFeedText", "Subject: hi\n", "To: a@b.c\n" + kPad, 10, 6,
                   true},
        OpeningRow{"LineEndsUntoldTakeEither", "Subject: a long first", " line\n" + kPad, 6, 6,
                   true},
        OpeningRow{"ZeroInsideTheText", "Subject: hi\r\n", std::string("To: a\0b.c\r\n", 11) + kPad,
                   11, 6, false},
        OpeningRow{"ControlByteInsideTheText", "Subject: hi\r\n",
                   "To: a\x01"
                   "b.c\r\n" +
                       kPad,
                   11, 6, false},
        OpeningRow{"EscapeOfSevenBitJapanese", "Subject: hi\r\n", "\x1b$B$3\x1b(B\r\n" + kPad, 10,
                   6, true},
        OpeningRow{"OtherBytesWherePaddingBelongs", "Subject: hi\r\n", "To: a@b.c\r\nmore..", 11, 6,
                   false},
        OpeningRow{"FewerBytesThanNeeded", "Subject: hi\r\n", "To: a@b.c\r\n", 11, 6, false},
        OpeningRow{"NothingCarried", "Subject: hi\r\n", kPad, 0, 6, false},
        OpeningRow{"FullBlockBeforeAFreeSlot", "a\r\n", "b\r\n" + std::string(16, '\0'), 3, 0, true,
                   0x1234},
        OpeningRow{"FullBlockBeforeTheBlockOfThatSlot", "a\r\n", "b\r\n" + kHeaderAt1234, 3, 0,
                   true, 0x1234},
        OpeningRow{"FullBlockBeforeABlockOfAnotherSlot", "a\r\n", "b\r\n" + kHeaderAt1234, 3, 0,
                   false, 0x1238},
        OpeningRow{"FullBlockBeforeText", "a\r\n", "b\r\nmore text goes on", 3, 0, false, 0x1234}),
    RowName{});

constexpr std::uint64_t kStep = 4096;

// A source of `clusters` clusters of CR LF text lines with no zeros in them.
std::string TextClusters(std::size_t clusters) {
  std::string bytes;
  while (bytes.size() < clusters * kStep) bytes += "plain words of another file\r\n";
  bytes.resize(clusters * kStep);
  return bytes;
}

void PutOpening(std::string& source, std::size_t cluster, const std::string& opening) {
  source.replace(cluster * kStep, opening.size(), opening);
}

struct SearchRow {
  const char* name;
  std::vector<std::size_t> holders;  // clusters that open as the block goes on
  std::vector<std::size_t> claimed;  // clusters a chain holds already
  std::size_t unreadable;            // a cluster the source cannot hand over (SIZE_MAX: none)
  std::size_t most;
  std::vector<std::size_t> found;
};

class CarriedSearchTest : public ::testing::TestWithParam<SearchRow> {};

TEST_P(CarriedSearchTest, FindsTheUnclaimedHoldersInOrder) {
  const SearchRow& row = GetParam();
  constexpr std::size_t kClusters = 600;  // more than one read of the search
  std::string source = TextClusters(kClusters);
  const std::string rest = "body line goes on\r\n";
  const std::string opening = rest + std::string(200, '\0');
  for (const std::size_t cluster : row.holders) PutOpening(source, cluster, opening);
  const SourceBytesReader read = [&](std::uint64_t at, std::size_t count, std::uint8_t* out) {
    if (at + count > source.size()) return false;
    if (row.unreadable != SIZE_MAX && at < (row.unreadable + 1) * kStep &&
        at + count > row.unreadable * kStep)
      return false;
    std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(at), count, out);
    return true;
  };
  CarriedSearch search{0, kClusters * kStep, kStep, [&](std::uint64_t at) {
                         return std::find(row.claimed.begin(), row.claimed.end(), at / kStep) !=
                                row.claimed.end();
                       }};
  const std::vector<std::uint64_t> found =
      FindCarriedClusters(read, {"the body's line\r\n", rest.size(), 200}, search, row.most);
  std::vector<std::size_t> clusters;
  for (const std::uint64_t at : found) clusters.push_back(static_cast<std::size_t>(at / kStep));
  EXPECT_EQ(clusters, row.found);
}

INSTANTIATE_TEST_SUITE_P(
    StoreCarriedCluster, CarriedSearchTest,
    ::testing::Values(SearchRow{"OneHolder", {417}, {}, SIZE_MAX, 2, {417}},
                      SearchRow{"NoneAmongPlainText", {}, {}, SIZE_MAX, 2, {}},
                      SearchRow{"TwoHoldersAreUnsure", {3, 590}, {}, SIZE_MAX, 2, {3, 590}},
                      SearchRow{"ClaimedHolderSkipped", {3, 590}, {3}, SIZE_MAX, 2, {590}},
                      SearchRow{"UnreadableStretchLeavesTheRest", {300, 301}, {}, 300, 2, {301}},
                      SearchRow{"LastClusterOfTheSource", {599}, {}, SIZE_MAX, 2, {599}},
                      SearchRow{"StopsAtMost", {1, 2, 3}, {}, SIZE_MAX, 2, {1, 2}}),
    RowName{});

}  // namespace
}  // namespace quillon
