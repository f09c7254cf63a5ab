#include "text/charset_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>

namespace quillon {
namespace {

std::size_t RowOf(std::string_view name) {
  const auto& table = CharsetTable();
  const auto found = std::find_if(table.begin(), table.end(),
                                  [&](const CharsetEntry& entry) { return entry.name == name; });
  return static_cast<std::size_t>(found - table.begin());
}

TEST(CharsetTableTest, HoldsTheFixedNumberOfRows) {
  EXPECT_EQ(CharsetTable().size(), 119u);
}

TEST(CharsetTableTest, IsBuiltOnceAndStaysAtTheSameAddress) {
  EXPECT_EQ(&CharsetTable(), &CharsetTable());
  EXPECT_EQ(CharsetTable().data(), CharsetTable().data());
}

struct RowCase {
  std::size_t row;  // counted from 1
  std::string_view name;
  int codePage;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const RowCase& row, std::ostream* out) {
  *out << "row " << row.row;
}

class CharsetTableRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(CharsetTableRowTest, HasItsNameAndCodePage) {
  const RowCase& row = GetParam();
  ASSERT_LE(row.row, CharsetTable().size());
  const CharsetEntry& entry = CharsetTable()[row.row - 1];
  EXPECT_EQ(entry.name, row.name);
  EXPECT_EQ(entry.codePage, row.codePage);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CharsetTableRowTest,
    ::testing::Values(RowCase{1, "gb2312", 936}, RowCase{4, "hz-gb-2312", 52936},
                      RowCase{11, "utf-8", 65001}, RowCase{12, "us-ascii", 1252},
                      RowCase{17, "system", 0}, RowCase{22, "iso-8859-15", 28605},
                      RowCase{23, "iso-8859-1", 28591}, RowCase{50, "iso-8859-8-i", 38598},
                      RowCase{63, "x-ebcdic-germany-euro", 1141}, RowCase{88, "ebcdic-cp-us", 37},
                      RowCase{104, "johab", 1361}, RowCase{114, "unicodefffe", 1201},
                      RowCase{118, "macintosh", 10000}, RowCase{119, "windows-1252", 1252}),
    [](const auto& row) { return "Row" + std::to_string(row.param.row); });

TEST(CharsetTableTest, NamesAreUniqueLowerCaseAscii) {
  std::set<std::string_view> seen;
  for (const CharsetEntry& entry : CharsetTable()) {
    EXPECT_TRUE(seen.insert(entry.name).second) << "duplicate " << entry.name;
    EXPECT_FALSE(entry.name.empty());
    for (char c : entry.name) {
      EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
          << entry.name;
    }
  }
}

TEST(CharsetTableTest, LongerNamesStandBeforeTheirPrefixesWhereTheOrderPromisesIt) {
  EXPECT_LT(RowOf("iso-8859-15"), RowOf("iso-8859-1"));
  EXPECT_LT(RowOf("iso-8859-8-i"), RowOf("iso-8859-8"));
  EXPECT_LT(RowOf("x-ebcdic-greekmodern"), RowOf("x-ebcdic-greek"));
}

TEST(CharsetTableTest, EachEuroEbcdicTwinStandsAfterItsShorterName) {
  for (std::string_view base :
       {"x-ebcdic-denmarknorway", "x-ebcdic-finlandsweden", "x-ebcdic-germany",
        "x-ebcdic-icelandic", "x-ebcdic-italy", "x-ebcdic-spain", "x-ebcdic-uk"}) {
    const std::string euro = std::string(base) + "-euro";
    ASSERT_LT(RowOf(euro), CharsetTable().size()) << euro;
    EXPECT_LT(RowOf(base), RowOf(euro)) << base;
  }
}

// Rule A: the charset of an encoded word. 0 in `codePage` with `found` false means no match.
struct EncodedWordCase {
  const char* label;
  std::string_view word;
  bool found;
  int codePage;
  std::string_view name;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const EncodedWordCase& row, std::ostream* out) {
  *out << row.label;
}

class EncodedWordCharsetTest : public ::testing::TestWithParam<EncodedWordCase> {};

TEST_P(EncodedWordCharsetTest, FindsTheExpectedRow) {
  const EncodedWordCase& test = GetParam();
  const CharsetEntry* entry = FindCharsetForEncodedWord(test.word);
  if (!test.found) {
    EXPECT_EQ(entry, nullptr) << "matched " << entry->name;
    return;
  }
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->codePage, test.codePage);
  if (!test.name.empty()) {
    EXPECT_EQ(entry->name, test.name);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RuleA, EncodedWordCharsetTest,
    ::testing::Values(
        EncodedWordCase{"UpperCaseFolded", "=?GB2312?B?1tDOxA==?=", true, 936, "gb2312"},
        EncodedWordCase{"GbkLikeGb2312", "=?gbk?B?1tDOxA==?=", true, 936, "gbk"},
        EncodedWordCase{"UsAsciiIsWestern", "=?us-ascii?Q?abc?=", true, 1252, "us-ascii"},
        EncodedWordCase{"UnknownName", "=?x-sample?B?QUJD?=", false, 0, ""},
        // An exact name wins over a longer row that begins with it.
        EncodedWordCase{"Latin1Exact", "=?ISO-8859-1?Q?caf=E9?=", true, 28591, "iso-8859-1"},
        EncodedWordCase{"Latin9Exact", "=?iso-8859-15?Q?=A4?=", true, 28605, "iso-8859-15"},
        EncodedWordCase{"HebrewVisual", "=?iso-8859-8?Q?a?=", true, 28598, "iso-8859-8"},
        EncodedWordCase{"HebrewLogical", "=?iso-8859-8-i?Q?a?=", true, 38598, "iso-8859-8-i"},
        EncodedWordCase{"GreekEbcdic", "=?x-ebcdic-greek?Q?a?=", true, 20423, ""},
        EncodedWordCase{"GreekModernEbcdic", "=?x-ebcdic-greekmodern?Q?a?=", true, 875, ""},
        EncodedWordCase{"EuroTwinExact", "=?x-ebcdic-germany-euro?Q?a?=", true, 1141, ""},
        EncodedWordCase{"EuroTwinShort", "=?x-ebcdic-germany?Q?a?=", true, 20273, ""},
        EncodedWordCase{"SystemIsAnsi", "=?system?Q?a?=", true, 0, "system"},
        // A longer, different charset is not its prefix.
        EncodedWordCase{"Latin6IsNotLatin1", "=?iso-8859-10?Q?=BD?=", false, 0, ""},
        EncodedWordCase{"KoiRuIsNotKoiR", "=?koi8-ru?Q?a?=", false, 0, ""},
        // A suffix after a non-alphanumeric byte falls back to the row it extends.
        EncodedWordCase{"Iso2022Jp2", "=?iso-2022-jp-2?B?GyRC?=", true, 50220, "iso-2022-jp"},
        EncodedWordCase{"Big5Hkscs", "=?big5-hkscs?B?pKQ=?=", true, 950, "big5"},
        EncodedWordCase{"LongestFallbackWins", "=?x-ebcdic-uk-euro-x?Q?a?=", true, 1146, ""},
        // RFC 2231 5: a language after '*' is not part of the charset.
        EncodedWordCase{"Rfc2231Language", "=?utf-8*en?Q?a?=", true, 65001, "utf-8"},
        EncodedWordCase{"Rfc2231LanguageUpper", "=?US-ASCII*EN?Q?a?=", true, 1252, ""},
        EncodedWordCase{"CutShortAfterName", "=?utf-8", true, 65001, "utf-8"},
        EncodedWordCase{"ShortTokenFindsNothing", "=?utf?Q?a?=", false, 0, ""},
        EncodedWordCase{"EmptyCharset", "=??Q?a?=", false, 0, ""},
        EncodedWordCase{"NoOpeningMarker", "utf-8?Q?a?=", false, 0, ""},
        EncodedWordCase{"EmptyText", "", false, 0, ""}),
    [](const auto& row) { return std::string(row.param.label); });

// Rule B: a charset parameter value.
struct ParameterCase {
  const char* label;
  std::string_view value;
  bool found;
  int codePage;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const ParameterCase& row, std::ostream* out) {
  *out << row.label;
}

class ParameterCharsetTest : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(ParameterCharsetTest, FindsTheExpectedRow) {
  const ParameterCase& test = GetParam();
  const CharsetEntry* entry = FindCharsetForParameter(test.value);
  if (!test.found) {
    EXPECT_EQ(entry, nullptr) << "matched " << entry->name;
    return;
  }
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->codePage, test.codePage) << entry->name;
}

INSTANTIATE_TEST_SUITE_P(
    RuleB, ParameterCharsetTest,
    ::testing::Values(ParameterCase{"ExactBeforePrefix", "ISO-8859-1", true, 28591},
                      ParameterCase{"HebrewExact", "iso-8859-8", true, 28598},
                      ParameterCase{"QuotedWithSemicolon", "\"UTF-8\";", true, 65001},
                      ParameterCase{"BlanksAndQuotes", "  \"big5\"  ", true, 950},
                      ParameterCase{"FollowedByParameter", "utf-8; format=flowed", true, 65001},
                      ParameterCase{"PrefixFindsFirstRow", "utf", true, 65000},
                      ParameterCase{"PrefixOfSeveral", "iso-8859", true, 28592},
                      ParameterCase{"Gb2312", "gb2312", true, 936},
                      ParameterCase{"UsAscii", "US-ASCII", true, 1252},
                      ParameterCase{"Unknown", "x-unknown", false, 0},
                      ParameterCase{"LongerThanAnyRow", "utf-8x", false, 0},
                      ParameterCase{"Empty", "", false, 0},
                      ParameterCase{"OnlyQuotes", "\"\";", false, 0}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace quillon
