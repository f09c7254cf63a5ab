// The first copies a duplicate marker keeps: each listed under the hash of its values per key, in
// the order kept, found again after the tables grew, and the two keys apart. Hashes only say
// where to look, but values that differ should rarely share one.
#include "scan/merge/first_copies.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

// The numbers listed under `hash` for `key`, in their order.
std::vector<std::uint32_t> Listed(const FirstCopies& copies, CopyKey key, std::uint64_t hash) {
  std::vector<std::uint32_t> numbers;
  for (std::uint32_t number = copies.FirstUnder(key, hash); number != FirstCopies::kNone;
       number = copies.At(number).next[static_cast<std::size_t>(key)]) {
    numbers.push_back(number);
    if (numbers.size() > copies.Count()) break;  // a loop: never more than were kept
  }
  return numbers;
}

struct Kept {
  std::uint64_t idHash;      // 0: not listed under a Message-ID
  std::uint64_t valuesHash;  // 0: not listed under values
};

struct ListRow {
  const char* name;
  std::vector<Kept> kept;
  // Per looked-up hash, the numbers expected under it.
  struct Lookup {
    CopyKey key;
    std::uint64_t hash;
    std::vector<std::uint32_t> numbers;
  };
  std::vector<Lookup> lookups;
};

void PrintTo(const ListRow& row, std::ostream* out) {
  *out << row.name;
}

class FirstCopiesListTest : public testing::TestWithParam<ListRow> {};

TEST_P(FirstCopiesListTest, ListsUnderEachHashInOrder) {
  const ListRow& row = GetParam();
  FirstCopies copies;
  for (std::size_t i = 0; i < row.kept.size(); ++i) {
    FirstCopy copy;
    copy.index = static_cast<std::uint32_t>(10 * i);
    copy.keys[0] = row.kept[i].idHash;
    copy.keys[1] = row.kept[i].valuesHash;
    const std::uint32_t number = copies.Keep(copy);
    ASSERT_EQ(number, i);
    if (row.kept[i].idHash != 0) copies.List(number, CopyKey::kMessageId);
    if (row.kept[i].valuesHash != 0) copies.List(number, CopyKey::kValues);
  }
  for (const ListRow::Lookup& lookup : row.lookups) {
    EXPECT_EQ(Listed(copies, lookup.key, lookup.hash), lookup.numbers)
        << "hash " << lookup.hash << " key " << static_cast<int>(lookup.key);
  }
  for (std::uint32_t i = 0; i < copies.Count(); ++i) EXPECT_EQ(copies.At(i).index, 10 * i);
}

constexpr CopyKey kId = CopyKey::kMessageId;
constexpr CopyKey kValues = CopyKey::kValues;

INSTANTIATE_TEST_SUITE_P(
    Rows, FirstCopiesListTest,
    testing::Values(
        ListRow{"NothingKept", {}, {{kId, 5, {}}, {kValues, 5, {}}}},
        ListRow{"OneUnderEachKey", {{7, 9}}, {{kId, 7, {0}}, {kValues, 9, {0}}, {kId, 9, {}}}},
        ListRow{"SameHashInTheOrderKept",
                {{7, 1}, {8, 2}, {7, 3}, {7, 2}},
                {{kId, 7, {0, 2, 3}}, {kId, 8, {1}}, {kValues, 2, {1, 3}}, {kValues, 3, {2}}}},
        // Kept but not listed under a Message-ID (a mail read without one).
        ListRow{"ListedUnderValuesOnly",
                {{0, 4}, {6, 4}},
                {{kId, 6, {1}}, {kValues, 4, {0, 1}}, {kId, 0, {}}}},
        // Hashes that differ only in bits a small table would not look at.
        ListRow{"HashesAlikeInTheirLowBits",
                {{1, 1}, {1 + (1ULL << 40), 1 + (1ULL << 40)}, {1 + (1ULL << 63), 1}},
                {{kId, 1, {0}},
                 {kId, 1 + (1ULL << 40), {1}},
                 {kId, 1 + (1ULL << 63), {2}},
                 {kValues, 1, {0, 2}}}},
        // Hashes whose halves fold to the same 32 bits: the slots tell them apart by the whole
        // hash, whichever was listed first.
        ListRow{"HashesAlikeWhenFolded",
                {{1, 1}, {1 ^ 0x0000001000000010ULL, 1 ^ 0xFFFFFFFF'FFFFFFFFULL}, {1, 0}},
                {{kId, 1, {0, 2}},
                 {kId, 1 ^ 0x0000001000000010ULL, {1}},
                 {kValues, 1, {0}},
                 {kValues, 1 ^ 0xFFFFFFFF'FFFFFFFFULL, {1}},
                 {kId, 1 ^ 0x0000002000000020ULL, {}}}}),
    [](const testing::TestParamInfo<ListRow>& row) { return std::string(row.param.name); });

// Past the first table's size every copy is found again after each growth, by hashes that
// crowd (consecutive numbers) or scatter.
TEST(FirstCopiesTest, FindsEveryCopyAfterTheTablesGrew) {
  FirstCopies copies;
  constexpr std::uint32_t kCount = 20000;
  for (std::uint32_t i = 0; i < kCount; ++i) {
    FirstCopy copy;
    copy.index = i;
    copy.keys[0] = i + 1;
    copy.keys[1] = (i + 1) * 0x9e3779b97f4a7c15ULL;
    copies.List(copies.Keep(copy), kId);
    copies.List(i, kValues);
  }
  for (std::uint32_t i = 0; i < kCount; ++i) {
    ASSERT_EQ(Listed(copies, kId, i + 1), std::vector<std::uint32_t>{i}) << i;
    ASSERT_EQ(Listed(copies, kValues, (i + 1) * 0x9e3779b97f4a7c15ULL),
              std::vector<std::uint32_t>{i})
        << i;
  }
  EXPECT_EQ(copies.FirstUnder(kId, kCount + 1), FirstCopies::kNone);
}

struct KeyRow {
  const char* name;
  std::vector<std::string_view> one;
  std::vector<std::string_view> other;
};

void PrintTo(const KeyRow& row, std::ostream* out) {
  *out << row.name;
}

class KeyOfTest : public testing::TestWithParam<KeyRow> {};

std::uint64_t KeyOfList(const std::vector<std::string_view>& values) {
  switch (values.size()) {
    case 1:
      return KeyOf({values[0]});
    case 2:
      return KeyOf({values[0], values[1]});
    default:
      return KeyOf({values[0], values[1], values[2], values[3]});
  }
}

TEST_P(KeyOfTest, DifferentValuesGetDifferentKeys) {
  EXPECT_NE(KeyOfList(GetParam().one), KeyOfList(GetParam().other));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyOfTest,
    testing::Values(KeyRow{"BoundaryMoved", {"ab", "c"}, {"a", "bc"}},
                    KeyRow{"EmptyFirstOrLast", {"", "x"}, {"x", ""}},
                    KeyRow{"SeparatorInAValue", {"a\nb", "c"}, {"a", "b\nc"}},
                    KeyRow{"SwappedValues", {"a@x", "b@y", "d", "s"}, {"b@y", "a@x", "d", "s"}},
                    KeyRow{"OneCharacter", {"<1@x>"}, {"<2@x>"}},
                    KeyRow{"AllEmptyAgainstOneSpace", {"", "", "", ""}, {"", "", "", " "}}),
    [](const testing::TestParamInfo<KeyRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
